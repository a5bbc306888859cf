// Range scans on loopback: 1,000 and 4,000 simulated devices, found by probing the smallest range
// that holds them address by address, at the default rate and at the highest. What counts is how soon
// a scan ends once the answers are in (a broadcast scan's quiet period is 5 s). nmap is no peer here:
// it takes every 127.x address for up without sending anything; range_scan_netns.sh compares with it.
// Usage: range_scan_benchmark [DEVICES...]   (default 1000 4000)
#include <sys/resource.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "BenchRow.h"
#include "core/discovery/DeviceInventory.h"
#include "core/discovery/DiscoveryScan.h"
#include "core/platform/IcmpSocket.h"
#include "core/platform/Socket.h"
#include "devsim/Simulator.h"

namespace {

using Clock = std::chrono::steady_clock;
const char* const kBench = "`bench/range_scan_benchmark`";
// Twice a slow loopback round trip on a busy machine, and a tenth of the broadcast scan's quiet period.
constexpr double kEndAfterLastAnswer = 0.5;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string fixed(double value, int decimals) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string loadAverage() {
    std::ifstream file("/proc/loadavg");
    std::string one, five;
    file >> one >> five;
    return one + " " + five;
}

// The smallest range from 127.1.0.0 whose host addresses hold the devices.
std::string rangeFor(std::size_t devices) {
    int prefix = 30;
    while (prefix > 8 && (std::size_t{1} << (32 - prefix)) - 2 < devices)
        --prefix;
    return "127.1.0.0/" + std::to_string(prefix);
}

// Notes when the last device was added: what the scan waits for after it is its own cost.
class LastAddWindow : public lm::InventoryObserver {
public:
    void inventoryCommand(lm::InventoryCommand command) override {
        // The end of the scan sends prune, refill and status; only the refills before it are adds.
        if (command == lm::ID_PRUNE_UNSEEN) scanEnded_ = true;
        if (command == lm::ID_LIST_REFILL && !scanEnded_) lastAdd = Clock::now();
    }
    void thumbnailReady(std::size_t, uint32_t) override {}
    Clock::time_point lastAdd;

private:
    bool scanEnded_ = false;
};

struct Scan {
    std::size_t found = 0;
    double seconds = 0;
    double lastAdd = 0;
    double cpu = 0;  // of the scanning thread alone
    int rounds = 0;
};

double threadCpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_THREAD, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

Scan rangeScan(const lm::NetworkProfile& profile, const std::string& range, int rate) {
    lm::ScanScope scope;
    scope.targets = lm::rangeAddresses({range}).addresses;
    scope.rate = rate;
    lm::DeviceInventory inventory;
    LastAddWindow window;
    inventory.setObserver(&window);
    const double cpu = threadCpuSeconds();
    const auto start = Clock::now();
    const auto stats = lm::DiscoveryScan(inventory, profile, scope).scanThread();
    const double seconds = secondsSince(start);
    return {inventory.count(), seconds, std::chrono::duration<double>(window.lastAdd - start).count(),
            threadCpuSeconds() - cpu, stats ? stats->rangeRounds : 0};
}

// The simulator alone: one probe to each device from a bare socket, all at once, and the time until
// the last reply is read. No scan of these devices can end sooner.
double simulatorAlone(const lm::sim::SimulatorConfig& config, uint16_t port) {
    auto socket = lm::UdpSocket::open();
    if (!socket) return 0;
    socket->growReceiveBuffer(8 * 1024 * 1024);
    const auto start = Clock::now();
    for (const auto& device : config.devices)
        socket->sendTo(device.address, port, std::string_view{});
    std::size_t replies = 0;
    const std::array<int, 1> fds = {socket->fd()};
    while (replies < config.devices.size()) {
        const auto ready = lm::waitReadable(fds, 2000);
        if (!ready || !(*ready)[0]) break;
        if (socket->receive(lm::DiscoveryScan::kMaxReplyBytes)) ++replies;
    }
    return replies == config.devices.size() ? secondsSince(start) : 0;
}

bool benchmark(std::size_t devices) {
    lm::sim::SimulatorConfig config;
    config.devices = lm::sim::demoDevices(devices, *lm::parseIpv4("127.1.0.1"));
    // One socket per protocol: with a socket per device the simulator's polling is what is measured.
    config.sockets = lm::sim::SocketMode::Shared;
    lm::sim::Simulator simulator(config);
    std::string error;
    if (!simulator.start(&error)) {
        std::printf("range scan: cannot start %zu devices: %s\n", devices, error.c_str());
        return false;
    }
    lm::NetworkProfile profile;
    profile.discoveryPort = simulator.discoveryPort();
    profile.interfaces.emplace();  // no interface rows: the range alone, no broadcast
    profile.arpTablePath = "/dev/null";
    const std::string range = rangeFor(devices);
    const std::string count = std::to_string(devices);

    const double alone = simulatorAlone(config, simulator.discoveryPort());
    const Scan atDefault = rangeScan(profile, range, lm::ScanScope::kDefaultRate);
    const Scan atMost = rangeScan(profile, range, lm::ScanScope::kMaxRate);
    std::printf("range scan of %s devices over %s (load %s):\n", count.c_str(), range.c_str(),
                loadAverage().c_str());
    for (const auto& [scan, rate] :
         {std::pair{atDefault, lm::ScanScope::kDefaultRate}, {atMost, lm::ScanScope::kMaxRate}})
        std::printf(
            "  --rate %6d: %zu of %s found in %.2f s (last device added at %.2f s; %.2f s of CPU in the "
            "scanning thread), %d round(s)\n",
            rate, scan.found, count.c_str(), scan.seconds, scan.lastAdd, scan.cpu, scan.rounds);
    std::printf("  the simulator alone, one probe to each device at once: last reply after %.2f s\n", alone);

    bool allMet = true;
    const auto row = [&](const Scan& scan, int rate) {
        const std::string what = "`--range` scan of " + count + " simulated devices over " + range +
                                 " at --rate " + std::to_string(rate) + " (" + kBench + ")";
        const double after = scan.seconds - scan.lastAdd;
        const std::string figure = std::to_string(scan.found) + " of " + count + " in " +
                                   fixed(scan.seconds, 2) + " s, over " + fixed(after, 2) +
                                   " s after the last device was listed";
        const bool met = scan.found == devices && after <= kEndAfterLastAnswer;
        lm::bench::printRow(what, figure,
                            "all found, over within " + fixed(kEndAfterLastAnswer, 1) +
                                " s of the last listed (a broadcast scan waits 5 s)",
                            met);
        allMet = allMet && met;
    };
    row(atDefault, lm::ScanScope::kDefaultRate);
    row(atMost, lm::ScanScope::kMaxRate);
    return allMet;
}

}  // namespace

int main(int argc, char** argv) {
    if (!lm::IcmpSocket::open()) {
        std::printf("range scan: skipped, no ICMP socket may be opened (run as root)\n");
        return 0;
    }
    std::vector<std::size_t> counts;
    for (int i = 1; i < argc; ++i)
        counts.push_back(std::stoul(argv[i]));
    if (counts.empty()) counts = {1000, 4000};
    bool met = true;
    for (const auto devices : counts)
        met = benchmark(devices) && met;
    return met ? 0 : 1;
}
