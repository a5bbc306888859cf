#include "gui/discovery/ListExport.h"

#include <QSaveFile>

#include "core/discovery/DeviceListFile.h"

namespace lm::gui {

bool ListExport::wantsJson(const QString& path, const QString& selectedFilter) {
    if (path.endsWith(QStringLiteral(".json"), Qt::CaseInsensitive)) return true;
    if (path.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive)) return false;
    return selectedFilter.startsWith(QStringLiteral("JSON"));
}

QString ListExport::write(const QString& path, bool json, const std::vector<DeviceRecord>& records) {
    const std::string text = json ? deviceListJson(records) : deviceListCsv(records);
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
