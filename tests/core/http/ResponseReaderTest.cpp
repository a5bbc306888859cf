#include "core/http/ResponseReader.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "core/http/MemorySource.h"

namespace lm {
namespace {

using namespace std::string_literals;

constexpr std::size_t kWhole = std::numeric_limits<std::size_t>::max();

std::string bodyText(const HttpResponse& response) {
    const auto body = response.body();
    return {reinterpret_cast<const char*>(body.data()), body.size()};
}

struct ReadCase {
    const char* name;
    std::string response;
    ReadResult result;
    int status = -1;
    std::string body = {};
    // How the source ends. A body without length ends at a close or a failed receive, but not when
    // the fetch ran out of time: then the device was still sending and the body is cut short.
    ReceiveStatus end = ReceiveStatus::closed;
    // Expected header values; nullptr expects the header to be absent.
    std::vector<std::pair<const char*, const char*>> headers = {};
};

const std::string kOk = "HTTP/1.1 200 OK\r\n";
const std::string kChunked = kOk + "Transfer-Encoding: chunked\r\n\r\n";

const ReadCase kReadCases[] = {
    {"bytes past the length are not body", kOk + "Content-Length: 2\r\n\r\nhello", ReadResult::success, 200,
     "he"},
    {"body may hold NUL bytes", kOk + "Content-Length: 3\r\n\r\na\0b"s, ReadResult::success, 200, "a\0b"s},
    {"204 carries no body", "HTTP/1.1 204 No Content\r\nContent-Length: 3\r\n\r\n", ReadResult::success, 204},
    {"chunked, upper-case keyword and hex",
     kOk + "Transfer-Encoding: Chunked\r\n\r\nA\r\n0123456789\r\nc\r\nabcdefghijkl\r\n0\r\n\r\n",
     ReadResult::success, 200, "0123456789abcdefghijkl"},
    {"chunked wins over a length",
     kOk + "Content-Length: 2\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n0\r\n\r\n",
     ReadResult::success, 200, "abc"},
    {"announced trailer joins the headers",
     kOk +
         "Transfer-Encoding: chunked\r\nTrailer: X-Sum\r\nX-Sum: 1\r\n\r\n2\r\nhi\r\n0\r\nX-Sum: 42\r\n\r\n",
     ReadResult::success,
     200,
     "hi",
     ReceiveStatus::closed,
     {{"x-sum", "1,42"}}},
    {"unannounced trailer is read but not kept",
     kChunked + "2\r\nhi\r\n0\r\nX-Sum: 42\r\n\r\n",
     ReadResult::success,
     200,
     "hi",
     ReceiveStatus::closed,
     {{"X-Sum", nullptr}}},
    {"100 Continue then the real response",
     "HTTP/1.1 100 Continue\r\nX-Early: 1\r\n\r\n" + kOk + "Content-Length: 2\r\n\r\nok",
     ReadResult::success,
     200,
     "ok",
     ReceiveStatus::closed,
     {{"X-Early", nullptr}}},
    {"repeated names joined, folded lines continued, lines without colon skipped",
     kOk + "Set-Cookie: a=1\r\nno colon here\r\nset-cookie: b=2\r\nX-Long: one\r\n \t two  \r\n"
           "Content-Length:   0  \r\n\r\n",
     ReadResult::success,
     200,
     "",
     ReceiveStatus::closed,
     {{"SET-COOKIE", "a=1,b=2"}, {"x-long", "one two"}, {"no colon here", nullptr}}},
    {"1023-character name is still a header",
     kOk + std::string(1023, 'N') + ": v\r\nContent-Length: 0\r\n\r\n", ReadResult::success, 200},

    {"nothing at all", "", ReadResult::headFailed},
    {"head cut short", kOk + "Content-Le", ReadResult::headFailed},
    {"no status line", "garbage\r\n\r\n", ReadResult::noStatusLine},
    {"status code on the next line", "HTTP/1.1\r\n200 OK\r\n\r\n", ReadResult::noStatusLine},
    {"four-digit status", "HTTP/1.1 2000 OK\r\n\r\n", ReadResult::noStatusLine},
    {"NUL in the status line", "HTTP/1.1 200\0 OK\r\nContent-Length: 0\r\n\r\n"s, ReadResult::noStatusLine},
    {"NUL in a header", kOk + "X-A: b\0c\r\nContent-Length: 0\r\n\r\n"s, ReadResult::badHeader, 200},
    {"1024-character name", kOk + std::string(1024, 'N') + ": v\r\n\r\n", ReadResult::badHeader, 200},
    {"value folded past 1024",
     kOk + "X-V: " + std::string(1000, 'v') + "\r\n " + std::string(30, 'w') + "\r\n\r\n",
     ReadResult::badHeader, 200},
    {"length longer than what comes", kOk + "Content-Length: 10\r\n\r\nshort", ReadResult::bodyFailed, 200},
    {"negative length", kOk + "Content-Length: -1\r\n\r\nabc", ReadResult::bodyFailed, 200},
    {"garbled length", kOk + "Content-Length: 12abc\r\n\r\nabc", ReadResult::bodyFailed, 200},
    {"overflowing length", kOk + "Content-Length: 99999999999999999999999\r\n\r\n", ReadResult::bodyFailed,
     200},
    {"two lengths", kOk + "Content-Length: 1\r\nContent-Length: 1\r\n\r\na", ReadResult::bodyFailed, 200},
    {"chunk extension", kChunked + "5;name=v\r\nhello\r\n0\r\n\r\n", ReadResult::chunkedFailed, 200},
    {"chunk size ended by a bare line feed", kChunked + "5\nhello\r\n0\r\n\r\n", ReadResult::chunkedFailed,
     200},
    {"chunk data not followed by its line end", kChunked + "5\r\nhelloX\r\n0\r\n\r\n",
     ReadResult::chunkedFailed, 200},
    {"negative chunk size", kChunked + "-5\r\nhello\r\n0\r\n\r\n", ReadResult::chunkedFailed, 200},
    {"empty chunk size", kChunked + "\r\nhello\r\n0\r\n\r\n", ReadResult::chunkedFailed, 200},
    {"overflowing chunk size", kChunked + "FFFFFFFFFFFFFFFFF\r\n", ReadResult::chunkedFailed, 200},
    {"endless chunk-size line", kChunked + std::string(100, '0') + "1\r\na\r\n0\r\n\r\n",
     ReadResult::chunkedFailed, 200},
    {"NUL in a chunk-size line", kChunked + "5\0\r\nhello\r\n0\r\n\r\n"s, ReadResult::chunkedFailed, 200},
    {"chunk cut short", kChunked + "10\r\nonly this", ReadResult::chunkedFailed, 200},
    {"no empty line after the last chunk", kChunked + "0\r\n", ReadResult::chunkedFailed, 200},
    {"announced trailer with a 1024-character name",
     kOk + "Transfer-Encoding: chunked\r\nTrailer: X\r\n\r\n0\r\n" + std::string(1024, 'T') + ": v\r\n\r\n",
     ReadResult::chunkedFailed, 200},

    {"body until a failed receive", kOk + "\r\nabc", ReadResult::success, 200, "abc", ReceiveStatus::failed},
    {"body until out of time", kOk + "\r\nabc", ReadResult::bodyFailed, 200, "", ReceiveStatus::outOfTime},
    {"length, then a failed receive", kOk + "Content-Length: 4\r\n\r\nabc", ReadResult::bodyFailed, 200, "",
     ReceiveStatus::failed},
    {"whole length, then a failed receive", kOk + "Content-Length: 3\r\n\r\nabc", ReadResult::success, 200,
     "abc", ReceiveStatus::failed},
    {"head out of time", kOk + "Content-Le", ReadResult::headFailed, -1, "", ReceiveStatus::outOfTime},
    {"chunks, then a failed receive", kChunked + "3\r\nabc\r\n", ReadResult::chunkedFailed, 200, "",
     ReceiveStatus::failed},
};

// Every case, whole and cut into small pieces, so no boundary between receives is special.
TEST(HttpResponseReaderTest, ReadsCannedResponses) {
    for (const auto& c : kReadCases) {
        for (std::size_t piece : {kWhole, std::size_t{1}, std::size_t{3}}) {
            SCOPED_TRACE(std::string(c.name) + ", pieces of " + std::to_string(piece));
            MemorySource source(c.response, piece, c.end);
            HttpResponse response;
            EXPECT_EQ(ResponseReader(source, HttpRequest{}).read(response), c.result);
            EXPECT_EQ(response.result, c.result);
            EXPECT_EQ(response.statusCode, c.status);
            if (c.result != ReadResult::success) continue;
            EXPECT_EQ(bodyText(response), c.body);
            for (const auto& [name, value] : c.headers) {
                const std::string* found = response.headers.find(name);
                if (value) {
                    ASSERT_NE(found, nullptr) << name;
                    EXPECT_EQ(*found, value);
                } else {
                    EXPECT_EQ(found, nullptr) << name;
                }
            }
        }
    }
}

// The bounds hold whatever the device sends; small bounds keep the inputs small.
TEST(HttpResponseReaderTest, EnforcesHeadAndBodyBounds) {
    HttpRequest bounds;
    bounds.maxHeadBytes = 256;
    bounds.maxBodyBytes = 1000;
    const std::string cont = "HTTP/1.1 100 Continue\r\n\r\n";
    const std::string lengthOk = kOk + "Content-Length: 0\r\n\r\n";
    std::string manyContinues;
    for (int i = 0; i < 12; ++i)
        manyContinues += cont;
    const struct {
        const char* name;
        std::string response;
        ReadResult result;
    } cases[] = {
        {"head at the bound", kOk + "X: " + std::string(256 - kOk.size() - 7, 'h') + "\r\n\r\n",
         ReadResult::success},
        {"head past the bound", kOk + "X: " + std::string(256 - kOk.size() - 6, 'h') + "\r\n\r\n",
         ReadResult::headFailed},
        {"endless status line", "HTTP/1.1 200 " + std::string(5000, 'x'), ReadResult::headFailed},
        {"a few interim answers", cont + cont + lengthOk, ReadResult::success},
        {"interim answers share the head bound", manyContinues + lengthOk, ReadResult::headFailed},
        {"body until close at the bound", kOk + "\r\n" + std::string(1000, 'b'), ReadResult::success},
        {"body until close past the bound", kOk + "\r\n" + std::string(1001, 'b'), ReadResult::bodyFailed},
        {"length at the bound", kOk + "Content-Length: 1000\r\n\r\n" + std::string(1000, 'b'),
         ReadResult::success},
        {"length past the bound", kOk + "Content-Length: 1001\r\n\r\n" + std::string(1001, 'b'),
         ReadResult::bodyFailed},
        {"chunks at the bound",
         kChunked + "1F4\r\n" + std::string(500, 'c') + "\r\n1F4\r\n" + std::string(500, 'c') +
             "\r\n0\r\n\r\n",
         ReadResult::success},
        {"chunks past the bound",
         kChunked + "1F4\r\n" + std::string(500, 'c') + "\r\n1F5\r\n" + std::string(501, 'c') +
             "\r\n0\r\n\r\n",
         ReadResult::chunkedFailed},
        {"endless trailers", kChunked + "0\r\n" + std::string(300, 't') + "\r\n\r\n",
         ReadResult::chunkedFailed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MemorySource source(c.response, 7);
        HttpResponse response;
        EXPECT_EQ(ResponseReader(source, bounds).read(response), c.result);
        EXPECT_LE(response.headerLength, bounds.maxHeadBytes);
        EXPECT_LE(response.bodyLength, bounds.maxBodyBytes + bounds.readBlockSize);
    }
}

}  // namespace
}  // namespace lm
