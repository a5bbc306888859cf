// The desktop program's first scan at scale: the real main window, offscreen, against N simulated
// devices answering one probe (4,000 unless given). Measures the time from the probe to the last
// device listed, and how many are listed once the scan has ended.
//   first_scan_benchmark [DEVICES]

#include <QSettings>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <string>

#include "BenchRow.h"
#include "DescriptorLimit.h"
#include "core/link/Session.h"
#include "core/platform/IcmpSocket.h"
#include "devsim/Simulator.h"
#include "gui/app/CLmToolsApp.h"
#include "gui/app/CLmToolsDlg.h"
#include "gui/app/Desktop.h"

namespace {

using Clock = std::chrono::steady_clock;

// The target: every device listed within the quiet period plus this.
constexpr std::chrono::milliseconds kAllowance{1000};

double secondsBetween(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

std::string thousands(std::size_t n) {
    const std::string digits = std::to_string(n);
    std::string text;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) text += ',';
        text += digits[i];
    }
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const std::size_t devices = argc > 1 ? std::stoul(argv[1]) : 4000;
    const std::string what = "desktop program's first scan, " + thousands(devices) +
                             " simulated devices: probe to last device listed (`bench/first_scan_benchmark`)";
    const std::string target = "within the quiet period + 1 s, none lost";
    if (!lm::IcmpSocket::open()) {
        std::printf("first scan: skipped, no ICMP socket may be opened (run as root)\n");
        return 0;
    }
    lm::bench::raiseDescriptorLimit();
    lm::sim::SimulatorConfig config;
    config.devices = lm::sim::demoDevices(devices, *lm::parseIpv4("127.7.0.1"));
    lm::sim::Simulator simulator(std::move(config));
    std::string error;
    if (!simulator.start(&error)) {
        std::printf("first scan: cannot start %zu simulated devices: %s\n", devices, error.c_str());
        lm::bench::printRow(
            what,
            "not measured: the simulator cannot start " + thousands(devices) + " devices (" + error + ")",
            target, false);
        return 1;
    }

    lm::gui::CLmToolsApp app(argc, argv);
    lm::NetworkProfile profile;
    profile.discoveryPort = simulator.discoveryPort();
    profile.httpPort = simulator.httpPort();
    profile.interfaces = lm::NetworkProfile::parseInterfaces("127.0.0.254/255.0.0.0");
    profile.arpTablePath = "/dev/null";
    QTemporaryDir scratch;
    // Never destroyed: the scan and fetch threads are not waited for.
    auto* session = new lm::Session(profile);
    auto* settings = new QSettings(scratch.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
    auto* desktop = new lm::gui::Desktop;
    // The window sends the probe as it opens.
    const auto probe = Clock::now();
    auto* window = new lm::gui::CLmToolsDlg(*session, *settings, *desktop);
    window->show();

    const auto limit = probe + profile.quietPeriod + std::chrono::seconds(120);
    int listed = 0;
    std::size_t found = 0;
    auto lastListed = probe;
    auto lastFound = probe;  // the scan thread's last add, as seen from here
    while (Clock::now() < limit && (window->scanRunning() || listed < window->list().itemCount())) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (const int now = window->list().itemCount(); now > listed) {
            listed = now;
            lastListed = Clock::now();
        }
        if (const std::size_t now = window->inventory().count(); now > found) {
            found = now;
            lastFound = Clock::now();
        }
    }
    const auto ended = Clock::now();
    const bool finished = !window->scanRunning();
    const double seconds = secondsBetween(probe, lastListed);
    const double allowed = std::chrono::duration<double>(profile.quietPeriod + kAllowance).count();
    std::printf(
        "first scan: %d of %zu devices listed, the last %.2f s after the probe (the scan had added it by "
        "%.2f s); scan %s after %.2f s (quiet period %.1f s)\n",
        listed, devices, seconds, secondsBetween(probe, lastFound), finished ? "ended" : "still running",
        secondsBetween(probe, ended), profile.quietPeriod.count() / 1000.0);
    const bool met = finished && static_cast<std::size_t>(listed) == devices && seconds <= allowed;
    char figure[160];
    std::snprintf(figure, sizeof figure, "%.2f s, %d of %zu listed (limit %.1f s: quiet period %.1f s + 1 s)",
                  seconds, listed, devices, allowed, profile.quietPeriod.count() / 1000.0);
    lm::bench::printRow(what, figure, target, met);
    // The fetch threads may still be busy with pictures: leave without waiting for them.
    std::fflush(stdout);
    std::_Exit(met ? 0 : 1);
}
