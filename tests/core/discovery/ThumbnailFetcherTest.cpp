#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "core/discovery/ThumbnailFetcher.h"
#include "core/platform/Timing.h"
#include "devsim/Simulator.h"
#include "support/LoopbackPeer.h"

namespace lm {
namespace {

constexpr uint32_t kStoredIndex = 7;
using Ready = std::vector<std::pair<std::size_t, uint32_t>>;

// What the decoder saw; shared with the decoder, which may outlive a test's locals.
struct DecoderLog {
    std::atomic<int> calls = 0;
    std::atomic<bool> wholeJpeg = false;  // starts with SOI and ends with EOI
};

Decoder loggingDecoder(std::shared_ptr<DecoderLog> log, bool decodes = true) {
    return
        [log, decodes](std::span<const unsigned char> body) -> std::optional<DeviceInventory::PictureStore> {
            ++log->calls;
            log->wholeJpeg = body.size() >= 4 && body[0] == 0xFF && body[1] == 0xD8 &&
                             body[body.size() - 2] == 0xFF && body[body.size() - 1] == 0xD9;
            if (!decodes) return std::nullopt;
            return [](uint32_t) { return kStoredIndex; };
        };
}

class ReadyWindow : public InventoryObserver {
public:
    void inventoryCommand(InventoryCommand) override {}
    void thumbnailReady(std::size_t recordIndex, uint32_t imageIndex) override {
        std::lock_guard lock(mutex_);
        ready_.emplace_back(recordIndex, imageIndex);
    }
    Ready ready() {
        std::lock_guard lock(mutex_);
        return ready_;
    }

private:
    std::mutex mutex_;
    Ready ready_;
};

constexpr const char* kPlain = "127.0.61.1";
constexpr const char* kTextHtml = "127.0.61.2";

// A device serving its picture and one serving a web page instead.
class ThumbnailFetchTest : public ::testing::Test {
protected:
    void SetUp() override {
        sim::SimulatorConfig config;
        for (const auto fault : {sim::HttpFault::None, sim::HttpFault::WrongType}) {
            sim::DeviceConfig d;
            d.mac = {0x02, 0x4C, 0x55, 0xC8, 0x00, static_cast<uint8_t>(config.devices.size() + 1)};
            d.address = *parseIpv4(config.devices.empty() ? kPlain : kTextHtml);
            d.http.fault = fault;
            config.devices.push_back(d);
        }
        simulator = std::make_unique<sim::Simulator>(std::move(config));
        std::string error;
        ASSERT_TRUE(simulator->start(&error)) << error;
        inventory.setObserver(&window);
        // Records the job instead of starting a thread; the test runs the fetch itself.
        inventory.setThumbnailStarter([this](const ThumbnailJob& job) {
            jobs.push_back(job);
            return true;
        });
        // The default port leads to the device's telnet server, which would not serve the picture:
        // every fetch goes to the port its address names.
        request.port = simulator->telnetPort();
    }

    // Adds the record (its fetch mark is set) and runs its fetch on this thread.
    bool fetch(const std::string& address, const Decoder& decode) {
        inventory.add("024C55-C80001", address + ":" + std::to_string(simulator->httpPort()), "ZelvixXL VGA",
                      "4.2.1");
        return fetchThumbnail(inventory, jobs.back(), request, decode);
    }

    std::unique_ptr<sim::Simulator> simulator;
    ReadyWindow window;
    DeviceInventory inventory;
    std::vector<ThumbnailJob> jobs;
    HttpRequest request;
    std::shared_ptr<DecoderLog> log = std::make_shared<DecoderLog>();
};

TEST_F(ThumbnailFetchTest, StoresOnlyAcceptedPictures) {
    const struct {
        const char* name;
        const char* address;
        bool decodes;
        int decoded;  // calls of the decoder
        bool stored;
    } cases[] = {{"plain", kPlain, true, 1, true},
                 {"undecodable", kPlain, false, 1, false},
                 {"text/html", kTextHtml, true, 0, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        log = std::make_shared<DecoderLog>();
        EXPECT_EQ(fetch(c.address, loggingDecoder(log, c.decodes)), c.stored);
        const auto record = inventory.at(inventory.count() - 1);
        EXPECT_EQ(log->calls, c.decoded);
        EXPECT_EQ(log->wholeJpeg, c.decoded > 0);
        // A failed fetch keeps the default picture and its mark, so it is not retried.
        EXPECT_EQ(record->imageIndex, c.stored ? kStoredIndex : 0u);
        EXPECT_EQ(record->thumbnailFetch, !c.stored);
    }
    EXPECT_EQ(window.ready(), (Ready{{0, kStoredIndex}}));
}

// The starter's threads are never waited for, so what they use lives as long as the process.
struct Lasting {
    DeviceInventory inventory;
    ReadyWindow window;
};

// Never destroyed, not even at exit: a fetch thread may still be finishing with it then.
Lasting& lasting() {
    static auto* all = new std::vector<std::unique_ptr<Lasting>>;  // reachable, so no leak is reported
    return *all->emplace_back(std::make_unique<Lasting>());
}

std::size_t threadCount() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.starts_with("Threads:")) return std::stoul(line.substr(8));
    return 0;
}

// Forged replies by the thousand, all naming a server that takes the connection and never answers:
// their fetches wait their turn for a bounded set of threads, and a real device behind them still
// gets its picture once the flood has drained.
TEST_F(ThumbnailFetchTest, AFloodOfFetchesWaitsForABoundedPool) {
    auto& [lastingInventory, lastingWindow] = lasting();
    lastingInventory.setObserver(&lastingWindow);
    lastingInventory.setThumbnailStarter(
        makeThumbnailStarter(lastingInventory, simulator->httpPort(), loggingDecoder(log)));
    constexpr std::size_t kFlood = 2000;
    {
        test::LoopbackPeer silent(SOMAXCONN);
        const std::size_t before = threadCount();
        const std::string address = "127.0.0.1:" + std::to_string(silent.port());
        for (std::size_t i = 0; i < kFlood; ++i)
            lastingInventory.add("Unknown", address, "Unknown", "Unknown (probed)");
        const Deadline filled(Milliseconds(30000));
        while (threadCount() < before + kMaxFetchThreads && !filled.expired())
            std::this_thread::sleep_for(Milliseconds(5));
        EXPECT_EQ(threadCount(), before + kMaxFetchThreads);
    }
    lastingInventory.add("024C55-C80001", kPlain, "ZelvixXL VGA", "4.2.1");
    const Deadline deadline(Milliseconds(60000));
    while (lastingWindow.ready().empty() && !deadline.expired())
        std::this_thread::sleep_for(Milliseconds(5));
    EXPECT_EQ(lastingWindow.ready(), (Ready{{kFlood, kStoredIndex}}));
    EXPECT_EQ(log->calls, 1);
    EXPECT_TRUE(log->wholeJpeg);
}

}  // namespace
}  // namespace lm
