#pragma once

#include "core/ops/LogViewer.h"
#include "gui/app/SaveText.h"
#include "gui/ops/OperationDialog.h"

class QLineEdit;
class QPlainTextEdit;

namespace lm::gui {

// One of a device's logs in a scrollable window, read as soon as the window opens, to save, copy
// and search.
class DebugFile : public OperationDialog {
    Q_OBJECT
public:
    enum class Id { Log = 1189, SaveAs = 1401, Copy = 1402, Find = 1403, FindNext = 1404 };

    DebugFile(Session& session, const QString& address, const LogSource& log, QWidget* parent = nullptr);

    // Where Save As asks for the file; the file dialog unless replaced.
    void setSaveChooser(SaveChooser chooser) { chooseFile_ = std::move(chooser); }

private:
    void saveAs();
    // The selection, or the whole log when nothing is selected, to the clipboard.
    void copy();
    // The next place, round the end, that holds the find field's text in any case.
    void findNext();

    QPlainTextEdit* log_ = nullptr;
    QLineEdit* find_ = nullptr;
    QString title_;
    SaveChooser chooseFile_ = chooseSaveFile;
};

}  // namespace lm::gui
