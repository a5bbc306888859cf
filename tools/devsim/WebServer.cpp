#include "devsim/WebServer.h"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <string>

#include "core/platform/Socket.h"
#include "devsim/BlankPng.h"
#include "devsim/WebPages.h"

namespace lm::sim {

namespace {

constexpr int kRequestTimeoutMs = 10000;
constexpr int kLingerMs = 1000;
constexpr std::size_t kLingerBytes = 64 * 1024;
constexpr std::size_t kChunks = 4;
constexpr std::size_t kSlowPieces = 10;
constexpr Milliseconds kSlowPause{150};
constexpr std::string_view kRedirectTarget = "/image2.jpg";

// Waits for readable data and reads it; 0 at close, timeout, error or shutdown.
std::size_t receiveSome(int fd, char* buffer, std::size_t size, int timeoutMs) {
    pollfd readable{fd, POLLIN, 0};
    int ready;
    do {
        ready = ::poll(&readable, 1, timeoutMs);
    } while (ready < 0 && errno == EINTR);
    if (ready <= 0) return 0;
    ssize_t got;
    do {
        got = ::recv(fd, buffer, size, 0);
    } while (got < 0 && errno == EINTR);
    return got > 0 ? static_cast<std::size_t>(got) : 0;
}

// The request head up to its blank line; nothing when the client goes quiet, closes or overflows.
std::optional<std::string> readHead(int fd) {
    std::string head;
    const Deadline deadline{Milliseconds(kRequestTimeoutMs)};
    char buffer[2048];
    while (head.find("\r\n\r\n") == std::string::npos) {
        if (head.size() >= WebServer::kMaxRequestBytes || deadline.expired()) return std::nullopt;
        const std::size_t got = receiveSome(fd, buffer, sizeof buffer, deadline.remainingMs());
        if (got == 0) return std::nullopt;
        head.append(buffer, got);
    }
    return head;
}

struct RequestLine {
    std::string method;
    std::string path;  // without the query
};

std::optional<RequestLine> parseRequestLine(std::string_view head) {
    const std::string_view line = head.substr(0, head.find("\r\n"));
    const auto first = line.find(' ');
    const auto second = line.find(' ', first == std::string_view::npos ? first : first + 1);
    if (first == 0 || first == std::string_view::npos || second == std::string_view::npos)
        return std::nullopt;
    if (line.substr(second + 1).substr(0, 5) != "HTTP/") return std::nullopt;
    const std::string_view target = line.substr(first + 1, second - first - 1);
    return RequestLine{std::string(line.substr(0, first)), std::string(target.substr(0, target.find('?')))};
}

std::string head(std::string_view status, const std::vector<std::string>& headers) {
    std::string text = "HTTP/1.1 " + std::string(status) + "\r\n";
    for (const std::string& header : headers)
        text += header + "\r\n";
    text += "Connection: close\r\n\r\n";
    return text;
}

void sendHtml(int fd, std::string_view status, const std::string& body, const std::string& extraHeader = {}) {
    std::vector<std::string> headers{"Content-Type: text/html",
                                     "Content-Length: " + std::to_string(body.size())};
    if (!extraHeader.empty()) headers.push_back(extraHeader);
    sendAll(fd, head(status, headers) + body);
}

void sendError(int fd, std::string_view status, const std::string& extraHeader = {}) {
    sendHtml(fd, status, "<html><body><h1>" + std::string(status) + "</h1></body></html>\n", extraHeader);
}

// Reads and drops what the client still sends, until it closes or a short time passes.
void drain(int fd, std::size_t limit, int timeoutMs) {
    char buffer[4096];
    std::size_t total = 0;
    while (total < limit) {
        const std::size_t got = receiveSome(fd, buffer, sizeof buffer, timeoutMs);
        if (got == 0) return;
        total += got;
    }
}

std::string hex(std::size_t value) {
    char text[24];
    const int n = std::snprintf(text, sizeof text, "%zx", value);
    return std::string(text, static_cast<std::size_t>(n));
}

}  // namespace

WebServer::WebServer(const DeviceConfig& device, ConnectionPool& pool,
                     std::function<WallClock::time_point()> clock, std::function<bool()> awake)
    : device_(device), pool_(pool), clock_(std::move(clock)), awake_(std::move(awake)), picture_(device) {}

void WebServer::serve(int fd) {
    if (awake_ && !awake_()) return;
    const timeval sendLimit{kRequestTimeoutMs / 1000, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &sendLimit, sizeof sendLimit);
    const auto request = readHead(fd);
    if (!request) return;
    requests_.fetch_add(1);
    const HttpFault fault = device_.http.fault;
    if (fault == HttpFault::Silent) {
        // Holds the connection until the client gives up or the simulator stops.
        drain(fd, SIZE_MAX, -1);
        return;
    }
    const auto line = parseRequestLine(*request);
    if (!line) {
        sendError(fd, "400 Bad Request");
    } else if (line->method != "GET") {
        sendError(fd, "405 Method Not Allowed", "Allow: GET");
    } else if (line->path == "/image.jpg" && fault == HttpFault::NotFound) {
        sendError(fd, "404 Not Found");
    } else if (line->path == "/image.jpg" && fault == HttpFault::HugePicture) {
        static const std::vector<unsigned char> png = blankPng(5700, 5700);
        sendAll(fd,
                head("200 OK", {"Content-Type: image/png", "Content-Length: " + std::to_string(png.size())}));
        sendAll(fd, std::string_view(reinterpret_cast<const char*>(png.data()), png.size()));
    } else if (line->path == "/image.jpg" && fault == HttpFault::Redirect) {
        sendAll(fd, head("302 Found", {"Location: " + std::string(kRedirectTarget), "Content-Length: 0"}));
    } else if (line->path == "/image.jpg") {
        sendPicture(fd, fault);
    } else if (line->path == kRedirectTarget && fault == HttpFault::Redirect) {
        sendPicture(fd, HttpFault::None);
    } else if (line->path == "/") {
        sendHtml(fd, "200 OK", homePage(device_));
    } else if (line->path == "/admin.cgi") {
        sendHtml(fd, "200 OK", adminPage(device_));
    } else {
        sendError(fd, "404 Not Found");
    }
    // Closing with unread input would reset the connection and could cost the client the answer.
    ::shutdown(fd, SHUT_WR);
    drain(fd, kLingerBytes, kLingerMs);
}

void WebServer::sendPicture(int fd, HttpFault style) {
    const PictureCache::Picture picture = picture_.current(clock_ ? clock_() : WallClock::now());
    const std::vector<unsigned char>& jpeg = *picture;
    if (jpeg.empty()) {
        sendError(fd, "500 Internal Server Error");
        return;
    }
    const std::string length = "Content-Length: " + std::to_string(jpeg.size());
    const std::string_view body(reinterpret_cast<const char*>(jpeg.data()), jpeg.size());
    switch (style) {
        case HttpFault::WrongType:
            sendAll(fd, head("200 OK", {"Content-Type: text/html", length}));
            sendAll(fd, body);
            return;
        case HttpFault::NoLength:
            sendAll(fd, head("200 OK", {"Content-Type: image/jpeg"}));
            sendAll(fd, body);
            return;
        case HttpFault::Chunked: {
            if (!sendAll(fd, head("200 OK", {"Content-Type: image/jpeg", "Transfer-Encoding: chunked"})))
                return;
            const std::size_t piece = (body.size() + kChunks - 1) / kChunks;
            for (std::size_t at = 0; at < body.size(); at += piece) {
                const std::string_view chunk = body.substr(at, piece);
                if (!sendAll(fd, hex(chunk.size()) + "\r\n" + std::string(chunk) + "\r\n")) return;
            }
            sendAll(fd, "0\r\n\r\n");
            return;
        }
        case HttpFault::Slow: {
            if (!sendAll(fd, head("200 OK", {"Content-Type: image/jpeg", length}))) return;
            const std::size_t piece = (body.size() + kSlowPieces - 1) / kSlowPieces;
            for (std::size_t at = 0; at < body.size(); at += piece)
                if (!pool_.pause(kSlowPause) || !sendAll(fd, body.substr(at, piece))) return;
            return;
        }
        default:
            sendAll(fd, head("200 OK", {"Content-Type: image/jpeg", length}));
            sendAll(fd, body);
            return;
    }
}

}  // namespace lm::sim
