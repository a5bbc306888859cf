#include <gtest/gtest.h>
#include <jpeglib.h>

#include <algorithm>
#include <atomic>
#include <csetjmp>

#include "core/http/MemorySource.h"
#include "core/http/ResponseReader.h"
#include "devsim/Simulator.h"
#include "support/LoopbackPeer.h"

namespace lm::sim {
namespace {

using namespace std::chrono_literals;
using lm::test::Conversation;

struct JpegError {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

[[noreturn]] void onJpegError(j_common_ptr info) {
    std::longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1);
}

void silence(j_common_ptr) {}

// Width and height after decoding every scanline with libjpeg; nullopt for anything that is not a
// complete JPEG. Only trivially destructible locals between setjmp and longjmp.
std::optional<std::pair<unsigned, unsigned>> decodeJpeg(std::string_view bytes) {
    if (bytes.empty()) return std::nullopt;
    jpeg_decompress_struct info{};
    JpegError error{};
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = onJpegError;
    error.manager.output_message = silence;
    if (setjmp(error.jump)) {
        jpeg_destroy_decompress(&info);
        return std::nullopt;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()),
                 static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    jpeg_start_decompress(&info);
    JSAMPARRAY row = (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                               info.output_width * info.output_components, 1);
    while (info.output_scanline < info.output_height)
        jpeg_read_scanlines(&info, row, 1);
    jpeg_finish_decompress(&info);
    const std::pair size{info.output_width, info.output_height};
    // A truncated stream is padded by libjpeg with a warning; count it as broken.
    const bool clean = error.manager.num_warnings == 0;
    jpeg_destroy_decompress(&info);
    if (!clean) return std::nullopt;
    return size;
}

// One response as it came over the wire, and as the core's reader takes it.
struct Response {
    std::string wire;
    std::size_t reads = 0;
    bool closed = false;  // ended by the server's close rather than by silence
    HttpResponse read;

    int status() const { return read.statusCode; }
    std::optional<std::string> header(std::string_view name) const {
        const std::string* value = read.headers.find(name);
        return value ? std::optional(*value) : std::nullopt;
    }
    std::string_view rawBody() const { return std::string_view(wire).substr(read.headerLength); }
    std::string body() const {
        return {reinterpret_cast<const char*>(read.body().data()), read.body().size()};
    }
};

Response readResponse(Conversation& c) {
    Response r;
    r.closed = c.holdUntilClosed();
    r.wire = c.unread();
    r.reads = c.reads();
    MemorySource source(r.wire);
    ResponseReader(source, HttpRequest{}).read(r.read);
    return r;
}

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
        config.devices = demoDevices(std::size(kFaults), *parseIpv4("127.0.0.90"));
        for (std::size_t i = 0; i < config.devices.size(); ++i)
            config.devices[i].http = {kFaults[i], 320, 240};
        // Odd sizes leave partial 8x8 blocks at the right and bottom edges.
        config.devices[index(HttpFault::NoLength)].http = {HttpFault::NoLength, 17, 9};
        config.devices[index(HttpFault::Slow)].http = {HttpFault::Slow, 1, 1};
        config.devices[index(HttpFault::None)].product = "Lumetra/<b>Zelvix&XL-2";
        config.clock = [this] { return WallClock::time_point(1700000000s) + std::chrono::seconds(ticks_++); };
        simulator_ = std::make_unique<Simulator>(std::move(config));
        std::string error;
        ASSERT_TRUE(simulator_->start(&error)) << error;
    }

    static std::size_t index(HttpFault fault) {
        return static_cast<std::size_t>(std::find(std::begin(kFaults), std::end(kFaults), fault) - kFaults);
    }
    Ipv4 address(HttpFault fault) const { return simulator_->devices()[index(fault)].address; }
    Conversation connect(HttpFault fault) const {
        return Conversation::connect(address(fault), simulator_->httpPort());
    }
    // Sends the raw request text and reads the response to the end.
    Response exchange(HttpFault fault, std::string_view request) const {
        auto c = connect(fault);
        return c.valid() && c.send(request) ? readResponse(c) : Response{};
    }
    Response get(HttpFault fault, std::string_view path = "/image.jpg") const {
        return exchange(fault, "GET " + std::string(path) + " HTTP/1.1\r\nHost: " + dotted(address(fault)) +
                                   "\r\nUser-Agent: Microsoft-ATL-Native/8.00\r\n\r\n");
    }
    static void expectPicture(const Response& response, unsigned width = 320, unsigned height = 240) {
        EXPECT_EQ(response.read.result, ReadResult::success);
        EXPECT_EQ(response.status(), 200);
        EXPECT_EQ(decodeJpeg(response.body()), std::pair(width, height));
    }

    std::atomic<int> ticks_{0};
    std::unique_ptr<Simulator> simulator_;
};

// The home and configuration pages name the device, its text escaped, and lead to the picture; other
// paths, methods and overlong requests are refused.
TEST_F(WebServerTest, DevicePagesAndRefusals) {
    const std::string id = identifierOf(simulator_->devices()[index(HttpFault::None)]);
    for (const char* path : {"/", "/admin.cgi"}) {
        const auto page = get(HttpFault::None, path);
        EXPECT_EQ(page.status(), 200) << path;
        EXPECT_EQ(page.header("Content-Type"), "text/html") << path;
        const std::string body = page.body();
        for (const std::string& part :
             {id, std::string("Lumetra/&lt;b&gt;Zelvix&amp;XL-2"), std::string("=\"/image.jpg\"")})
            EXPECT_NE(body.find(part), std::string::npos) << path << " lacks " << part << ":\n" << body;
        EXPECT_EQ(body.find("<b>"), std::string::npos) << body;
    }
    EXPECT_EQ(get(HttpFault::None, "/index.html").status(), 404);
    EXPECT_EQ(get(HttpFault::None, "/image2.jpg").status(), 404);
    EXPECT_EQ(get(HttpFault::None, "/image.jpg?size=big").status(), 200);
    const auto post = exchange(HttpFault::None, "POST /image.jpg HTTP/1.1\r\nContent-Length: 0\r\n\r\n");
    EXPECT_EQ(post.status(), 405);
    EXPECT_EQ(post.header("Allow"), "GET");
    EXPECT_EQ(exchange(HttpFault::None, "nonsense\r\n\r\n").status(), 400);
    // An overlong request is dropped unanswered.
    auto c = connect(HttpFault::None);
    ASSERT_TRUE(c.valid());
    c.send(std::string(3 * WebServer::kMaxRequestBytes, 'x'));
    const auto received = readResponse(c);
    EXPECT_TRUE(received.closed);
    EXPECT_EQ(received.wire.find("HTTP/1.1"), std::string::npos);
}

TEST_F(WebServerTest, EachFaultShapesTheWire) {
    const auto plain = get(HttpFault::None);
    EXPECT_EQ(plain.header("Content-Type"), "image/jpeg");
    EXPECT_EQ(plain.header("Content-Length"), std::to_string(plain.rawBody().size()));
    EXPECT_EQ(plain.header("Connection"), "close");
    expectPicture(plain);
    EXPECT_NE(get(HttpFault::None).body(), plain.body());  // the clock moved

    EXPECT_EQ(get(HttpFault::NotFound).status(), 404);
    const auto redirect = get(HttpFault::Redirect);
    EXPECT_EQ(redirect.status(), 302);
    EXPECT_EQ(redirect.header("Location"), "/image2.jpg");
    expectPicture(get(HttpFault::Redirect, "/image2.jpg"));

    const auto chunked = get(HttpFault::Chunked);
    EXPECT_EQ(chunked.header("Transfer-Encoding"), "chunked");
    EXPECT_FALSE(chunked.header("Content-Length"));
    EXPECT_LT(std::stoul(std::string(chunked.rawBody()), nullptr, 16), chunked.body().size()) << "one chunk";
    expectPicture(chunked);

    // No length and no chunking: the body ends with the connection.
    const auto noLength = get(HttpFault::NoLength);
    EXPECT_TRUE(noLength.closed);
    EXPECT_FALSE(noLength.header("Content-Length"));
    EXPECT_FALSE(noLength.header("Transfer-Encoding"));
    expectPicture(noLength, 17, 9);

    const auto slow = get(HttpFault::Slow);
    EXPECT_EQ(slow.header("Content-Length"), std::to_string(slow.rawBody().size()));
    EXPECT_GE(slow.reads, 5u);  // dribbled, not sent in one go
    expectPicture(slow, 1, 1);
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
    const auto unanswered = readResponse(silent);
    EXPECT_TRUE(unanswered.closed);
    EXPECT_TRUE(unanswered.wire.empty());
    EXPECT_TRUE(readResponse(slow).closed);
    EXPECT_TRUE(readResponse(idle).closed);
    EXPECT_EQ(simulator_->counters(index(HttpFault::Silent)).httpRequests, 1u);
    EXPECT_FALSE(connect(HttpFault::None).valid());
}

}  // namespace
}  // namespace lm::sim
