// Range scans against nmap: 1,000 and 4,000 simulated devices on loopback, found by probing the
// smallest range that holds them address by address, at the default rate and at the highest; in the
// same run `nmap -sn -n` over the same range, when nmap is installed.
// Usage: range_scan_benchmark [DEVICES...]   (default 1000 4000)
#include <sys/resource.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
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

struct Nmap {
    double seconds = 0;
    std::string summary;  // its "Nmap done: ..." line
};

// nmap over the same range; nullopt when it is not installed or fails.
std::optional<Nmap> nmapScan(const std::string& range) {
    const std::string command = "nmap -sn -n " + range + " 2>/dev/null";
    const auto start = Clock::now();
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return std::nullopt;
    Nmap result;
    char line[512];
    while (std::fgets(line, sizeof line, pipe))
        if (std::string(line).starts_with("Nmap done:")) result.summary = line;
    const int status = ::pclose(pipe);
    result.seconds = secondsSince(start);
    if (status != 0 || result.summary.empty()) return std::nullopt;
    if (result.summary.back() == '\n') result.summary.pop_back();
    return result;
}

bool benchmark(std::size_t devices, bool nmapInstalled) {
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
    const auto nmap = nmapInstalled ? nmapScan(range) : std::nullopt;
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
    if (nmap)
        std::printf("  nmap -sn -n: %.2f s (%s)\n", nmap->seconds, nmap->summary.c_str());
    else
        std::printf("  nmap -sn -n: %s\n", nmapInstalled ? "failed" : "not installed, no comparison");

    bool allMet = true;
    const auto row = [&](const Scan& scan, int rate) {
        const std::string what = "`--range` scan of " + count + " simulated devices over " + range +
                                 " at --rate " + std::to_string(rate) + " (" + kBench + ")";
        std::string figure =
            std::to_string(scan.found) + " of " + count + " in " + fixed(scan.seconds, 2) + " s";
        bool met = scan.found == devices;
        if (nmap) {
            figure += ", nmap -sn -n " + fixed(nmap->seconds, 2) + " s (ratio " +
                      fixed(scan.seconds / nmap->seconds, 2) + ")";
            met = met && scan.seconds <= nmap->seconds;
        } else {
            figure += ", nmap not installed";
            met = false;
        }
        lm::bench::printRow(what, figure, "all found, no slower than nmap", met);
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
    const bool nmapInstalled = std::system("command -v nmap >/dev/null 2>&1") == 0;
    if (nmapInstalled)
        std::printf("nmap on loopback sends nothing: it takes every 127.x address for up at once.\n");
    bool met = true;
    for (const auto devices : counts)
        met = benchmark(devices, nmapInstalled) && met;
    return met ? 0 : 1;
}
