#pragma once

#include <algorithm>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/http/ByteSource.h"
#include "core/http/HttpRequest.h"
#include "core/http/HttpResponse.h"

namespace lm {

// Reads one response, head and body, from a byte source. It never holds more than the request's
// head and body bounds plus one receive, whatever the source claims or sends.
class ResponseReader {
public:
    static constexpr std::size_t kMaxFieldLength = 1'024;  // a header name or value this long fails
    static constexpr std::size_t kHeadReceive = 2'048;
    static constexpr std::size_t kMaxChunkSizeLine = 32;

    // Takes the request's bounds and read block size, and whether it was a HEAD request.
    ResponseReader(ByteSource& source, const HttpRequest& request)
        : source_(source),
          maxHeadBytes_(request.maxHeadBytes),
          maxBodyBytes_(request.maxBodyBytes),
          readBlockSize_(std::max<std::size_t>(request.readBlockSize, 1)),
          headRequest_(request.method == "HEAD") {}

    // Resets the response, reads into it and records the result there too.
    ReadResult read(HttpResponse& response);

private:
    ReadResult readResponse(HttpResponse& response);
    std::optional<std::string> readHead(std::size_t limit);
    ReadResult parseHead(std::string_view head, HttpResponse& response) const;
    bool parseHeaderLines(std::string_view lines, HttpResponse& response) const;
    ReadResult readBody(HttpResponse& response);
    bool readKnownLength(std::vector<unsigned char>& body, std::size_t length);
    bool readUntilClose(std::vector<unsigned char>& body);
    bool readChunked(std::vector<unsigned char>& body, HttpResponse& response);
    std::optional<std::string> readLine(std::size_t limit);

    ReceiveStatus pull(std::size_t atMost);
    std::size_t take(std::vector<unsigned char>& out, std::size_t atMost);
    std::size_t unread() const { return in_.size() - pos_; }

    ByteSource& source_;
    std::size_t maxHeadBytes_;
    std::size_t maxBodyBytes_;
    std::size_t readBlockSize_;
    bool headRequest_;
    std::vector<unsigned char> in_;  // received, consumed up to pos_
    std::size_t pos_ = 0;
};

}  // namespace lm
