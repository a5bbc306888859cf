#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "core/discovery/DeviceProbe.h"
#include "core/discovery/DiscoveryScan.h"
#include "core/platform/IcmpSocket.h"
#include "devsim/Simulator.h"

namespace lm {
namespace {

TEST(BroadcastDestination, FollowsTheBroadcastField) {
    const struct {
        const char* address;
        const char* mask;
        Ipv4 broadcast;  // 0, 1 or an address
        const char* expected;
    } cases[] = {{"192.168.1.7", "255.255.255.0", 1, "192.168.1.255"},
                 {"192.168.1.7", "255.255.255.0", 0, "192.168.1.0"},
                 {"10.20.30.40", "255.255.255.252", 1, "10.20.30.43"},
                 {"10.20.30.40", "255.255.0.0", *parseIpv4("10.20.99.99"), "10.20.99.99"}};
    for (const auto& c : cases) {
        const InterfaceRow row{*parseIpv4(c.address), *parseIpv4(c.mask), c.broadcast, {}};
        EXPECT_EQ(dotted(DiscoveryScan::broadcastDestination(row)), c.expected) << c.expected;
    }
}

TEST(RangeAddresses, HostsOfEachRangeMergedWithinTheLimit) {
    const struct {
        std::vector<std::string> ranges;
        std::size_t count;
        const char *first, *last, *problem;  // problem: its start, "" for none
    } cases[] = {
        {{"192.168.5.77/24"}, 254, "192.168.5.1", "192.168.5.254", ""},  // host bits are ignored
        {{"10.0.0.4/31"}, 2, "10.0.0.4", "10.0.0.5", ""},
        {{"10.0.1.0/24", "10.0.0.0/23", "10.0.1.0/24"}, 510, "10.0.0.1", "10.0.1.254", ""},  // merged, sorted
        {{"10.0.0.0/16", "10.1.0.1/32", "10.1.0.2/32"}, 65536, "10.0.0.1", "10.1.0.2", ""},
        {{"10.0.0.0/16", "10.1.0.0/29"}, 0, "", "", "the ranges hold 65540 addresses; at most 65536"},
        {{"0.0.0.0/0"}, 0, "", "", "the ranges hold 4294967294 addresses"},
        {{"10.0.0.0/33"}, 0, "", "", "\"10.0.0.0/33\" is not a range such as 192.168.5.0/24"},
        {{"10.0.0/24"}, 0, "", "", "\"10.0.0/24\" is not a range"},
    };
    for (const auto& c : cases) {
        const auto result = rangeAddresses(c.ranges);
        EXPECT_TRUE(result.problem.starts_with(c.problem)) << c.ranges[0] << ": " << result.problem;
        ASSERT_EQ(result.addresses.size(), c.count) << c.ranges[0];
        if (c.count == 0) continue;
        EXPECT_EQ(dotted(result.addresses.front()), c.first) << c.ranges[0];
        EXPECT_EQ(dotted(result.addresses.back()), c.last) << c.ranges[0];
    }
}

// Two packets per address at the rate; a note only when that alone takes over a minute.
TEST(LongScanNote, SaysHowLongTheSendsTakeOnceOverAMinute) {
    const struct {
        std::size_t targets;
        int rate;
        const char* note;  // "" for none
    } cases[] = {
        {30000, 1000, ""},  // exactly a minute
        {30001, 1000, "probing 30001 addresses, two packets each at 1000 a second, takes about 1 min 1 s"},
        {65534, 2000, "probing 65534 addresses, two packets each at 2000 a second, takes about 1 min 6 s"},
        {254, 1, "probing 254 addresses, two packets each at 1 a second, takes about 8 min 28 s"},
        {1800, 1, "probing 1800 addresses, two packets each at 1 a second, takes about 1 h 0 min"},
        {65536, 1, "probing 65536 addresses, two packets each at 1 a second, takes about 36 h 25 min"},
        {65536, ScanScope::kMaxRate, ""},
        {0, 1, ""},
    };
    for (const auto& c : cases) {
        ScanScope scope;
        scope.targets.assign(c.targets, *parseIpv4("10.0.0.1"));
        scope.rate = c.rate;
        const std::string note = longScanNote(scope);
        EXPECT_TRUE(std::string_view(c.note).empty() ? note.empty() : note.starts_with(c.note))
            << c.targets << " at " << c.rate << ": " << note;
    }
}

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

    // "address id, type, version" of every record, sorted.
    std::vector<std::string> found() const {
        std::vector<std::string> out;
        for (const auto& r : inventory.snapshot())
            out.push_back(r.address + " " + r.id + ", " + r.deviceType + ", " + r.version);
        std::sort(out.begin(), out.end());
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

    // A reply without an id is completed by the ARP pass, keeping its own type and version; one whose
    // id differs from the MAC-derived one leaves the ARP row a record of its own; another maker's
    // device is not listed.
    EXPECT_EQ(found(), (std::vector<std::string>{"127.0.42.11 024C55-C81234, ZelvixXL VGA, 4.2.1",
                                                 "127.0.42.12 024C55-C20007, Draviel6, Unknown (ARP)",
                                                 "127.0.42.13 024C55-C50008, Cam-9, Unknown (probed)",
                                                 "127.0.42.14 024C55-C10009, Zelvix, Unknown (ARP)",
                                                 "127.0.42.14 CUSTOM, Zelvix, 3.0.0"}));
    // The probe's record keeps its source when the ARP pass adds the MAC; the ARP-only one says so.
    for (const auto& r : inventory.snapshot()) {
        if (r.address != "127.0.42.11" && r.address != "127.0.42.12") continue;
        EXPECT_EQ(std::string(deviceSourceName(r.source)) + " " + r.mac + " " + r.product + " " + r.subtype,
                  r.address == "127.0.42.11" ? "probe 02:4C:55:C8:12:34 Lumetra/ZelvixXL-2 VGA"
                                             : "arp 02:4C:55:C2:00:07  ");
    }
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
    EXPECT_EQ(found(), (std::vector<std::string>{"127.0.43.11 024C55-C80001, ZelvixXL, 4.2.1",
                                                 "127.0.43.200:8080 Device  1, Unknown, Unknown"}));
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

// Addresses probed one by one end the scan when they are settled: a reply or a refusal (no one holds
// the port) in the first round settles each; a device that holds the port but never answers is asked
// once more. With a broadcast sent too, its quiet period still runs in full.
TEST_F(LoopbackScanTest, RangeRoundsEndWhenEveryAddressIsSettled) {
    auto silent = device("02:4C:55:C2:00:07", "127.0.49.1");
    silent.answersProbe = false;
    startDevices(
        {device("02:4C:55:C8:00:11", "127.0.48.1"), device("02:4C:55:C8:00:12", "127.0.48.2"), silent});
    std::ofstream(arpPath, std::ios::trunc);  // only the probes can find them
    const struct {
        const char* range;
        bool broadcast;
        std::size_t devices;
        int rounds;
    } cases[] = {
        {"127.0.48.0/29", false, 2, 1},  // .3 to .6 refuse
        {"127.0.49.0/30", false, 0, 2},  // .1 holds the port and stays silent, .2 refuses
        {"127.0.48.0/30", true, 2, 1},
    };
    const auto interfaces = profile.interfaces;
    for (const auto& c : cases) {
        ScanScope scope;
        scope.targets = rangeAddresses({c.range}).addresses;
        profile.interfaces = interfaces;
        if (!c.broadcast) profile.interfaces.emplace();
        DeviceInventory scanned;
        const auto start = MonoClock::now();
        const auto stats = DiscoveryScan(scanned, profile, scope).scanThread();
        const auto took = MonoClock::now() - start;
        ASSERT_TRUE(stats) << c.range;
        EXPECT_EQ(scanned.count(), c.devices) << c.range;
        EXPECT_EQ(stats->rangeRounds, c.rounds) << c.range;
        EXPECT_TRUE(!c.broadcast || took >= profile.quietPeriod) << c.range;
    }
}

// The ID as the device's own reply gives it, whatever that holds; none for a silent device or a
// host that is no address.
TEST(ProbeDeviceId, ReadsTheReplyOfThatDeviceAlone) {
    auto device = [](const char* mac, const char* address) {
        sim::DeviceConfig d;
        d.mac = *sim::parseMac(mac);
        d.address = *parseIpv4(address);
        return d;
    };
    auto custom = device("02:4C:55:C1:00:09", "127.0.47.12");
    custom.reply = "Lumetra/Zelvix-1 cam 3.0.0 id=CUSTOM";
    auto malformed = device("02:4C:55:C5:00:08", "127.0.47.13");
    malformed.reply = std::string("Cam-9\0 id=HIDDEN", 16);
    auto silent = device("02:4C:55:C2:00:07", "127.0.47.14");
    silent.answersProbe = false;
    sim::SimulatorConfig config;
    config.devices = {device("02:4C:55:C8:12:34", "127.0.47.11"), custom, malformed, silent};
    sim::Simulator simulator(std::move(config));
    std::string error;
    ASSERT_TRUE(simulator.start(&error)) << error;
    NetworkProfile profile;
    profile.discoveryPort = simulator.discoveryPort();

    // clang-format off
    const struct {
        const char* host;
        std::optional<std::string> id;
    } cases[] = {
        {"127.0.47.11", "024C55-C81234"},
        {"127.0.47.12", "CUSTOM"},
        {"127.0.47.13", "Unknown"},  // the text ends at the NUL: no id in it
        {"127.0.47.14", std::nullopt},
        {"127.0.47", std::nullopt},
        {"camera.local", std::nullopt},
        {"", std::nullopt},
    };
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(probeDeviceId(c.host, profile), c.id) << c.host;
}

}  // namespace
}  // namespace lm
