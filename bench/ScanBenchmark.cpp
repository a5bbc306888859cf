// Discovery at scale: N simulated devices (default 1000) answer one probe at once, then the same
// devices are found by probing the smallest range that holds them address by address; then the cost
// of merging replies into a large inventory.

#include <bit>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <mutex>
#include <string>

#include "BenchRow.h"
#include "DescriptorLimit.h"
#include "core/discovery/DeviceInventory.h"
#include "core/discovery/DiscoveryScan.h"
#include "core/platform/IcmpSocket.h"
#include "devsim/Simulator.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsBetween(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

// Notes when the last device was added.
class TimingWindow : public lm::InventoryObserver {
public:
    void inventoryCommand(lm::InventoryCommand command) override {
        // The end of the scan sends prune, refill and status; only the refills before it are adds.
        if (command == lm::ID_PRUNE_UNSEEN) scanEnded = true;
        if (command == lm::ID_LIST_REFILL && !scanEnded) lastAdd = Clock::now();
    }
    bool scanEnded = false;
    void thumbnailReady(std::size_t, uint32_t) override {}
    Clock::time_point lastAdd;
};

std::size_t openDescriptors() {
    std::error_code error;
    const std::filesystem::directory_iterator fds("/proc/self/fd", error);
    return error ? 0 : static_cast<std::size_t>(std::distance(fds, std::filesystem::directory_iterator()));
}

// The same devices, found without a broadcast: every address of the smallest range holding 127.1.0.1
// to the last device gets the probe and an echo request, paced at the default rate.
bool scanRange(lm::NetworkProfile profile, std::size_t devices) {
    const int hostBits = std::bit_width(devices + 1);  // the range's own and broadcast addresses hold none
    const std::string range = "127.1.0.0/" + std::to_string(32 - hostBits);
    lm::ScanScope scope;
    scope.targets = lm::rangeAddresses({range}).addresses;
    profile.interfaces.emplace();  // no interface rows, so no broadcast
    lm::DeviceInventory inventory;
    TimingWindow window;
    inventory.setObserver(&window);
    const auto start = Clock::now();
    const auto stats = lm::DiscoveryScan(inventory, profile, scope).scanThread();
    const auto end = Clock::now();
    std::printf(
        "range scan: %zu of %zu devices found (%zu replies) probing %zu addresses of %s at %d packets/s "
        "in %.2f s; last reply at %.2f s (quiet period %.1f s)\n",
        inventory.count(), devices, stats ? stats->replies : 0, scope.targets.size(), range.c_str(),
        scope.rate, secondsBetween(start, end), secondsBetween(start, window.lastAdd),
        profile.quietPeriod.count() / 1000.0);
    return inventory.count() == devices;
}

int scanThousandDevices(std::size_t devices) {
    if (!lm::IcmpSocket::open()) {
        std::printf("scan: skipped, no ICMP socket may be opened (run as root)\n");
        return 0;
    }
    const rlim_t limit = lm::bench::raiseDescriptorLimit();
    lm::sim::SimulatorConfig config;
    config.devices = lm::sim::demoDevices(devices, *lm::parseIpv4("127.1.0.1"));
    lm::sim::Simulator simulator(std::move(config));
    std::string error;
    const std::size_t before = openDescriptors();
    if (!simulator.start(&error)) {
        std::printf("scan: cannot start %zu devices: %s\n", devices, error.c_str());
        return 1;
    }
    const std::size_t held = openDescriptors() - before;
    std::printf("simulator: %s\n", simulator.sockets().reason.c_str());
    char descriptors[160];
    std::snprintf(descriptors, sizeof descriptors, "%zu descriptors (%s sockets), of a limit of %llu", held,
                  simulator.sockets().mode == lm::sim::SocketMode::Shared ? "shared" : "per-address",
                  static_cast<unsigned long long>(limit));
    lm::bench::printRow(
        std::to_string(devices) + " simulated devices served by one simulator (`bench/scan_benchmark`)",
        descriptors, "within the limit, with room for the simulator's 4,096 connections",
        held + lm::sim::ConnectionPool::kMaxConnections <= limit);
    lm::NetworkProfile profile;
    profile.discoveryPort = simulator.discoveryPort();
    profile.interfaces = lm::NetworkProfile::parseInterfaces("127.0.0.254/255.0.0.0");
    profile.arpTablePath = "/dev/null";

    lm::DeviceInventory inventory;
    TimingWindow window;
    inventory.setObserver(&window);
    const auto start = Clock::now();
    const auto stats = lm::DiscoveryScan(inventory, profile).scanThread();
    const auto end = Clock::now();
    std::printf(
        "scan: %zu of %zu devices found (%zu replies) in %.2f s; last reply to end of scan %.3f s "
        "(quiet period %.1f s)\n",
        inventory.count(), devices, stats ? stats->replies : 0, secondsBetween(start, end),
        secondsBetween(window.lastAdd, end), profile.quietPeriod.count() / 1000.0);
    // The quiet period after the last reply is the protocol's; anything much beyond it is the scan's.
    const double quiet = profile.quietPeriod.count() / 1000.0;
    const double afterLast = secondsBetween(window.lastAdd, end);
    const bool broadcastMet = inventory.count() == devices && afterLast <= quiet + 1.0;
    char figure[160];
    std::snprintf(figure, sizeof figure,
                  "%zu of %zu found, the scan ending %.2f s after the last reply (quiet period %.1f s)",
                  inventory.count(), devices, afterLast, quiet);
    lm::bench::printRow(
        std::to_string(devices) + " simulated devices answering one probe at once (`bench/scan_benchmark`)",
        figure, "all, ending within the quiet period plus 1 s", broadcastMet);
    const bool rangeFoundAll = scanRange(profile, devices);
    return broadcastMet && rangeFoundAll ? 0 : 1;
}

std::string benchAddress(int n) {
    return "10." + std::to_string(n / 65536) + "." + std::to_string(n / 256 % 256) + "." +
           std::to_string(n % 256);
}

void inventoryMerges() {
    constexpr int kRecords = 50000;
    constexpr int kCalls = 10000;
    lm::DeviceInventory inventory;
    for (int i = 0; i < kRecords; ++i)
        inventory.add("024C55-C8" + std::to_string(100000 + i), benchAddress(i), "ZelvixXL VGA", "4.2.1");
    const auto start = Clock::now();
    std::size_t added = 0;
    for (int i = 0; i < kCalls; ++i) {
        // Half confirm existing records (spread over the list), half are new devices.
        const int n = i % 2 ? (i * 7919) % kRecords : kRecords + i;
        const std::string id = "024C55-C8" + std::to_string(100000 + n);
        const std::string address = benchAddress(n);
        if (!inventory.update(id, address)) {
            inventory.add(id, address, "ZelvixXL VGA", "4.2.1");
            ++added;
        }
    }
    const double seconds = secondsBetween(start, Clock::now());
    std::printf(
        "inventory: %d update/add calls on a %d-record inventory (%zu added) in %.1f ms, %.2f us each\n",
        kCalls, kRecords, added, seconds * 1000, seconds * 1e6 / kCalls);
    char figure[64];
    std::snprintf(figure, sizeof figure, "%.1f ms (%.2f us a call)", seconds * 1000, seconds * 1e6 / kCalls);
    lm::bench::printRow("10,000 `update`/`add` calls on a 50,000-record inventory (`bench/scan_benchmark`)",
                        figure, "under 20 ms", seconds < 0.020);
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t devices = argc > 1 ? std::stoul(argv[1]) : 1000;
    inventoryMerges();
    return scanThousandDevices(devices);
}
