// Feeds device bytes to the response reader. The first byte picks how the bytes are cut into
// receives and how the source ends; the rest is the response.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>

#include "core/http/MemorySource.h"
#include "core/http/ResponseReader.h"
#include "core/http/Url.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::size_t piece = data[0] & 0x3F ? data[0] & 0x3F : SIZE_MAX;
    const auto end = (data[0] & 0x40) ? lm::ReceiveStatus::failed : lm::ReceiveStatus::closed;
    lm::MemorySource source(std::span(data + 1, size - 1), piece, end);

    lm::HttpRequest bounds;
    bounds.maxHeadBytes = 16 * 1024;
    bounds.maxBodyBytes = 256 * 1024;
    bounds.readBlockSize = 512;
    lm::HttpResponse response;
    const auto result = lm::ResponseReader(source, bounds).read(response);

    // Whatever came in, the buffer is the head and the body and both keep their bounds.
    if (response.headerLength + response.bodyLength != response.buffer.size() ||
        response.headerLength > bounds.maxHeadBytes ||
        response.bodyLength > bounds.maxBodyBytes + bounds.readBlockSize)
        std::abort();
    if (result == lm::ReadResult::success &&
        (!response.headerBlock().ends_with("\r\n\r\n") || response.bodyLength > bounds.maxBodyBytes ||
         response.statusCode < 0 || response.statusCode > 999))
        std::abort();

    // A redirect's Location is device text too.
    if (const std::string* location = response.headers.find("Location")) {
        if (const auto next = lm::Url::parse("http://cam/dir/image.jpg", 80)->resolve(*location, 80);
            next && (next->host.empty() || !next->path.starts_with('/') || next->text().size() > 2083 + 16))
            std::abort();
    }
    return 0;
}
