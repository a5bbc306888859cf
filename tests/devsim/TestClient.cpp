#include "TestClient.h"

#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

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

// Only trivially destructible locals between setjmp and longjmp; the caller sized `rgb`.
bool decodeInto(const unsigned char* data, std::size_t size, DecodedJpeg* out, bool sizeOnly) {
    jpeg_decompress_struct info{};
    JpegError error{};
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = onJpegError;
    error.manager.output_message = silence;
    if (setjmp(error.jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    out->width = info.output_width;
    out->height = info.output_height;
    if (!sizeOnly) {
        while (info.output_scanline < info.output_height) {
            JSAMPROW row =
                out->rgb.data() + static_cast<std::size_t>(info.output_scanline) * info.output_width * 3;
            jpeg_read_scanlines(&info, &row, 1);
        }
        jpeg_finish_decompress(&info);
    }
    // A truncated stream is padded by libjpeg with a warning; count it as broken.
    const bool clean = error.manager.num_warnings == 0;
    jpeg_destroy_decompress(&info);
    return clean;
}

}  // namespace

std::optional<DecodedJpeg> decodeJpeg(std::string_view bytes) {
    if (bytes.empty()) return std::nullopt;
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    DecodedJpeg image;
    if (!decodeInto(data, bytes.size(), &image, true)) return std::nullopt;
    image.rgb.resize(static_cast<std::size_t>(image.width) * image.height * 3);
    if (!decodeInto(data, bytes.size(), &image, false)) return std::nullopt;
    return image;
}

UniqueFd connectTo(Ipv4 address, uint16_t port) {
    UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const auto sa = makeSockaddr(address, port);
    if (!fd || ::connect(fd.get(), reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0) return UniqueFd();
    return fd;
}

Received receiveAll(int fd) {
    Received received;
    char buffer[65536];
    while (true) {
        pollfd readable{fd, POLLIN, 0};
        if (::poll(&readable, 1, kWaitMs) <= 0) return received;
        const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0) {
            received.closed = true;
            return received;
        }
        received.bytes.append(buffer, static_cast<std::size_t>(got));
        ++received.reads;
    }
}

std::optional<std::string> RawResponse::header(std::string_view name) const {
    std::size_t at = head.find("\r\n");
    while (at != std::string::npos && at + 2 < head.size()) {
        const std::size_t start = at + 2;
        const std::size_t end = head.find("\r\n", start);
        const std::string_view line = std::string_view(head).substr(start, end - start);
        const std::size_t colon = line.find(':');
        if (colon == name.size() && ::strncasecmp(line.data(), name.data(), name.size()) == 0) {
            std::string_view value = line.substr(colon + 1);
            while (!value.empty() && value.front() == ' ')
                value.remove_prefix(1);
            return std::string(value);
        }
        at = end;
    }
    return std::nullopt;
}

RawResponse parseResponse(const Received& received) {
    RawResponse response;
    response.wire = received.bytes;
    response.reads = received.reads;
    const std::size_t end = response.wire.find("\r\n\r\n");
    if (end == std::string::npos) return response;
    response.head = response.wire.substr(0, end + 2);
    response.body = response.wire.substr(end + 4);
    if (response.head.starts_with("HTTP/1.1 ")) response.status = std::atoi(response.head.c_str() + 9);
    return response;
}

RawResponse exchange(Ipv4 address, uint16_t port, std::string_view request) {
    const UniqueFd fd = connectTo(address, port);
    if (!fd || ::send(fd.get(), request.data(), request.size(), MSG_NOSIGNAL) !=
                   static_cast<ssize_t>(request.size()))
        return {};
    return parseResponse(receiveAll(fd.get()));
}

RawResponse get(Ipv4 address, uint16_t port, std::string_view path) {
    return exchange(address, port,
                    "GET " + std::string(path) + " HTTP/1.1\r\nHost: " + dotted(address) +
                        "\r\nUser-Agent: Microsoft-ATL-Native/8.00\r\n\r\n");
}

std::optional<std::string> dechunk(std::string_view body, std::size_t* chunks) {
    std::string out;
    *chunks = 0;
    while (true) {
        const std::size_t lineEnd = body.find("\r\n");
        if (lineEnd == std::string_view::npos || lineEnd == 0) return std::nullopt;
        std::size_t size = 0;
        for (char c : body.substr(0, lineEnd)) {
            const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
            if (digit < 0) return std::nullopt;
            size = size * 16 + static_cast<std::size_t>(digit);
        }
        body.remove_prefix(lineEnd + 2);
        if (size == 0) return body == "\r\n" ? std::optional(out) : std::nullopt;
        if (body.size() < size + 2 || body.substr(size, 2) != "\r\n") return std::nullopt;
        out.append(body.substr(0, size));
        ++*chunks;
        body.remove_prefix(size + 2);
    }
}

bool StreamReader::readSome() {
    pollfd readable{fd_, POLLIN, 0};
    if (::poll(&readable, 1, kWaitMs) <= 0) return false;
    char buffer[4096];
    const ssize_t got = ::read(fd_, buffer, sizeof buffer);
    if (got <= 0) return false;
    buffer_.append(buffer, static_cast<std::size_t>(got));
    return true;
}

std::optional<std::string> StreamReader::until(std::string_view text) {
    while (true) {
        if (const auto at = buffer_.find(text); at != std::string::npos) {
            std::string head = buffer_.substr(0, at + text.size());
            buffer_.erase(0, at + text.size());
            return head;
        }
        if (!readSome()) return std::nullopt;
    }
}

bool StreamReader::closes() {
    while (true) {
        pollfd readable{fd_, POLLIN, 0};
        if (::poll(&readable, 1, kWaitMs) <= 0) return false;
        char buffer[4096];
        const ssize_t got = ::read(fd_, buffer, sizeof buffer);
        if (got <= 0) return true;
        buffer_.append(buffer, static_cast<std::size_t>(got));
    }
}

Ipv4 ip(std::string_view text) {
    const auto address = parseIpv4(text);
    if (!address) throw std::invalid_argument("bad address in test");
    return *address;
}

}  // namespace lm::sim::test
