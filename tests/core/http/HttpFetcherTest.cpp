#include "core/http/HttpFetcher.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "support/LoopbackPeer.h"

namespace lm {
namespace {

using namespace std::chrono_literals;
using test::Conversation;
using test::LoopbackPeer;

// Answers one request; true reads another on the same connection.
using Answer = std::function<bool(Conversation&, const std::string& request)>;

// A web server that serves every connection in turn, one request after another; received() holds
// every request it read.
struct Server : LoopbackPeer {
    explicit Server(Answer answer, std::string_view address = "127.0.0.1")
        : LoopbackPeer(
              [answer = std::move(answer)](Conversation& c) {
                  // The fetcher sends no body: a request ends at its empty line.
                  while (const auto request = c.until("\r\n\r\n"))
                      if (!answer(c, *request)) return;
              },
              Transport::TcpEach, address),
          host(address) {}
    std::string url(std::string_view path) const {
        return "http://" + host + ':' + std::to_string(port()) + std::string(path);
    }
    std::string host;
};

// Sends the bytes and closes the connection.
Answer reply(std::string bytes) {
    return [bytes = std::move(bytes)](Conversation& c, const std::string&) { return c.send(bytes), false; };
}

std::string bodyText(const HttpFetcher& fetcher) {
    const auto body = fetcher.body();
    return {reinterpret_cast<const char*>(body.data()), body.size()};
}

std::string expectedRequest(const std::string& target, const std::string& host = "127.0.0.1") {
    return "GET " + target + " HTTP/1.1\r\nHost: " + host +
           "\r\nUser-Agent: Microsoft-ATL-Native/8.00\r\n\r\n";
}

// Budgets short enough that a stalled server costs the test little.
HttpRequest quick() {
    HttpRequest request;
    request.timeout = 200ms;
    request.fetchTimeout = 2000ms;
    return request;
}

// The body forms themselves are the reader's tests' concern; over a socket, the close ends one.
TEST(HttpFetcherTest, SendsTheExactRequestWithTheBareHostName) {
    Server server(reply("HTTP/1.0 200 OK\r\n\r\nuntil the end"));
    ASSERT_NE(server.port(), 80);
    HttpFetcher fetcher;
    ASSERT_TRUE(fetcher.navigate(server.url("/image.jpg")));
    ASSERT_TRUE(fetcher.navigate(server.url("/a dir/x.cgi?q=1#part")));
    EXPECT_EQ(bodyText(fetcher), "until the end");
    EXPECT_EQ(server.received(), expectedRequest("/image.jpg") + expectedRequest("/a%20dir/x.cgi?q=1"));
}

TEST(HttpFetcherTest, AcceptsOnlyTheSuccessfulStatuses) {
    const struct {
        int status;
        bool accepted;
    } cases[] = {{200, true},  {206, true},  {207, false}, {302, true}, {305, true},
                 {307, false}, {401, false}, {404, false}, {199, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status);
        // No Location: a 301-303 ends the fetch with its own status.
        Server server(reply("HTTP/1.1 " + std::to_string(c.status) +
                            " X\r\nWWW-Authenticate: Basic realm=\"x\"\r\n"
                            "Content-Length: 0\r\n\r\n"));
        HttpFetcher fetcher;
        EXPECT_EQ(fetcher.navigate(server.url("/")), c.accepted);
        EXPECT_EQ(fetcher.statusCode(), c.status);
    }
}

// Answers "/dir/start" with a 302 and these headers, closing the connection when they say so, and
// every later request with the path it asked for, after dropping the first `drops` (unanswered,
// or answered with `bad`).
Answer redirectOnce(std::string headers, int drops = 0, std::string bad = {}) {
    auto dropped = std::make_shared<int>(0);  // the server's thread alone touches it
    return [headers, drops, bad, dropped](Conversation& peer, const std::string& request) {
        if (request.starts_with("GET /dir/start "))
            return peer.send("HTTP/1.1 302 Found\r\n" + headers + "\r\n") &&
                   headers.find("Connection: close") == std::string::npos;
        if ((*dropped)++ < drops) return peer.send(bad) && false;
        const std::string path = request.substr(4, request.find(' ', 4) - 4);
        return peer.send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(path.size()) + "\r\n\r\n" +
                         path);
    };
}

// The redirect goes on the kept connection; on a new one when the server closed it, or a body
// that ended in the time-out left the stream in doubt; and once more on a new one, only once, when
// the server dropped the kept connection without a word (never when it said something).
TEST(HttpFetcherTest, FollowsRedirectsOnTheRightConnection) {
    const std::string length = "Content-Length: 0\r\n";
    const struct {
        const char* name;
        std::string headers;
        int drops;
        const char* path;
        bool ok;
        int connections;
        std::string bad = {};
    } cases[] = {
        {"kept", "Location: /other.jpg\r\n" + length, 0, "/other.jpg", true, 1},
        {"relative", "Location: next.jpg?x=1\r\n" + length, 0, "/dir/next.jpg?x=1", true, 1},
        {"closed", "Location: /after\r\nConnection: close\r\n" + length, 0, "/after", true, 2},
        {"in doubt", "Location: /after\r\n", 0, "/after", true, 2},
        {"dropped", "Location: /after\r\n" + length, 1, "/after", true, 2},
        {"dropped twice", "Location: /after\r\n" + length, 2, "/after", false, 2},
        {"answered badly", "Location: /after\r\n" + length, 1, "/after", false, 1, "HTTP/1.1 bad\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Server server(redirectOnce(c.headers, c.drops, c.bad));
        HttpFetcher fetcher;
        EXPECT_EQ(fetcher.navigate(server.url("/dir/start"), quick()), c.ok);
        EXPECT_EQ(bodyText(fetcher), c.ok ? c.path : "");
        EXPECT_EQ(server.served(), c.connections);
        EXPECT_EQ(server.received(), expectedRequest("/dir/start") + expectedRequest(c.path) +
                                         (c.drops > 0 && c.bad.empty() ? expectedRequest(c.path) : ""));
    }
}

// An absolute redirect to another host and port: what it leads to decides the fetch, and a failed
// read there is a failure, not a success.
TEST(HttpFetcherTest, ARedirectSucceedsOnlyWhenItsTargetDoes) {
    const struct {
        const char* name;
        std::string target;
        bool ok;
        int status;
    } cases[] = {
        {"target found", "HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\nx", true, 200},
        {"target missing", "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n", false, 404},
        {"target cut short", "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nx", false, 200},
        {"target without status line", "nonsense\r\n\r\n", false, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Server target(reply(c.target), "127.0.0.2");
        Server first(redirectOnce("Location: " + target.url("/moved.jpg") + "\r\nContent-Length: 0\r\n"));
        HttpFetcher fetcher;
        EXPECT_EQ(fetcher.navigate(first.url("/dir/start")), c.ok);
        EXPECT_EQ(fetcher.statusCode(), c.status);
        EXPECT_EQ(first.received(), expectedRequest("/dir/start"));
        EXPECT_EQ(target.received(), expectedRequest("/moved.jpg", "127.0.0.2"));
    }
}

TEST(HttpFetcherTest, BoundsARedirectLoop) {
    for (int bound : {10, 0}) {
        SCOPED_TRACE(bound);
        Server server([](Conversation& peer, const std::string&) {
            return peer.send("HTTP/1.1 301 Moved\r\nLocation: /loop\r\nContent-Length: 0\r\n\r\n");
        });
        HttpRequest request;
        request.maxRedirects = bound;
        HttpFetcher fetcher;
        EXPECT_FALSE(fetcher.navigate(server.url("/loop"), request));
        std::string requests;
        for (int i = 0; i <= bound; ++i)
            requests += expectedRequest("/loop");
        EXPECT_EQ(server.received(), requests);
    }
}

// Servers that lie, stall or never stop: each fails with its result code, within its bounds. The
// bounds of every body form are the reader's tests' concern.
TEST(HttpFetcherTest, SurvivesHostileServers) {
    HttpRequest smallBody = quick();
    smallBody.maxBodyBytes = 1 << 20;
    HttpRequest slowReceives = quick();
    slowReceives.timeout = 5000ms;
    slowReceives.fetchTimeout = 300ms;
    const std::string ok = "HTTP/1.1 200 OK\r\n";
    const struct {
        const char* name;
        Answer script;
        HttpRequest request;
        ReadResult result;
    } cases[] = {
        {"says nothing", [](auto& peer, auto&) { return peer.holdUntilClosed(), false; }, quick(),
         ReadResult::headFailed},
        {"closes at once", [](auto&, auto&) { return false; }, quick(), ReadResult::headFailed},
        {"endless headers",
         [ok](auto& peer, auto&) { return peer.send(ok), peer.sendForever("X-A: b\r\n"), false; }, quick(),
         ReadResult::headFailed},
        {"endless body",
         [ok](auto& peer, auto&) {
             return peer.send(ok + "\r\n"), peer.sendForever(std::string(1024, 'b')), false;
         },
         smallBody, ReadResult::bodyFailed},
        {"length promised, then silence",
         [ok](auto& peer, auto&) {
             return peer.send(ok + "Content-Length: 100\r\n\r\nonly this"), peer.holdUntilClosed(), false;
         },
         quick(), ReadResult::bodyFailed},
        {"trickles a body",
         [ok](auto& peer, auto&) {
             peer.send(ok + "\r\n");
             while (peer.send("x") && peer.quiet(10ms)) {
             }
             return false;
         },
         slowReceives, ReadResult::bodyFailed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Server server(c.script);
        HttpFetcher fetcher;
        EXPECT_FALSE(fetcher.navigate(server.url("/image.jpg"), c.request));
        EXPECT_EQ(fetcher.readResult(), c.result);
        EXPECT_LE(fetcher.headerBlock().size(), c.request.maxHeadBytes);
        EXPECT_LE(fetcher.body().size(), c.request.maxBodyBytes + c.request.readBlockSize);
    }
}

// A bad URL fails without connecting; a bound socket that does not listen refuses the connect; a
// listener whose accept queue is full drops it, so only the time-out ends it. Nothing is read.
TEST(HttpFetcherTest, FailsWithoutAResponseOnABadUrlOrNoConnection) {
    Server server(reply("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"));
    UniqueFd bound(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    auto sa = makeSockaddr(htonl(INADDR_LOOPBACK), 0);
    socklen_t length = sizeof sa;
    ASSERT_EQ(::bind(bound.get(), reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);
    ASSERT_EQ(::getsockname(bound.get(), reinterpret_cast<sockaddr*>(&sa), &length), 0);
    LoopbackPeer full(0);
    const auto filler = Conversation::connect(htonl(INADDR_LOOPBACK), full.port());
    ASSERT_TRUE(filler.valid());
    const std::string port = std::to_string(server.port());
    for (const std::string& url : {std::string(), "ftp://127.0.0.1:" + port + "/",
                                   "http://127.0.0.1:" + port + "/" + std::string(2100, 'a'),
                                   "http://127.0.0.1:" + std::to_string(ntohs(sa.sin_port)) + "/",
                                   "http://127.0.0.1:" + std::to_string(full.port()) + "/"}) {
        HttpFetcher fetcher;
        EXPECT_FALSE(fetcher.navigate(url, quick())) << url.substr(0, 40);
        EXPECT_EQ(fetcher.readResult(), ReadResult::nothingRead);
    }
    HttpFetcher fetcher;
    ASSERT_TRUE(fetcher.navigate(server.url("/")));  // the server was there all along
    EXPECT_EQ(server.served(), 1);
}

}  // namespace
}  // namespace lm
