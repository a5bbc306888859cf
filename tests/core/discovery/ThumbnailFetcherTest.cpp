#include <gtest/gtest.h>

#include <vector>

#include <condition_variable>
#include <memory>
#include <mutex>

#include "Simulator.h"
#include "discovery/ThumbnailFetcher.h"

namespace lm {
namespace {

constexpr uint32_t kStoredIndex = 7;

// What the decoder saw; shared with the decoder, which may outlive a test's locals.
struct DecoderLog {
    std::mutex mutex;
    int calls = 0;
    bool wholeJpeg = false;  // starts with SOI and ends with EOI
    uint32_t currentIndex = 99;
};

Decoder loggingDecoder(std::shared_ptr<DecoderLog> log, bool decodes = true) {
    return
        [log, decodes](std::span<const unsigned char> body) -> std::optional<DeviceInventory::PictureStore> {
            std::lock_guard lock(log->mutex);
            ++log->calls;
            log->wholeJpeg = body.size() >= 4 && body[0] == 0xFF && body[1] == 0xD8 &&
                             body[body.size() - 2] == 0xFF && body[body.size() - 1] == 0xD9;
            if (!decodes) return std::nullopt;
            return [log](uint32_t current) {
                log->currentIndex = current;
                return kStoredIndex;
            };
        };
}

class ReadyWindow : public InventoryObserver {
public:
    void inventoryCommand(InventoryCommand) override {}
    void thumbnailReady(std::size_t recordIndex, uint32_t imageIndex) override {
        std::lock_guard lock(mutex_);
        ready_.emplace_back(recordIndex, imageIndex);
        changed_.notify_all();
    }
    std::vector<std::pair<std::size_t, uint32_t>> ready() {
        std::lock_guard lock(mutex_);
        return ready_;
    }
    bool waitForReady(std::chrono::seconds limit) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, limit, [this] { return !ready_.empty(); });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::pair<std::size_t, uint32_t>> ready_;
};

sim::DeviceConfig device(uint8_t last, sim::HttpFault fault) {
    sim::DeviceConfig d;
    d.mac = {0x02, 0x4C, 0x55, 0xC8, 0x00, last};
    d.address = *parseIpv4("127.0.61." + std::to_string(last));
    d.http.fault = fault;
    d.http.width = 176;
    d.http.height = 144;
    return d;
}

std::string addressOf(uint8_t last) {
    return "127.0.61." + std::to_string(last);
}

// One device per HTTP behaviour, shared by the whole suite.
class ThumbnailFetchTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        sim::SimulatorConfig config;
        for (const auto fault : {sim::HttpFault::None, sim::HttpFault::NotFound, sim::HttpFault::WrongType,
                                 sim::HttpFault::Redirect, sim::HttpFault::Chunked, sim::HttpFault::NoLength,
                                 sim::HttpFault::Silent})
            config.devices.push_back(device(static_cast<uint8_t>(config.devices.size() + 1), fault));
        simulator = new sim::Simulator(std::move(config));
        std::string error;
        if (!simulator->start(&error)) startError = error;
    }
    static void TearDownTestSuite() {
        delete simulator;
        simulator = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(startError.empty()) << startError;
        inventory.setObserver(&window);
        // Records the job instead of starting a thread; the test runs the fetch itself.
        inventory.setThumbnailStarter([this](const ThumbnailJob& job) {
            jobs.push_back(job);
            return true;
        });
        request.port = simulator->httpPort();
    }

    // Adds the record (its fetch mark is set) and runs its fetch on this thread.
    bool fetch(const std::string& address, const Decoder& decode) {
        inventory.add("024C55-C80001", address, "ZelvixXL VGA", "4.2.1");
        return !jobs.empty() && fetchThumbnail(inventory, jobs.back(), request, decode);
    }

    static inline sim::Simulator* simulator = nullptr;
    static inline std::string startError;
    ReadyWindow window;
    DeviceInventory inventory;
    std::vector<ThumbnailJob> jobs;
    HttpRequest request;
    std::shared_ptr<DecoderLog> log = std::make_shared<DecoderLog>();
};

struct FaultCase {
    const char* name;
    uint8_t device;  // last address byte, in SetUpTestSuite's order
    bool stored;
};

class ThumbnailFaultTest : public ThumbnailFetchTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(ThumbnailFaultTest, StoresOnlyAcceptedPictures) {
    const auto& c = GetParam();
    if (c.device == 7) request.timeout = Milliseconds(300);  // the silent device: fail fast
    EXPECT_EQ(fetch(addressOf(c.device), loggingDecoder(log)), c.stored);

    const auto record = inventory.at(0);
    ASSERT_TRUE(record);
    EXPECT_EQ(log->calls, c.stored ? 1 : 0);
    if (c.stored) {
        EXPECT_TRUE(log->wholeJpeg);
        EXPECT_EQ(log->currentIndex, 0u);
        EXPECT_EQ(record->imageIndex, kStoredIndex);
        EXPECT_FALSE(record->thumbnailFetch);
        EXPECT_EQ(window.ready(), (std::vector<std::pair<std::size_t, uint32_t>>{{0, kStoredIndex}}));
    } else {
        // The default picture stays and the failed fetch is not retried.
        EXPECT_EQ(record->imageIndex, 0u);
        EXPECT_TRUE(record->thumbnailFetch);
        EXPECT_TRUE(window.ready().empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Http, ThumbnailFaultTest,
                         ::testing::Values(FaultCase{"Plain", 1, true}, FaultCase{"NotFound", 2, false},
                                           FaultCase{"TextHtml", 3, false}, FaultCase{"Redirect", 4, true},
                                           FaultCase{"Chunked", 5, true}, FaultCase{"NoLength", 6, true},
                                           FaultCase{"Silent", 7, false}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(ThumbnailFetchTest, UndecodablePictureKeepsTheMark) {
    EXPECT_FALSE(fetch(addressOf(1), loggingDecoder(log, false)));
    EXPECT_EQ(log->calls, 1);
    EXPECT_TRUE(inventory.at(0)->thumbnailFetch);
    EXPECT_EQ(inventory.at(0)->imageIndex, 0u);
    EXPECT_TRUE(window.ready().empty());
}

TEST_F(ThumbnailFetchTest, PortInTheAddressWins) {
    // The default port leads to the device's telnet server, which would not serve the picture.
    request.port = simulator->telnetPort();
    EXPECT_TRUE(fetch(addressOf(1) + ":" + std::to_string(simulator->httpPort()), loggingDecoder(log)));
    EXPECT_EQ(inventory.at(0)->imageIndex, kStoredIndex);
}

TEST_F(ThumbnailFetchTest, RecordGoneMeanwhileStoresNothing) {
    inventory.add("024C55-C80001", addressOf(1), "ZelvixXL VGA", "4.2.1");
    const auto job = jobs.back();
    inventory.clearSeen();
    inventory.pruneUnseen();
    EXPECT_FALSE(fetchThumbnail(inventory, job, request, loggingDecoder(log)));
    EXPECT_EQ(log->currentIndex, 99u) << "the store must not run for a record that is gone";
    EXPECT_TRUE(window.ready().empty());
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

TEST_F(ThumbnailFetchTest, StarterFetchesOnItsOwnThread) {
    auto& [lastingInventory, lastingWindow] = lasting();
    lastingInventory.setObserver(&lastingWindow);
    lastingInventory.setThumbnailStarter(
        makeThumbnailStarter(lastingInventory, simulator->httpPort(), loggingDecoder(log)));
    lastingInventory.add("024C55-C80001", addressOf(4), "ZelvixXL VGA", "4.2.1");

    ASSERT_TRUE(lastingWindow.waitForReady(std::chrono::seconds(30)));
    EXPECT_EQ(lastingWindow.ready(), (std::vector<std::pair<std::size_t, uint32_t>>{{0, kStoredIndex}}));
    EXPECT_EQ(lastingInventory.at(0)->imageIndex, kStoredIndex);
    std::lock_guard lock(log->mutex);
    EXPECT_EQ(log->calls, 1);
    EXPECT_TRUE(log->wholeJpeg);
}

}  // namespace
}  // namespace lm
