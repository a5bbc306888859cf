#pragma once

#include <QImage>
#include <QPixmap>
#include <cstdint>
#include <mutex>
#include <vector>

namespace lm::gui {

// The small (48 x 48) and large (160 x 120) pictures of the devices, kept in step: a record's
// imageIndex addresses the same position in both; position 0 holds the default pictures.
// Filled from thumbnail threads, read by the list on the GUI thread.
class PictureLists {
public:
    static constexpr int kSmall = 48;
    static constexpr int kLargeWidth = 160;
    static constexpr int kLargeHeight = 120;

    PictureLists();

    // Stores a pair at `index`, or appends it when index is 0; returns the position used.
    // Both pictures are stored under one lock, so positions never drift apart.
    uint32_t store(uint32_t index, const QImage& small, const QImage& large);

    QPixmap small(uint32_t index) const;  // the default for an unknown index
    QPixmap large(uint32_t index) const;
    std::size_t size() const;

private:
    mutable std::mutex mutex_;
    std::vector<QImage> small_;
    std::vector<QImage> large_;
};

}  // namespace lm::gui
