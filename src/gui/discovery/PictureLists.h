#pragma once

#include <QByteArray>
#include <QCache>
#include <QImage>
#include <QPixmap>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace lm::gui {

// The small (48 x 48) and large (160 x 120) pictures of the devices, kept in step: a record's
// imageIndex addresses the same position in both; position 0 holds the default pictures.
//
// A picture is kept as the JPEG of its shown size, a few kilobytes; only what the list draws is
// held decoded, in a cache of bounded size that lets the least recently drawn go and decodes it
// again when it is drawn again. Filled from thumbnail threads, drawn on the GUI thread.
class PictureLists {
public:
    static constexpr int kSmall = 48;
    static constexpr int kLargeWidth = 160;
    static constexpr int kLargeHeight = 120;
    // Several screens of the largest pictures.
    static constexpr qsizetype kDecodedBytes = 24 * 1024 * 1024;

    // A pair brought to the lists' sizes and encoded, made before any lock is taken.
    struct Encoded {
        QByteArray small;
        QByteArray large;
        std::size_t bytes() const { return static_cast<std::size_t>(small.size() + large.size()); }
    };
    static Encoded encode(const QImage& small, const QImage& large);

    explicit PictureLists(qsizetype decodedBytes = kDecodedBytes);

    // Stores a pair at `index`, or at a free position when index is 0 or no position in use;
    // returns the position used. Both pictures are stored under one lock, so positions never
    // drift apart.
    uint32_t store(uint32_t index, Encoded pictures);
    uint32_t store(uint32_t index, const QImage& small, const QImage& large);
    // Frees a removed device's pictures; a later store may take the position again.
    void release(uint32_t index);

    // The picture at `index`, the default for a position not in use. GUI thread only.
    QPixmap small(uint32_t index) const;
    QPixmap large(uint32_t index) const;

    std::size_t size() const;  // positions in use, the default's included
    std::size_t encodedBytes() const;
    std::size_t decodes() const { return decodes_; }  // pictures decoded for drawing so far

private:
    struct Slot {
        Encoded pictures;
        uint64_t generation = 0;  // a new one at every store: how a decoding is known to be current
    };
    QPixmap picture(uint32_t index, bool large) const;

    mutable std::mutex mutex_;
    std::vector<Slot> slots_;  // generation 0: free; slot 0 is the defaults'
    std::vector<uint32_t> free_;
    uint64_t nextGeneration_ = 1;
    std::size_t inUse_ = 1;
    std::size_t encodedBytes_ = 0;
    const QImage defaultSmall_;
    const QImage defaultLarge_;
    struct Decoded {
        uint64_t generation = 0;
        QPixmap pixmap;
    };
    // By position and size, so a picture stored anew replaces its old decoding when next drawn
    // rather than waiting to be evicted; touched on the GUI thread only, so it needs no lock.
    mutable QCache<uint64_t, Decoded> decoded_;
    mutable std::size_t decodes_ = 0;
};

}  // namespace lm::gui
