#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "Simulator.h"
#include "discovery/DiscoveryScan.h"
#include "platform/IcmpSocket.h"

namespace lm {
namespace {

struct DestinationCase {
    const char* address;
    const char* mask;
    Ipv4 broadcast;  // 0, 1 or an address
    const char* expected;
};

class BroadcastDestinationTest : public ::testing::TestWithParam<DestinationCase> {};

TEST_P(BroadcastDestinationTest, FollowsTheBroadcastField) {
    const auto& c = GetParam();
    const InterfaceRow row{*parseIpv4(c.address), *parseIpv4(c.mask), c.broadcast};
    EXPECT_EQ(dotted(DiscoveryScan::broadcastDestination(row)), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, BroadcastDestinationTest,
    ::testing::Values(DestinationCase{"192.168.1.7", "255.255.255.0", 1, "192.168.1.255"},
                      DestinationCase{"192.168.1.7", "255.255.255.0", 0, "192.168.1.0"},
                      DestinationCase{"10.20.30.40", "255.255.0.0", 1, "10.20.255.255"},
                      DestinationCase{"10.20.30.40", "255.255.255.252", 1, "10.20.30.43"},
                      DestinationCase{"10.20.30.40", "255.255.0.0", *parseIpv4("10.20.99.99"),
                                      "10.20.99.99"}),
    [](const auto& p) { return "Row" + std::to_string(p.index); });

// Stands in for the main window: prunes when told, like the real one.
class PruningWindow : public InventoryObserver {
public:
    explicit PruningWindow(DeviceInventory& inventory) : inventory_(inventory) {}
    void inventoryCommand(InventoryCommand command) override {
        commands.push_back(command);
        if (command == ID_PRUNE_UNSEEN) inventory_.pruneUnseen();
    }
    void thumbnailReady(std::size_t, uint32_t) override {}
    std::vector<int> commands;

private:
    DeviceInventory& inventory_;
};

// Simulated devices on loopback and a scan pointed at them with a short quiet period.
class LoopbackScanTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!IcmpSocket::open())
            GTEST_SKIP() << "no ICMP socket may be opened here, so the scan sends no probe";
        arpPath = (std::filesystem::temp_directory_path() /
                   ("lmtools-scan-test-" + std::to_string(::getpid()) + "-" +
                    std::to_string(reinterpret_cast<uintptr_t>(this))))
                      .string();
        profile.quietPeriod = Milliseconds(300);
        profile.interfaces = NetworkProfile::parseInterfaces("127.0.0.254/255.0.0.0");
        profile.arpTablePath = arpPath;
        inventory.setObserver(&window);
    }
    void TearDown() override { std::filesystem::remove(arpPath); }

    void startDevices(std::vector<sim::DeviceConfig> devices, const std::string& extraArpRows = "") {
        sim::SimulatorConfig config;
        config.devices = std::move(devices);
        simulator = std::make_unique<sim::Simulator>(std::move(config));
        std::string error;
        ASSERT_TRUE(simulator->start(&error)) << error;
        std::ofstream(arpPath) << simulator->arpTableText() << extraArpRows;
        profile.discoveryPort = simulator->discoveryPort();
        profile.httpPort = simulator->httpPort();
    }

    std::map<std::string, DeviceRecord> byAddress() const {
        std::map<std::string, DeviceRecord> out;
        for (const auto& r : inventory.snapshot())
            out[r.address] = r;
        return out;
    }

    static sim::DeviceConfig device(const char* mac, const char* address) {
        sim::DeviceConfig d;
        d.mac = *sim::parseMac(mac);
        d.address = *parseIpv4(address);
        return d;
    }

    std::string arpPath;
    NetworkProfile profile;
    DeviceInventory inventory;
    PruningWindow window{inventory};
    std::unique_ptr<sim::Simulator> simulator;
};

TEST_F(LoopbackScanTest, FindsDevicesByProbeAndByArpTable) {
    auto answering = device("02:4C:55:C8:12:34", "127.0.42.11");
    answering.product = "Lumetra/ZelvixXL-2";
    answering.version = "4.2.1";
    answering.subtype = "VGA";
    auto silent = device("02:4C:55:C2:00:07", "127.0.42.12");
    silent.answersProbe = false;
    auto malformed = device("02:4C:55:C5:00:08", "127.0.42.13");
    malformed.reply = std::string("Cam-9\0 junk", 11);
    auto otherId = device("02:4C:55:C1:00:09", "127.0.42.14");
    otherId.reply = "Lumetra/Zelvix-1 cam 3.0.0 id=CUSTOM";
    startDevices({answering, silent, malformed, otherId},
                 "127.0.42.15      0x1         0x2         00:11:22:33:44:55     *        lo\n");

    const auto stats = DiscoveryScan(inventory, profile).scanThread();
    ASSERT_TRUE(stats);
    EXPECT_TRUE(stats->probeSent);
    EXPECT_EQ(stats->replies, 3u);

    const auto found = byAddress();
    ASSERT_TRUE(found.count("127.0.42.11"));
    EXPECT_EQ(found.at("127.0.42.11").id, "024C55-C81234");
    EXPECT_EQ(found.at("127.0.42.11").deviceType, "ZelvixXL VGA");
    EXPECT_EQ(found.at("127.0.42.11").version, "4.2.1");

    ASSERT_TRUE(found.count("127.0.42.12"));
    EXPECT_EQ(found.at("127.0.42.12").id, "024C55-C20007");
    EXPECT_EQ(found.at("127.0.42.12").deviceType, "Draviel6");
    EXPECT_EQ(found.at("127.0.42.12").version, "Unknown (ARP)");

    // A reply without an id is completed by the ARP pass, keeping its own type and version.
    ASSERT_TRUE(found.count("127.0.42.13"));
    EXPECT_EQ(found.at("127.0.42.13").id, "024C55-C50008");
    EXPECT_EQ(found.at("127.0.42.13").deviceType, "Cam-9");
    EXPECT_EQ(found.at("127.0.42.13").version, "Unknown (probed)");

    EXPECT_FALSE(found.count("127.0.42.15")) << "another maker's device is not listed";
    // A reply id that differs from the MAC-derived one gives the ARP row a record of its own.
    EXPECT_EQ(inventory.count(), 5u);

    EXPECT_EQ(std::vector<int>(window.commands.end() - 3, window.commands.end()),
              (std::vector<int>{ID_PRUNE_UNSEEN, ID_LIST_REFILL, ID_STATUS_UPDATE}));
    EXPECT_FALSE(inventory.scanInProgress);
}

TEST_F(LoopbackScanTest, SecondScanConfirmsKeepsManualEntriesAndPrunesTheGone) {
    startDevices({device("02:4C:55:C8:00:01", "127.0.43.11")});
    inventory.add("Device  1", "127.0.43.200:8080", "Unknown", "Unknown");
    inventory.add("024C55-C8FFFF", "127.0.43.201", "Gone", "1.0");
    DiscoveryScan scan(inventory, profile);
    ASSERT_TRUE(scan.scanThread());
    ASSERT_TRUE(scan.scanThread());
    const auto found = byAddress();
    EXPECT_EQ(found.size(), 2u);
    EXPECT_TRUE(found.count("127.0.43.11"));
    EXPECT_TRUE(found.count("127.0.43.200:8080"));
}

TEST_F(LoopbackScanTest, LoopbackHostAddressIsNeverProbed) {
    auto d = device("02:4C:55:C8:00:02", "127.0.44.11");
    startDevices({d});
    std::ofstream(arpPath, std::ios::trunc);  // only the probe could find it
    profile.interfaces = NetworkProfile::parseInterfaces("127.0.0.1/255.0.0.0");
    const auto stats = DiscoveryScan(inventory, profile).scanThread();
    ASSERT_TRUE(stats);
    EXPECT_EQ(stats->replies, 0u);
    EXPECT_EQ(inventory.count(), 0u);
}

TEST_F(LoopbackScanTest, EmptyInterfaceTableStillReadsArpTable) {
    startDevices({device("02:4C:55:C8:00:03", "127.0.45.11")});
    profile.interfaces = std::vector<InterfaceRow>{};
    const auto stats = DiscoveryScan(inventory, profile).scanThread();
    ASSERT_TRUE(stats);
    EXPECT_EQ(stats->replies, 0u);
    ASSERT_EQ(inventory.count(), 1u);
    EXPECT_EQ(inventory.at(0)->version, "Unknown (ARP)");
}

TEST_F(LoopbackScanTest, ARefreshDuringAScanDoesNothing) {
    startDevices({device("02:4C:55:C8:00:04", "127.0.46.11")});
    DiscoveryScan scan(inventory, profile);
    // The window asks for another scan while the first one is adding a device.
    class RefreshingWindow : public InventoryObserver {
    public:
        explicit RefreshingWindow(DiscoveryScan& s) : scan_(s) {}
        void inventoryCommand(InventoryCommand command) override {
            if (command == ID_LIST_REFILL && !refreshed) {
                refreshed = true;
                nested = scan_.scanThread();
            }
        }
        void thumbnailReady(std::size_t, uint32_t) override {}
        bool refreshed = false;
        std::optional<ScanStats> nested;

    private:
        DiscoveryScan& scan_;
    } refreshing(scan);
    inventory.setObserver(&refreshing);
    ASSERT_TRUE(scan.scanThread());
    EXPECT_TRUE(refreshing.refreshed);
    EXPECT_FALSE(refreshing.nested) << "the second request ends at once";
    EXPECT_FALSE(inventory.scanInProgress);
    EXPECT_TRUE(scan.scanThread()) << "once the scan has ended, the next one runs";
    EXPECT_EQ(inventory.count(), 1u);
}

}  // namespace
}  // namespace lm
