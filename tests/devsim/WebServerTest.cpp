#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>

#include <atomic>

#include "Simulator.h"
#include "devsim/TestClient.h"

namespace lm::sim {
namespace {

using namespace std::chrono_literals;
using test::ip;

// One device per fault switch, in the order of `kFaults`, on a clock that moves a second per picture.
class WebServerTest : public ::testing::Test {
protected:
    static constexpr HttpFault kFaults[] = {HttpFault::None,    HttpFault::NotFound, HttpFault::WrongType,
                                            HttpFault::Chunked, HttpFault::Redirect, HttpFault::NoLength,
                                            HttpFault::Slow,    HttpFault::Silent};

    void SetUp() override {
        SimulatorConfig config;
        config.devices = demoDevices(std::size(kFaults), ip("127.0.0.90"));
        for (std::size_t i = 0; i < config.devices.size(); ++i) {
            config.devices[i].http = {kFaults[i], 320, 240};
        }
        config.clock = [this] { return WallClock::time_point(1700000000s) + std::chrono::seconds(ticks_++); };
        simulator_ = std::make_unique<Simulator>(std::move(config));
        std::string error;
        ASSERT_TRUE(simulator_->start(&error)) << error;
    }

    Ipv4 address(HttpFault fault) const {
        for (std::size_t i = 0; i < std::size(kFaults); ++i)
            if (kFaults[i] == fault) return simulator_->devices()[i].address;
        return 0;
    }
    test::RawResponse get(HttpFault fault, std::string_view path = "/image.jpg") const {
        return test::get(address(fault), simulator_->httpPort(), path);
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

TEST_F(WebServerTest, ServesTheCurrentPictureAsJpeg) {
    const auto first = get(HttpFault::None);
    EXPECT_EQ(first.status, 200);
    EXPECT_EQ(first.header("Content-Type"), "image/jpeg");
    EXPECT_EQ(first.header("Content-Length"), std::to_string(first.body.size()));
    EXPECT_EQ(first.header("Connection"), "close");
    expectPicture(first.body);

    const auto second = get(HttpFault::None);
    expectPicture(second.body);
    EXPECT_NE(first.body, second.body);
    EXPECT_EQ(simulator_->counters(0).httpRequests, 2u);
    EXPECT_EQ(simulator_->totals().httpRequests, 2u);
}

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
    const auto fd = test::connectTo(address(HttpFault::None), simulator_->httpPort());
    ASSERT_TRUE(fd);
    const std::string flood(3 * WebServer::kMaxRequestBytes, 'x');
    ::send(fd.get(), flood.data(), flood.size(), MSG_NOSIGNAL);
    const auto received = test::receiveAll(fd.get());
    EXPECT_TRUE(received.closed);
    EXPECT_EQ(received.bytes.find("HTTP/1.1"), std::string::npos);
}

TEST_F(WebServerTest, NotFoundFault) {
    const auto response = get(HttpFault::NotFound);
    EXPECT_EQ(response.status, 404);
    EXPECT_EQ(response.header("Content-Length"), std::to_string(response.body.size()));
}

TEST_F(WebServerTest, WrongTypeFault) {
    const auto response = get(HttpFault::WrongType);
    EXPECT_EQ(response.status, 200);
    EXPECT_EQ(response.header("Content-Type"), "text/html");
}

TEST_F(WebServerTest, ChunkedFault) {
    const auto response = get(HttpFault::Chunked);
    EXPECT_EQ(response.status, 200);
    EXPECT_EQ(response.header("Transfer-Encoding"), "chunked");
    EXPECT_FALSE(response.header("Content-Length"));
    std::size_t chunks = 0;
    const auto body = test::dechunk(response.body, &chunks);
    ASSERT_TRUE(body) << "broken chunk framing";
    EXPECT_GT(chunks, 1u);
    expectPicture(*body);
}

TEST_F(WebServerTest, RedirectFault) {
    const auto response = get(HttpFault::Redirect);
    EXPECT_EQ(response.status, 302);
    EXPECT_EQ(response.header("Location"), "/image2.jpg");
    EXPECT_EQ(response.header("Connection"), "close");
    const auto target = get(HttpFault::Redirect, "/image2.jpg");
    EXPECT_EQ(target.status, 200);
    EXPECT_EQ(target.header("Content-Type"), "image/jpeg");
    expectPicture(target.body);
}

TEST_F(WebServerTest, NoLengthFault) {
    const auto fd = test::connectTo(address(HttpFault::NoLength), simulator_->httpPort());
    ASSERT_TRUE(fd);
    const std::string request = "GET /image.jpg HTTP/1.1\r\nHost: x\r\n\r\n";
    ::send(fd.get(), request.data(), request.size(), MSG_NOSIGNAL);
    const auto received = test::receiveAll(fd.get());
    EXPECT_TRUE(received.closed);
    const auto response = test::parseResponse(received);
    EXPECT_EQ(response.status, 200);
    EXPECT_FALSE(response.header("Content-Length"));
    EXPECT_FALSE(response.header("Transfer-Encoding"));
    expectPicture(response.body);
}

TEST_F(WebServerTest, SlowFault) {
    const auto response = get(HttpFault::Slow);
    EXPECT_EQ(response.status, 200);
    EXPECT_EQ(response.header("Content-Length"), std::to_string(response.body.size()));
    EXPECT_GE(response.reads, 5u);  // dribbled, not sent in one go
    expectPicture(response.body);
}

TEST_F(WebServerTest, SilentFaultHoldsTheConnectionUntilStop) {
    const auto fd = test::connectTo(address(HttpFault::Silent), simulator_->httpPort());
    ASSERT_TRUE(fd);
    const std::string request = "GET /image.jpg HTTP/1.1\r\nHost: x\r\n\r\n";
    ASSERT_EQ(::send(fd.get(), request.data(), request.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(request.size()));
    // A fault that answers would have answered well within this.
    pollfd readable{fd.get(), POLLIN, 0};
    EXPECT_EQ(::poll(&readable, 1, 300), 0);

    const auto begun = std::chrono::steady_clock::now();
    simulator_->stop();
    // Generous: stop must not wait for the silent connection's own time-outs.
    EXPECT_LT(std::chrono::steady_clock::now() - begun, 5s);
    const auto received = test::receiveAll(fd.get());
    EXPECT_TRUE(received.closed);
    EXPECT_TRUE(received.bytes.empty());
    EXPECT_EQ(simulator_->counters(7).httpRequests, 1u);
}

TEST_F(WebServerTest, StopEndsConnectionsThatHaveNotSentARequest) {
    const auto idle = test::connectTo(address(HttpFault::None), simulator_->httpPort());
    const auto slow = test::connectTo(address(HttpFault::Slow), simulator_->httpPort());
    ASSERT_TRUE(idle && slow);
    const std::string request = "GET /image.jpg HTTP/1.1\r\n\r\n";
    ::send(slow.get(), request.data(), request.size(), MSG_NOSIGNAL);
    simulator_->stop();
    EXPECT_TRUE(test::receiveAll(idle.get()).closed);
    EXPECT_TRUE(test::receiveAll(slow.get()).closed);
    EXPECT_FALSE(test::connectTo(address(HttpFault::None), simulator_->httpPort()));
}

}  // namespace
}  // namespace lm::sim
