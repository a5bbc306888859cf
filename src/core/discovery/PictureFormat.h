#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace lm {

// What a device's picture is, read from its own header: its type for a data: URI and its size.
struct PictureFormat {
    std::string mimeType;  // "image/jpeg" or "image/png"
    uint32_t width = 0;
    uint32_t height = 0;
};

// The largest side a picture of a device may claim; a claim beyond it is a decompression bomb.
inline constexpr uint32_t kMaxPictureSide = 4096;

// The format of a JPEG or PNG whose header gives a size of 1 to kMaxPictureSide pixels a side;
// nullopt for anything else (another format, a cut or malformed header, a lying size), so such
// bytes never reach a browser as a picture.
std::optional<PictureFormat> pictureFormat(std::span<const unsigned char> bytes);

}  // namespace lm
