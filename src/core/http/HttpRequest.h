#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/platform/Timing.h"

namespace lm {

// The options of one fetch. Every caller of this program uses the defaults.
struct HttpRequest {
    std::string method = "GET";
    std::string extraHeaders;  // appended unchanged; each line ends in "\r\n"
    std::string contentType;   // sent as "Content-Type" when not empty
    std::string body;          // its size is the body length; empty sends none

    bool autoRedirect = true;
    bool checkStatus = true;
    bool sendInBlocks = true;

    Milliseconds timeout{10000};  // connecting, each send and each receive
    std::size_t sendBlockSize = 4'096;
    std::size_t readBlockSize = 4'096;
    uint16_t port = 80;  // when the URL names none
    int maxRedirects = 10;

    // Bounds on what a device may make us spend. A trickling server never trips the per-receive
    // time-out, so the whole fetch, redirects included, has its own budget.
    Milliseconds fetchTimeout{60000};
    std::size_t maxHeadBytes = 64 * 1024;         // status line and headers, interim responses included
    std::size_t maxBodyBytes = 32 * 1024 * 1024;  // decoded body
};

}  // namespace lm
