#include "gui/discovery/ListExport.h"

#include "core/discovery/DeviceListFile.h"
#include "gui/app/SaveText.h"

namespace lm::gui {

bool ListExport::wantsJson(const QString& path, const QString& selectedFilter) {
    if (path.endsWith(QStringLiteral(".json"), Qt::CaseInsensitive)) return true;
    if (path.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive)) return false;
    return selectedFilter.startsWith(QStringLiteral("JSON"));
}

QString ListExport::write(const QString& path, bool json, const std::vector<DeviceRecord>& records) {
    return saveText(path, json ? deviceListJson(records) : deviceListCsv(records));
}

}  // namespace lm::gui
