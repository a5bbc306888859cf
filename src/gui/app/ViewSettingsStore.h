#pragma once

#include <QByteArray>
#include <QPoint>
#include <QRect>
#include <cstdint>
#include <optional>

#include "gui/discovery/ViewSettings.h"

class QSettings;

namespace lm::gui {

// The main window's view settings in the settings store: the window placement record and the
// seven view values, read with their defaults and ranges and written back on close.
class ViewSettingsStore {
public:
    // The window placement record: eleven little-endian 32-bit fields, 44 bytes in all.
    struct Placement {
        static constexpr uint32_t kLength = 44;
        static constexpr uint32_t kShowNormal = 1;
        static constexpr uint32_t kShowMinimized = 2;
        static constexpr uint32_t kShowMaximized = 3;

        uint32_t flags = 0;
        uint32_t showState = kShowNormal;
        QPoint minPosition{-1, -1};
        QPoint maxPosition{-1, -1};
        QRect normal;  // the window's rectangle when neither minimised nor maximised

        bool maximized() const { return showState == kShowMaximized; }
        QByteArray encode() const;
        // Only a record of exactly 44 bytes whose own length field says 44.
        static std::optional<Placement> decode(const QByteArray& bytes);
        bool operator==(const Placement&) const = default;
    };

    // Largest accepted values; larger stored numbers are brought down to these.
    static constexpr uint32_t kMaxViewType = ViewSettings::Tiles;
    static constexpr uint32_t kMaxColumn = ViewSettings::ByVersion;

    explicit ViewSettingsStore(QSettings& settings);

    // False when the store cannot be read: `view` keeps its values and nothing is read.
    // Otherwise reads every value over the defaults it has when missing or unreadable.
    bool load(ViewSettings& view, std::optional<Placement>& placement) const;
    // False, writing nothing, when the store cannot be written.
    bool save(const ViewSettings& view, const Placement& placement);

private:
    QSettings& settings_;
};

}  // namespace lm::gui
