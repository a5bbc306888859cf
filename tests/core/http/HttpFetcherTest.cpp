#include "http/HttpFetcher.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <atomic>
#include <memory>
#include <string>

#include "ScriptedServer.h"
#include "platform/Ipv4.h"
#include "platform/UniqueFd.h"

namespace lm {
namespace {

using namespace std::chrono_literals;
using test::ScriptedServer;

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

TEST(HttpFetcherTest, SendsTheExactRequestWithTheBareHostName) {
    ScriptedServer server(ScriptedServer::reply("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"));
    ASSERT_NE(server.port(), 80);
    HttpFetcher fetcher;
    ASSERT_TRUE(fetcher.navigate(server.url("/image.jpg")));
    ASSERT_TRUE(fetcher.navigate(server.url("/a dir/x.cgi?q=1#part")));
    EXPECT_EQ(server.requests(), (std::vector<std::string>{expectedRequest("/image.jpg"),
                                                           expectedRequest("/a%20dir/x.cgi?q=1")}));
}

TEST(HttpFetcherTest, ReadsEveryBodyForm) {
    const struct {
        const char* name;
        std::string reply;
        std::string body;
    } cases[] = {
        {"length", "HTTP/1.1 200 OK\r\nContent-Type: image/jpeg\r\nContent-Length: 4\r\n\r\n\xff\xd8\xff\xd9",
         "\xff\xd8\xff\xd9"},
        {"until close", "HTTP/1.0 200 OK\r\n\r\nuntil the end", "until the end"},
        {"chunked", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n4\r\nabcd\r\n1\r\ne\r\n0\r\n\r\n",
         "abcde"},
        {"after 100 Continue",
         "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nX-Second: 2\r\nContent-Length: 6\r\n\r\nsecond",
         "second"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedServer server(ScriptedServer::reply(c.reply));
        HttpFetcher fetcher;
        ASSERT_TRUE(fetcher.navigate(server.url("/image.jpg")));
        EXPECT_EQ(fetcher.statusCode(), 200);
        EXPECT_EQ(fetcher.readResult(), ReadResult::success);
        EXPECT_EQ(bodyText(fetcher), c.body);
    }
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
        ScriptedServer server(ScriptedServer::reply("HTTP/1.1 " + std::to_string(c.status) +
                                                    " X\r\nWWW-Authenticate: Basic realm=\"x\"\r\n"
                                                    "Content-Length: 0\r\n\r\n"));
        HttpFetcher fetcher;
        EXPECT_EQ(fetcher.navigate(server.url("/")), c.accepted);
        EXPECT_EQ(fetcher.statusCode(), c.status);
    }
}

// Answers the first request with a redirect to location (keeping the connection unless told to
// close it) and every later one with the path it asked for.
ScriptedServer::Script redirectOnce(std::string location, std::string connection = "") {
    return [location, connection](ScriptedServer::Peer& peer, const std::string& request) {
        if (request.starts_with("GET /dir/start ")) {
            peer.send("HTTP/1.1 302 Found\r\nLocation: " + location + "\r\n" + connection +
                      "Content-Length: 0\r\n\r\n");
            return connection.empty();
        }
        const std::string path = request.substr(4, request.find(' ', 4) - 4);
        peer.send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(path.size()) + "\r\n\r\n" + path);
        return true;
    };
}

TEST(HttpFetcherTest, FollowsRedirectsOnTheSameConnectionUnlessTold) {
    const struct {
        const char* location;
        const char* connection;
        const char* path;
        int connections;
    } cases[] = {{"/other.jpg", "", "/other.jpg", 1},
                 {"next.jpg?x=1", "", "/dir/next.jpg?x=1", 1},
                 {"/after", "Connection: close\r\n", "/after", 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.location);
        ScriptedServer server(redirectOnce(c.location, c.connection));
        HttpFetcher fetcher;
        ASSERT_TRUE(fetcher.navigate(server.url("/dir/start")));
        EXPECT_EQ(fetcher.statusCode(), 200);
        EXPECT_EQ(bodyText(fetcher), c.path);
        EXPECT_EQ(server.connections(), c.connections);
        ASSERT_EQ(server.requests().size(), 2u);
        EXPECT_EQ(server.requests()[1], expectedRequest(c.path));
    }
}

// The server keeps the connection after its redirect, then drops it when the next request comes,
// once or every time: the request goes once more on a new connection, and only once.
TEST(HttpFetcherTest, RetriesARedirectOnceWhenTheKeptConnectionWasDropped) {
    for (const int drops : {1, 2}) {
        SCOPED_TRACE(drops);
        auto dropped = std::make_shared<std::atomic<int>>(0);
        ScriptedServer server([dropped, drops](ScriptedServer::Peer& peer, const std::string& request) {
            if (request.starts_with("GET /dir/start "))
                return peer.send("HTTP/1.1 302 Found\r\nLocation: /after\r\nContent-Length: 0\r\n\r\n");
            if ((*dropped)++ < drops) return false;
            return peer.send("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nafter");
        });
        HttpFetcher fetcher;
        EXPECT_EQ(fetcher.navigate(server.url("/dir/start"), quick()), drops == 1);
        EXPECT_EQ(server.connections(), 2);
        EXPECT_EQ(server.requests().size(), 3u);
        if (drops == 1) {
            EXPECT_EQ(bodyText(fetcher), "after");
        }
    }
}

// A 30x without length ends at the receive time-out; the stream is then in doubt, so the
// redirect opens a new connection rather than talking on into it.
TEST(HttpFetcherTest, ReconnectsAfterABodyThatEndedInATimeOut) {
    ScriptedServer server([](ScriptedServer::Peer& peer, const std::string& request) {
        if (request.starts_with("GET /dir/start "))
            return peer.send("HTTP/1.1 302 Found\r\nLocation: /after\r\n\r\n");
        peer.send("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nafter");
        return false;
    });
    HttpFetcher fetcher;
    ASSERT_TRUE(fetcher.navigate(server.url("/dir/start"), quick()));
    EXPECT_EQ(bodyText(fetcher), "after");
    EXPECT_EQ(server.connections(), 2);
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
        ScriptedServer target(ScriptedServer::reply(c.target), "127.0.0.2");
        ScriptedServer first(redirectOnce(target.url("/moved.jpg")));
        HttpFetcher fetcher;
        EXPECT_EQ(fetcher.navigate(first.url("/dir/start")), c.ok);
        EXPECT_EQ(fetcher.statusCode(), c.status);
        EXPECT_EQ(first.requests().size(), 1u);
        EXPECT_EQ(target.requests(), std::vector<std::string>{expectedRequest("/moved.jpg", "127.0.0.2")});
    }
}

TEST(HttpFetcherTest, BoundsARedirectLoop) {
    ScriptedServer server([](ScriptedServer::Peer& peer, const std::string&) {
        return peer.send("HTTP/1.1 301 Moved\r\nLocation: /loop\r\nContent-Length: 0\r\n\r\n");
    });
    for (int bound : {10, 0}) {
        SCOPED_TRACE(bound);
        const auto before = server.requests().size();
        HttpRequest request;
        request.maxRedirects = bound;
        HttpFetcher fetcher;
        EXPECT_FALSE(fetcher.navigate(server.url("/loop"), request));
        EXPECT_EQ(server.requests().size() - before, static_cast<std::size_t>(bound) + 1);
    }
}

// Servers that lie, stall or never stop: each fails with its result code, within its bounds.
TEST(HttpFetcherTest, SurvivesHostileServers) {
    HttpRequest smallBody = quick();
    smallBody.maxBodyBytes = 1 << 20;
    HttpRequest slowReceives = quick();
    slowReceives.timeout = 5000ms;
    slowReceives.fetchTimeout = 300ms;
    const std::string ok = "HTTP/1.1 200 OK\r\n";
    const struct {
        const char* name;
        ScriptedServer::Script script;
        HttpRequest request;
        ReadResult result;
    } cases[] = {
        {"says nothing", [](auto& peer, auto&) { return peer.holdUntilClientCloses(), false; }, quick(),
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
        {"endless chunks",
         [ok](auto& peer, auto&) {
             return peer.send(ok + "Transfer-Encoding: chunked\r\n\r\n"),
                    peer.sendForever("400\r\n" + std::string(1024, 'b') + "\r\n"), false;
         },
         smallBody, ReadResult::chunkedFailed},
        {"length promised, then silence",
         [ok](auto& peer, auto&) {
             return peer.send(ok + "Content-Length: 100\r\n\r\nonly this"), peer.holdUntilClientCloses(),
                    false;
         },
         quick(), ReadResult::bodyFailed},
        {"trickles a body",
         [ok](auto& peer, auto&) {
             peer.send(ok + "\r\n");
             while (peer.send("x") && peer.pause(10ms)) {
             }
             return false;
         },
         slowReceives, ReadResult::bodyFailed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedServer server(c.script);
        HttpFetcher fetcher;
        EXPECT_FALSE(fetcher.navigate(server.url("/image.jpg"), c.request));
        EXPECT_EQ(fetcher.readResult(), c.result);
        EXPECT_LE(fetcher.headerBlock().size(), c.request.maxHeadBytes);
        EXPECT_LE(fetcher.body().size(), c.request.maxBodyBytes + c.request.readBlockSize);
    }
}

TEST(HttpFetcherTest, FailsWithoutConnectingOnABadUrl) {
    ScriptedServer server(ScriptedServer::reply("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"));
    const std::string port = std::to_string(server.port());
    for (const std::string& url : {std::string(), "ftp://127.0.0.1:" + port + "/",
                                   "http://127.0.0.1:" + port + "/" + std::string(2100, 'a')}) {
        HttpFetcher fetcher;
        EXPECT_FALSE(fetcher.navigate(url)) << url;
        EXPECT_EQ(fetcher.readResult(), ReadResult::nothingRead);
    }
    HttpFetcher fetcher;
    ASSERT_TRUE(fetcher.navigate(server.url("/")));  // the server was there all along
    EXPECT_EQ(server.connections(), 1);
}

// A loopback socket that is bound but does not listen refuses a connect; a listener whose accept
// queue is full drops it, so only the time-out ends it.
TEST(HttpFetcherTest, FailsWhenTheConnectionIsRefusedOrNeverCompletes) {
    for (const bool listening : {false, true}) {
        SCOPED_TRACE(listening ? "queue full" : "refused");
        UniqueFd socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        auto sa = makeSockaddr(*parseIpv4("127.0.0.1"), 0);
        socklen_t length = sizeof sa;
        ASSERT_EQ(::bind(socket.get(), reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);
        ASSERT_EQ(::getsockname(socket.get(), reinterpret_cast<sockaddr*>(&sa), &length), 0);
        UniqueFd filler(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        UniqueFd waiting(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
        if (listening) {
            ASSERT_EQ(::listen(socket.get(), 0), 0);
            ASSERT_EQ(::connect(filler.get(), reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);
            ::connect(waiting.get(), reinterpret_cast<sockaddr*>(&sa), sizeof sa);
        }
        HttpFetcher fetcher;
        EXPECT_FALSE(
            fetcher.navigate("http://127.0.0.1:" + std::to_string(ntohs(sa.sin_port)) + "/", quick()));
        EXPECT_EQ(fetcher.readResult(), ReadResult::nothingRead);
    }
}

}  // namespace
}  // namespace lm
