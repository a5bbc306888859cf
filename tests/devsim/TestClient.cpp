#include "TestClient.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include <jpeglib.h>

namespace lm::sim::test {

namespace {

struct JpegError {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

[[noreturn]] void onJpegError(j_common_ptr info) {
    std::longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1);
}

void silence(j_common_ptr) {}

std::string lower(std::string_view text) {
    std::string out(text);
    std::ranges::transform(out, out.begin(), [](unsigned char c) { return std::tolower(c); });
    return out;
}

}  // namespace

Ipv4 ip(std::string_view text) {
    const auto address = parseIpv4(text);
    if (!address) throw std::invalid_argument("bad address in test");
    return *address;
}

// Only trivially destructible locals between setjmp and longjmp; the row lives in libjpeg's pool.
std::optional<JpegSize> decodeJpeg(std::string_view bytes) {
    if (bytes.empty()) return std::nullopt;
    jpeg_decompress_struct info{};
    JpegError error{};
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = onJpegError;
    error.manager.output_message = silence;
    if (setjmp(error.jump)) {
        jpeg_destroy_decompress(&info);
        return std::nullopt;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()),
                 static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    jpeg_start_decompress(&info);
    JSAMPARRAY row = (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                               info.output_width * info.output_components, 1);
    while (info.output_scanline < info.output_height)
        jpeg_read_scanlines(&info, row, 1);
    jpeg_finish_decompress(&info);
    const JpegSize size{info.output_width, info.output_height};
    // A truncated stream is padded by libjpeg with a warning; count it as broken.
    const bool clean = error.manager.num_warnings == 0;
    jpeg_destroy_decompress(&info);
    if (!clean) return std::nullopt;
    return size;
}

std::optional<std::string> RawResponse::header(std::string_view name) const {
    const std::string key = "\r\n" + lower(name) + ":";
    const std::size_t at = lower(head).find(key);
    if (at == std::string::npos) return std::nullopt;
    const std::size_t start = head.find_first_not_of(' ', at + key.size());
    return head.substr(start, head.find("\r\n", start) - start);
}

RawResponse readResponse(Conversation& connection) {
    RawResponse response;
    response.closed = connection.holdUntilClosed();
    response.wire = connection.unread();
    response.reads = connection.reads();
    const std::size_t end = response.wire.find("\r\n\r\n");
    if (end == std::string::npos) return response;
    response.head = response.wire.substr(0, end + 2);
    response.body = response.wire.substr(end + 4);
    if (response.head.starts_with("HTTP/1.1 ")) response.status = std::atoi(response.head.c_str() + 9);
    return response;
}

RawResponse exchange(Ipv4 address, uint16_t port, std::string_view request) {
    auto connection = Conversation::connect(address, port);
    if (!connection.valid() || !connection.send(request)) return {};
    return readResponse(connection);
}

RawResponse get(Ipv4 address, uint16_t port, std::string_view path) {
    return exchange(address, port,
                    "GET " + std::string(path) + " HTTP/1.1\r\nHost: " + dotted(address) +
                        "\r\nUser-Agent: Microsoft-ATL-Native/8.00\r\n\r\n");
}

std::optional<std::string> dechunk(std::string_view body, std::size_t* chunks) {
    std::string out;
    for (*chunks = 0;; ++*chunks) {
        std::size_t size = 0;
        const auto [end, failed] = std::from_chars(body.data(), body.data() + body.size(), size, 16);
        const std::size_t sizeLength = static_cast<std::size_t>(end - body.data());
        if (failed != std::errc() || body.substr(sizeLength, 2) != "\r\n") return std::nullopt;
        body.remove_prefix(sizeLength + 2);
        if (size == 0) return body == "\r\n" ? std::optional(out) : std::nullopt;
        if (body.size() < size + 2 || body.substr(size, 2) != "\r\n") return std::nullopt;
        out.append(body.substr(0, size));
        body.remove_prefix(size + 2);
    }
}

}  // namespace lm::sim::test
