#pragma once

#include <algorithm>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/http/HeaderMap.h"

namespace lm {

// The outcome of reading one response; the numbers stay fixed, as tests and fuzz corpora use them.
enum class ReadResult {
    success = 0,
    noStatusLine = 2,
    badHeader = 3,      // a header name or value of 1024 characters or more, or a NUL byte
    headFailed = 4,     // failed receive, time-out, close, or a head beyond its bound
    bodyFailed = 5,     // body of known or unknown length
    chunkedFailed = 6,  // decoding the chunked body
    nothingRead = 7,
};

struct HttpResponse {
    int statusCode = -1;
    HeaderMap headers;
    // The value of every "www-authenticate" and "proxy-authenticate" header, in arrival order.
    std::vector<std::string> authenticationSchemes;
    // The raw status line and headers, then the body (decoded when it came chunked).
    std::vector<unsigned char> buffer;
    std::size_t headerLength = 0;
    std::size_t bodyLength = 0;
    ReadResult result = ReadResult::nothingRead;

    std::string_view headerBlock() const {
        return {reinterpret_cast<const char*>(buffer.data()), std::min(headerLength, buffer.size())};
    }
    std::span<const unsigned char> body() const {
        if (headerLength + bodyLength > buffer.size()) return {};
        return std::span(buffer).subspan(headerLength, bodyLength);
    }
};

}  // namespace lm
