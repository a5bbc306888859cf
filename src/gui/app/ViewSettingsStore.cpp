#include "gui/app/ViewSettingsStore.h"

#include <net/if.h>
#include <QSettings>
#include <QtEndian>
#include <algorithm>
#include <array>

namespace lm::gui {

namespace {

constexpr int kFields = 11;

// Reads a 32-bit value the way a DWORD read does: whatever cannot be read leaves the default.
uint32_t readDword(const QSettings& settings, const char* name, uint32_t fallback) {
    const QVariant value = settings.value(QLatin1String(name));
    if (!value.isValid()) return fallback;
    bool ok = false;
    const qlonglong number = value.toLongLong(&ok);
    return ok ? static_cast<uint32_t>(number) : fallback;
}

}  // namespace

QByteArray ViewSettingsStore::Placement::encode() const {
    const std::array<int32_t, kFields> fields = {static_cast<int32_t>(kLength),
                                                 static_cast<int32_t>(flags),
                                                 static_cast<int32_t>(showState),
                                                 minPosition.x(),
                                                 minPosition.y(),
                                                 maxPosition.x(),
                                                 maxPosition.y(),
                                                 normal.x(),
                                                 normal.y(),
                                                 normal.x() + normal.width(),
                                                 normal.y() + normal.height()};
    QByteArray bytes(static_cast<int>(kLength), '\0');
    for (int i = 0; i < kFields; ++i)
        qToLittleEndian(fields[static_cast<std::size_t>(i)], bytes.data() + 4 * i);
    return bytes;
}

std::optional<ViewSettingsStore::Placement> ViewSettingsStore::Placement::decode(const QByteArray& bytes) {
    if (bytes.size() != static_cast<qsizetype>(kLength)) return std::nullopt;
    std::array<int32_t, kFields> f{};
    for (int i = 0; i < kFields; ++i)
        f[static_cast<std::size_t>(i)] = qFromLittleEndian<int32_t>(bytes.constData() + 4 * i);
    if (static_cast<uint32_t>(f[0]) != kLength) return std::nullopt;
    Placement p;
    p.flags = static_cast<uint32_t>(f[1]);
    p.showState = static_cast<uint32_t>(f[2]);
    p.minPosition = QPoint(f[3], f[4]);
    p.maxPosition = QPoint(f[5], f[6]);
    // Right and bottom are exclusive; widen before subtracting so no corner overflows.
    const int64_t width = int64_t{f[9]} - f[7];
    const int64_t height = int64_t{f[10]} - f[8];
    if (width > 0 && height > 0 && width <= INT32_MAX && height <= INT32_MAX)
        p.normal = QRect(f[7], f[8], static_cast<int>(width), static_cast<int>(height));
    return p;
}

ViewSettingsStore::ViewSettingsStore(QSettings& settings) : settings_(settings) {}

bool ViewSettingsStore::load(ViewSettings& view, std::optional<Placement>& placement) const {
    placement.reset();
    if (settings_.status() != QSettings::NoError) return false;

    const QVariant record = settings_.value(QStringLiteral("WindowPlacement"));
    if (record.typeId() == QMetaType::QByteArray) placement = Placement::decode(record.toByteArray());

    view.showGroups = readDword(settings_, "arrangeGroups", 1) != 0;
    view.groupBy = static_cast<int>(std::min(readDword(settings_, "groupBy", 2), kMaxColumn));
    view.sortBy = static_cast<int>(std::min(readDword(settings_, "sortBy", 0), kMaxColumn));
    view.sortDescending = readDword(settings_, "sortDirection", 1) != 0;
    view.showGrid = readDword(settings_, "viewGrid", 1) != 0;
    view.previewImage = readDword(settings_, "viewPreview", 0) != 0;
    view.viewType = static_cast<int>(std::min(readDword(settings_, "viewType", 1), kMaxViewType));
    // No interface name is this long; such a value was not written here.
    const std::string scanInterface =
        settings_.value(QStringLiteral("scanInterface")).toString().toStdString();
    view.scanInterface = scanInterface.size() < IFNAMSIZ ? scanInterface : std::string();
    return true;
}

bool ViewSettingsStore::save(const ViewSettings& view, const Placement& placement) {
    if (!settings_.isWritable()) return false;
    const auto dword = [](auto value) { return QVariant::fromValue(static_cast<uint32_t>(value)); };
    settings_.setValue(QStringLiteral("WindowPlacement"), placement.encode());
    settings_.setValue(QStringLiteral("arrangeGroups"), dword(view.showGroups));
    settings_.setValue(QStringLiteral("groupBy"), dword(view.groupBy));
    settings_.setValue(QStringLiteral("sortBy"), dword(view.sortBy));
    settings_.setValue(QStringLiteral("sortDirection"), dword(view.sortDescending));
    settings_.setValue(QStringLiteral("viewGrid"), dword(view.showGrid));
    settings_.setValue(QStringLiteral("viewPreview"), dword(view.previewImage));
    settings_.setValue(QStringLiteral("viewType"), dword(view.viewType));
    settings_.setValue(QStringLiteral("scanInterface"), QString::fromStdString(view.scanInterface));
    settings_.sync();
    return settings_.status() == QSettings::NoError;
}

}  // namespace lm::gui
