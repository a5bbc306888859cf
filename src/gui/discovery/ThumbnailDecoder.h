#pragma once

#include <QColor>
#include <QImage>
#include <optional>
#include <span>

#include "core/discovery/DeviceInventory.h"
#include "gui/discovery/PictureLists.h"

namespace lm::gui {

struct Thumbnails {
    QImage small;  // 48 x 48
    QImage large;  // 160 x 120
};

// Decodes a fetched picture and scales it into the 48 x 48 and 160 x 120 pictures, the large one
// on `background`. Nothing when the bytes do not decode to a picture, or claim more pixels than
// any camera gives. QImage only, and only a few decodes at a time.
std::optional<Thumbnails> scaleThumbnails(std::span<const unsigned char> body, QColor background);

// scaleThumbnails, then the pictures encoded for keeping, on the fetch thread. The result stores
// both in `lists` at the record's current position (or a new one) when the inventory runs it.
std::optional<DeviceInventory::PictureStore> decodeThumbnail(std::span<const unsigned char> body,
                                                             PictureLists& lists, QColor background);

}  // namespace lm::gui
