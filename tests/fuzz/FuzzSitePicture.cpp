// A device's picture and its texts reach the site report as they came: the header check must never
// read past the bytes, and no text may leave the report's markup as a tag of its own.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "core/discovery/PictureFormat.h"
#include "core/discovery/SiteReportHtml.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const unsigned char> bytes(data, size);
    if (const auto format = lm::pictureFormat(bytes)) {
        if (format->width == 0 || format->height == 0 || format->width > lm::kMaxPictureSide ||
            format->height > lm::kMaxPictureSide)
            __builtin_trap();
    }
    lm::SiteDevice device;
    device.id = std::string(reinterpret_cast<const char*>(data), size);
    device.firmware = device.id;
    device.settings = {{device.id, device.id}};
    const std::string html = lm::siteReportHtml({device}, {});
    // The only tags of a report of one device without a picture are the writer's own.
    if (html.find("<script") != std::string::npos || html.find("<iframe") != std::string::npos)
        __builtin_trap();
    return 0;
}
