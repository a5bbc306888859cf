// The desktop program's memory, its main window driven offscreen as a user would:
//   - 16 devices serving a 31 KB PNG that claims 5700 x 5700 pixels: the peak over one scan;
//   - 6,000 devices (three sockets each in the simulator, within this machine's 20,000 files) and
//     20 clicks on "Refresh": after the first scan, after the refreshes and at the peak.
// Each case runs in a fresh process, its simulated devices in another, so only the window's own
// memory is counted.
#include <sys/wait.h>
#include <unistd.h>

#include <QSettings>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "BenchRow.h"
#include "DescriptorLimit.h"
#include "core/link/Session.h"
#include "core/platform/IcmpSocket.h"
#include "devsim/Simulator.h"
#include "gui/Commands.h"
#include "gui/app/CLmToolsApp.h"
#include "gui/app/CLmToolsDlg.h"
#include "gui/app/Desktop.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kTargetMb = 200;
constexpr double kBeforeMb = 514;  // 6,000 devices after the first scan, two bitmaps kept per device

struct Case {
    const char* name;
    std::size_t devices;
    lm::sim::HttpFault fault;
    int refreshes;
    const char* firstAddress;
};

// Resident memory now and at its peak, in MB.
struct Resident {
    double now = 0;
    double peak = 0;
};

Resident resident() {
    std::ifstream status("/proc/self/status");
    Resident r;
    std::string line;
    while (std::getline(status, line)) {
        if (line.starts_with("VmRSS:")) r.now = std::stod(line.substr(6)) / 1024;
        if (line.starts_with("VmHWM:")) r.peak = std::stod(line.substr(6)) / 1024;
    }
    return r;
}

// Runs events until `done` holds or the time is up; false on time-out.
template <typename Done>
bool runUntil(Done done, std::chrono::seconds limit) {
    const auto end = Clock::now() + limit;
    while (!done()) {
        if (Clock::now() > end) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

void runFor(std::chrono::milliseconds time) {
    runUntil([end = Clock::now() + time] { return Clock::now() > end; }, std::chrono::seconds(60));
}

// The scan has ended and every record's picture has come.
bool settled(lm::gui::CLmToolsDlg& window) {
    if (window.scanRunning()) return false;
    const auto records = window.inventory().snapshot();
    return std::none_of(records.begin(), records.end(), [](const auto& r) { return r.thumbnailFetch; });
}

// The window's side: a first scan, then the refreshes.
int measureWindow(int argc, char** argv, const Case& c, uint16_t discoveryPort, uint16_t httpPort) {
    lm::gui::CLmToolsApp app(argc, argv);
    lm::NetworkProfile profile;
    profile.discoveryPort = discoveryPort;
    profile.httpPort = httpPort;
    profile.interfaces = lm::NetworkProfile::parseInterfaces("127.0.0.254/255.0.0.0");
    profile.arpTablePath = "/dev/null";
    profile.quietPeriod = lm::Milliseconds(1000);
    QTemporaryDir scratch;
    // Never destroyed: the fetch threads are not waited for.
    auto* session = new lm::Session(profile);
    auto* settings = new QSettings(scratch.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
    auto* desktop = new lm::gui::Desktop;
    auto* window = new lm::gui::CLmToolsDlg(*session, *settings, *desktop);
    window->show();

    // Refused pictures leave their records marked, so this case waits out a fixed time instead.
    if (c.refreshes == 0) {
        runUntil([&] { return !window->scanRunning(); }, std::chrono::seconds(60));
        runFor(std::chrono::seconds(5));
        const double peak = resident().peak;
        std::printf(
            "memory: %zu devices serving a 31 KB PNG of 5700 x 5700 pixels: %zu found, peak %.0f MB\n",
            c.devices, window->inventory().count(), peak);
        char figure[64];
        std::snprintf(figure, sizeof figure, "%.0f MB (950 MB before the bounds)", peak);
        lm::bench::printRow(
            "Peak memory, 16 devices serving a 31 KB PNG of 5700 x 5700 pixels (`bench/memory_benchmark`)",
            figure, "under 300 MB", window->inventory().count() == c.devices && peak < 300);
        return 0;
    }
    if (!runUntil([&] { return settled(*window); }, std::chrono::seconds(900))) {
        std::printf("memory: %s: the first scan did not settle\n", c.name);
        return 1;
    }
    const double first = resident().now;
    std::vector<double> after;
    for (int i = 0; i < c.refreshes; ++i) {
        window->runCommand(lm::gui::kRefresh);
        if (!runUntil([&] { return settled(*window); }, std::chrono::seconds(300))) {
            std::printf("memory: %s: refresh %d did not settle\n", c.name, i + 1);
            return 1;
        }
        after.push_back(resident().now);
    }
    const auto [low, high] = std::minmax_element(after.begin(), after.end());
    std::printf("memory: MB after each refresh:");
    for (const double mb : after)
        std::printf(" %.0f", mb);
    std::printf("\n");
    std::printf(
        "memory: %zu devices (%zu found), %d refreshes: %.0f MB after the first scan, %.0f MB after the last "
        "refresh (%.0f to %.0f MB between refreshes), peak %.0f MB\n",
        c.devices, window->inventory().count(), c.refreshes, first, after.back(), *low, *high,
        resident().peak);
    // The target holds at 6,000 devices; fewer prove nothing about it.
    const bool found = window->inventory().count() == c.devices && c.devices >= 6000;
    char figure[160];
    const std::string devices = std::to_string(c.devices) + " devices";
    std::snprintf(figure, sizeof figure, "%.0f MB (before: %.0f MB at 6,000)", first, kBeforeMb);
    lm::bench::printRow("Memory after the first scan, " + devices + " (`bench/memory_benchmark`)", figure,
                        "under 200 MB at 6,000", found && first < kTargetMb);
    std::snprintf(figure, sizeof figure, "%.0f MB (peak %.0f MB)", after.back(), resident().peak);
    lm::bench::printRow("Memory after " + std::to_string(c.refreshes) + " refreshes, " + devices +
                            " (`bench/memory_benchmark`)",
                        figure, "under 200 MB at 6,000", found && after.back() < kTargetMb);
    return 0;
}

// The devices' side: serves until the lifeline closes.
[[noreturn]] void serveDevices(const Case& c, int portsOut, int lifeline) {
    lm::bench::raiseDescriptorLimit();
    lm::sim::SimulatorConfig config;
    config.devices = lm::sim::demoDevices(c.devices, *lm::parseIpv4(c.firstAddress));
    for (auto& device : config.devices)
        device.http.fault = c.fault;
    lm::sim::Simulator simulator(std::move(config));
    std::string error;
    uint16_t ports[2] = {0, 0};
    if (simulator.start(&error)) {
        ports[0] = simulator.discoveryPort();
        ports[1] = simulator.httpPort();
    } else {
        std::fprintf(stderr, "memory: cannot start %zu devices: %s\n", c.devices, error.c_str());
    }
    [[maybe_unused]] const ssize_t written = ::write(portsOut, ports, sizeof ports);
    char byte;
    while (::read(lifeline, &byte, 1) > 0) {
    }
    simulator.stop();
    std::_Exit(0);
}

int waitFor(pid_t child) {
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

int runCase(int argc, char** argv, const Case& c) {
    int ports[2], lifeline[2];
    if (::pipe(ports) != 0 || ::pipe(lifeline) != 0) return 1;
    std::fflush(stdout);
    const pid_t devices = ::fork();
    if (devices == 0) {
        ::close(ports[0]);
        ::close(lifeline[1]);
        serveDevices(c, ports[1], lifeline[0]);
    }
    ::close(ports[1]);
    ::close(lifeline[0]);
    uint16_t found[2] = {0, 0};
    const bool started = ::read(ports[0], found, sizeof found) == sizeof found && found[0] != 0;
    int result = 1;
    if (started) {
        const pid_t window = ::fork();
        if (window == 0) {
            ::close(lifeline[1]);
            const int code = measureWindow(argc, argv, c, found[0], found[1]);
            std::fflush(stdout);
            std::_Exit(code);
        }
        result = waitFor(window);
    }
    ::close(lifeline[1]);
    waitFor(devices);
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (!lm::IcmpSocket::open()) {
        std::printf("memory: skipped, no ICMP socket may be opened (run as root)\n");
        return 0;
    }
    const Case cases[] = {
        {"huge pictures", 16, lm::sim::HttpFault::HugePicture, 0, "127.5.0.1"},
        {"a working day", argc > 1 ? std::stoul(argv[1]) : 6000, lm::sim::HttpFault::None,
         argc > 2 ? std::stoi(argv[2]) : 20, "127.6.0.1"},
    };
    int result = 0;
    for (const Case& c : cases)
        result |= runCase(argc, argv, c);
    return result;
}
