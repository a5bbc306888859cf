#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

#include "Simulator.h"
#include "devsim/TestClient.h"

namespace lm::sim {
namespace {

using namespace std::chrono_literals;
using test::ip;

// How the client takes each response form is the HTTP client's tests' concern; these check what the
// simulator puts on the wire for each fault switch and how long its connections live.
// One device per fault switch, in the order of `kFaults`, on a clock that moves a second per picture.
class WebServerTest : public ::testing::Test {
protected:
    static constexpr HttpFault kFaults[] = {HttpFault::None,    HttpFault::NotFound, HttpFault::Redirect,
                                            HttpFault::Chunked, HttpFault::NoLength, HttpFault::Slow,
                                            HttpFault::Silent};

    void SetUp() override {
        SimulatorConfig config;
        config.devices = demoDevices(std::size(kFaults), ip("127.0.0.90"));
        for (std::size_t i = 0; i < config.devices.size(); ++i)
            config.devices[i].http = {kFaults[i], 320, 240};
        config.clock = [this] { return WallClock::time_point(1700000000s) + std::chrono::seconds(ticks_++); };
        simulator_ = std::make_unique<Simulator>(std::move(config));
        std::string error;
        ASSERT_TRUE(simulator_->start(&error)) << error;
    }

    static std::size_t index(HttpFault fault) {
        return static_cast<std::size_t>(std::find(std::begin(kFaults), std::end(kFaults), fault) - kFaults);
    }
    Ipv4 address(HttpFault fault) const { return simulator_->devices()[index(fault)].address; }
    test::RawResponse get(HttpFault fault, std::string_view path = "/image.jpg") const {
        return test::get(address(fault), simulator_->httpPort(), path);
    }
    test::Conversation connect(HttpFault fault) const {
        return test::Conversation::connect(address(fault), simulator_->httpPort());
    }
    static void expectPicture(std::string_view body) {
        const auto image = test::decodeJpeg(body);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->width, 320u);
        EXPECT_EQ(image->height, 240u);
    }

    std::atomic<int> ticks_{0};
    std::unique_ptr<Simulator> simulator_;
};

TEST_F(WebServerTest, OtherPathsAndMethodsAreRefused) {
    EXPECT_EQ(get(HttpFault::None, "/").status, 404);
    EXPECT_EQ(get(HttpFault::None, "/image2.jpg").status, 404);
    EXPECT_EQ(get(HttpFault::None, "/image.jpg?size=big").status, 200);
    const auto post = test::exchange(address(HttpFault::None), simulator_->httpPort(),
                                     "POST /image.jpg HTTP/1.1\r\nContent-Length: 0\r\n\r\n");
    EXPECT_EQ(post.status, 405);
    EXPECT_EQ(post.header("Allow"), "GET");
    EXPECT_EQ(test::exchange(address(HttpFault::None), simulator_->httpPort(), "nonsense\r\n\r\n").status,
              400);
}

TEST_F(WebServerTest, OverlongRequestIsDroppedUnanswered) {
    auto c = connect(HttpFault::None);
    ASSERT_TRUE(c.valid());
    c.send(std::string(3 * WebServer::kMaxRequestBytes, 'x'));
    const auto received = test::readResponse(c);
    EXPECT_TRUE(received.closed);
    EXPECT_EQ(received.wire.find("HTTP/1.1"), std::string::npos);
}

TEST_F(WebServerTest, EachFaultShapesTheWire) {
    const auto plain = get(HttpFault::None);
    EXPECT_EQ(plain.status, 200);
    EXPECT_EQ(plain.header("Content-Type"), "image/jpeg");
    EXPECT_EQ(plain.header("Content-Length"), std::to_string(plain.body.size()));
    EXPECT_EQ(plain.header("Connection"), "close");
    expectPicture(plain.body);
    EXPECT_NE(get(HttpFault::None).body, plain.body);  // the clock moved

    EXPECT_EQ(get(HttpFault::NotFound).status, 404);
    const auto redirect = get(HttpFault::Redirect);
    EXPECT_EQ(redirect.status, 302);
    EXPECT_EQ(redirect.header("Location"), "/image2.jpg");
    expectPicture(get(HttpFault::Redirect, "/image2.jpg").body);

    const auto chunked = get(HttpFault::Chunked);
    EXPECT_EQ(chunked.status, 200);
    EXPECT_EQ(chunked.header("Transfer-Encoding"), "chunked");
    EXPECT_FALSE(chunked.header("Content-Length"));
    std::size_t chunks = 0;
    const auto body = test::dechunk(chunked.body, &chunks);
    ASSERT_TRUE(body) << "broken chunk framing";
    EXPECT_GT(chunks, 1u);
    expectPicture(*body);

    // No length and no chunking: the body ends with the connection.
    const auto noLength = get(HttpFault::NoLength);
    EXPECT_TRUE(noLength.closed);
    EXPECT_EQ(noLength.status, 200);
    EXPECT_FALSE(noLength.header("Content-Length"));
    EXPECT_FALSE(noLength.header("Transfer-Encoding"));
    expectPicture(noLength.body);

    const auto slow = get(HttpFault::Slow);
    EXPECT_EQ(slow.status, 200);
    EXPECT_EQ(slow.header("Content-Length"), std::to_string(slow.body.size()));
    EXPECT_GE(slow.reads, 5u);  // dribbled, not sent in one go
    expectPicture(slow.body);
}

TEST_F(WebServerTest, StopEndsEveryConnectionAtOnce) {
    auto silent = connect(HttpFault::Silent);
    auto slow = connect(HttpFault::Slow);
    auto idle = connect(HttpFault::None);  // has not sent a request
    ASSERT_TRUE(silent.valid() && slow.valid() && idle.valid());
    const std::string request = "GET /image.jpg HTTP/1.1\r\nHost: x\r\n\r\n";
    ASSERT_TRUE(silent.send(request) && slow.send(request));
    // A fault that answers would have answered well within this.
    EXPECT_TRUE(silent.quiet(300ms));

    const auto begun = std::chrono::steady_clock::now();
    simulator_->stop();
    // Generous: stop must not wait for the silent connection's own time-outs.
    EXPECT_LT(std::chrono::steady_clock::now() - begun, 5s);
    const auto unanswered = test::readResponse(silent);
    EXPECT_TRUE(unanswered.closed);
    EXPECT_TRUE(unanswered.wire.empty());
    EXPECT_TRUE(test::readResponse(slow).closed);
    EXPECT_TRUE(test::readResponse(idle).closed);
    EXPECT_EQ(simulator_->counters(index(HttpFault::Silent)).httpRequests, 1u);
    EXPECT_FALSE(connect(HttpFault::None).valid());
}

}  // namespace
}  // namespace lm::sim
