#include "core/http/HttpFetcher.h"

#include "core/http/ResponseReader.h"
#include "core/http/TcpConnection.h"

namespace lm {

namespace {

bool isAccepted(int status) {
    return (status >= 200 && status <= 206) || status == 304 || status == 305;
}

bool isRedirect(int status) {
    return status >= 301 && status <= 303;
}

std::string requestText(const Url& url, const HttpRequest& request) {
    std::string text = request.method + ' ' + url.requestTarget() + " HTTP/1.1\r\n";
    if (!request.body.empty()) text += "Content-Length: " + std::to_string(request.body.size()) + "\r\n";
    if (!request.contentType.empty()) text += "Content-Type: " + request.contentType + "\r\n";
    text += request.extraHeaders;
    text += "Host: " + url.host + "\r\n";
    text += "User-Agent: Microsoft-ATL-Native/8.00\r\n\r\n";
    return text;
}

std::span<const unsigned char> bytesOf(std::string_view text) {
    return {reinterpret_cast<const unsigned char*>(text.data()), text.size()};
}

}  // namespace

std::optional<std::string> HttpFetcher::header(std::string_view name) const {
    const std::string* value = response_.headers.find(name);
    return value ? std::optional<std::string>(*value) : std::nullopt;
}

bool HttpFetcher::navigate(std::string_view url, const HttpRequest& request) {
    response_ = HttpResponse{};
    if (url.empty()) return false;
    auto target = Url::parse(url, request.port);
    if (!target) return false;

    TcpConnection connection(request.timeout, Deadline(request.fetchTimeout));
    for (int redirects = 0;; ++redirects) {
        if (!exchange(connection, *target, request)) return false;
        const int status = response_.statusCode;
        if (!request.checkStatus || isAccepted(status)) return true;
        if (!request.autoRedirect || !isRedirect(status)) return false;
        const std::string* location = response_.headers.find("Location");
        if (!location) return true;  // the caller sees the 30x
        if (redirects >= request.maxRedirects) return false;
        auto next = target->resolve(*location, request.port);
        if (!next) return false;
        if (next->host != target->host || next->port != target->port) connection.close();
        target = std::move(next);
    }
}

bool HttpFetcher::exchange(TcpConnection& connection, const Url& url, const HttpRequest& request) {
    if (connection.reusable()) {
        const std::size_t before = connection.bytesReceived();
        if (requestAndRead(connection, url, request)) return true;
        // Not a byte came back: the server closed the kept connection as the request went out.
        // One more try on a new connection; a server that did answer is taken at its word.
        if (connection.bytesReceived() != before) return false;
    }
    return connection.open(url.host, url.port) && requestAndRead(connection, url, request);
}

bool HttpFetcher::requestAndRead(TcpConnection& connection, const Url& url, const HttpRequest& request) {
    response_ = HttpResponse{};
    const std::string text = requestText(url, request);
    const std::size_t bodyBlock = request.sendInBlocks ? request.sendBlockSize : request.body.size();
    if (!connection.send(bytesOf(text), text.size()) || !connection.send(bytesOf(request.body), bodyBlock))
        return false;
    if (ResponseReader(connection, request).read(response_) != ReadResult::success) return false;
    if (response_.headers.has("Connection", "close")) connection.close();
    return true;
}

}  // namespace lm
