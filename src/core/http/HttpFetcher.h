#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/http/HttpRequest.h"
#include "core/http/HttpResponse.h"
#include "core/http/Url.h"

namespace lm {

class TcpConnection;

// One synchronous HTTP/1.1 fetch: a request, its response, and the redirects it leads to.
// Make a fresh fetcher per fetch and use it from one thread; no connection outlives navigate().
// There is no proxy and no authentication: a 401 or 407 simply fails.
class HttpFetcher {
public:
    HttpFetcher() = default;
    HttpFetcher(const HttpFetcher&) = delete;
    HttpFetcher& operator=(const HttpFetcher&) = delete;

    // True when the request went out whole, the response was read without error and, with
    // checkStatus, its status was accepted (200-206, 304, 305, or a 301-303 without Location).
    bool navigate(std::string_view url, const HttpRequest& request = {});

    // -1 until a status line has been read.
    int statusCode() const { return response_.statusCode; }
    // A header's value; names compare without regard to case.
    std::optional<std::string> header(std::string_view name) const;
    // The raw status line and headers.
    std::string_view headerBlock() const { return response_.headerBlock(); }
    std::span<const unsigned char> body() const { return response_.body(); }
    ReadResult readResult() const { return response_.result; }
    const std::vector<std::string>& authenticationSchemes() const { return response_.authenticationSchemes; }

private:
    // One request and its response, on the kept connection or a new one.
    bool exchange(TcpConnection& connection, const Url& url, const HttpRequest& request);
    bool requestAndRead(TcpConnection& connection, const Url& url, const HttpRequest& request);

    HttpResponse response_;
};

}  // namespace lm
