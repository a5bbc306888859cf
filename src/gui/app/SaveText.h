#pragma once

#include <QString>
#include <functional>
#include <string>

class QWidget;

namespace lm::gui {

// Asks where to save: title, filters as "CSV (*.csv);;JSON (*.json)", the filter chosen goes to
// selectedFilter. Empty when cancelled. Windows take one so tests can answer instead of a person.
using SaveChooser = std::function<QString(QWidget* parent, const QString& title, const QString& filters,
                                          QString* selectedFilter)>;

// The file dialog.
QString chooseSaveFile(QWidget* parent, const QString& title, const QString& filters,
                       QString* selectedFilter);

// Writes text to path whole or leaves the file as it was; what went wrong, empty when written.
QString saveText(const QString& path, const std::string& text);

}  // namespace lm::gui
