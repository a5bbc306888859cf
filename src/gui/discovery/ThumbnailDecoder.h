#pragma once

#include <QColor>
#include <optional>
#include <span>

#include "core/discovery/DeviceInventory.h"
#include "gui/discovery/PictureLists.h"

namespace lm::gui {

// Decodes a fetched picture and scales it into the 48 x 48 and 160 x 120 pictures. The result
// stores both in `lists` at the record's current position (or appends them) when the inventory
// runs it. Nothing when the bytes do not decode to a picture, or claim more pixels than any camera
// gives. Runs on the fetch thread: QImage only, and only a few decodes at a time.
std::optional<DeviceInventory::PictureStore> decodeThumbnail(std::span<const unsigned char> body,
                                                             PictureLists& lists, QColor background);

}  // namespace lm::gui
