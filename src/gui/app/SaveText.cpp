#include "gui/app/SaveText.h"

#include <QFileDialog>
#include <QSaveFile>

namespace lm::gui {

QString chooseSaveFile(QWidget* parent, const QString& title, const QString& filters,
                       QString* selectedFilter) {
    return QFileDialog::getSaveFileName(parent, title, QString(), filters, selectedFilter);
}

QString saveText(const QString& path, const std::string& text) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return file.errorString();
    if (file.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size())) {
        QString reason = file.errorString();
        file.cancelWriting();
        return reason;
    }
    if (!file.commit()) return file.errorString();
    return {};
}

}  // namespace lm::gui
