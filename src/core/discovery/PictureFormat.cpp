#include "core/discovery/PictureFormat.h"

#include <algorithm>
#include <array>

namespace lm {

namespace {

uint32_t bigEndian(std::span<const unsigned char> bytes, std::size_t at, std::size_t count) {
    uint32_t value = 0;
    for (std::size_t i = 0; i < count; ++i)
        value = (value << 8) | bytes[at + i];
    return value;
}

std::optional<PictureFormat> sized(const char* mimeType, uint32_t width, uint32_t height) {
    if (width == 0 || height == 0 || width > kMaxPictureSide || height > kMaxPictureSide) return std::nullopt;
    return PictureFormat{mimeType, width, height};
}

// The size in the first frame header; markers are walked by their lengths, never searched for.
std::optional<PictureFormat> jpegFormat(std::span<const unsigned char> bytes) {
    std::size_t at = 2;
    while (at + 4 <= bytes.size()) {
        if (bytes[at] != 0xFF) return std::nullopt;
        const unsigned char marker = bytes[at + 1];
        if (marker == 0xFF) {  // fill byte
            ++at;
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {  // no length follows
            at += 2;
            continue;
        }
        if (marker == 0xD8 || marker == 0xD9 || marker == 0xDA) return std::nullopt;  // no frame header first
        const uint32_t length = bigEndian(bytes, at + 2, 2);
        if (length < 2) return std::nullopt;
        const bool frameHeader =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frameHeader) {
            if (length < 8 || at + 2 + length > bytes.size()) return std::nullopt;
            return sized("image/jpeg", bigEndian(bytes, at + 7, 2), bigEndian(bytes, at + 5, 2));
        }
        at += 2 + length;
    }
    return std::nullopt;
}

std::optional<PictureFormat> pngFormat(std::span<const unsigned char> bytes) {
    // Signature, then the IHDR chunk: length 13, its name, width and height.
    static constexpr std::array<unsigned char, 16> kStart = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n',
                                                             0,    0,   0,   13,  'I',  'H',  'D',  'R'};
    if (bytes.size() < 33 || !std::equal(kStart.begin(), kStart.end(), bytes.begin())) return std::nullopt;
    return sized("image/png", bigEndian(bytes, 16, 4), bigEndian(bytes, 20, 4));
}

}  // namespace

std::optional<PictureFormat> pictureFormat(std::span<const unsigned char> bytes) {
    if (bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF) {
        // A picture cut short (no end marker) would show as a grey half.
        const std::size_t n = bytes.size();
        if (bytes[n - 2] != 0xFF || bytes[n - 1] != 0xD9) return std::nullopt;
        return jpegFormat(bytes);
    }
    return pngFormat(bytes);
}

}  // namespace lm
