// Pictures for a network of simulated devices: one scan, one fetch thread per device, each picture
// decoded and scaled as the desktop program does. Reports the time from the first device added to
// the last picture delivered to the window.
#include <QGuiApplication>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>

#include "core/discovery/DiscoveryScan.h"
#include "core/discovery/ThumbnailFetcher.h"
#include "core/platform/IcmpSocket.h"
#include "devsim/Simulator.h"
#include "gui/discovery/ThumbnailDecoder.h"

namespace {

using Clock = std::chrono::steady_clock;

// Stands in for the main window: notes when the first device came and when each picture did.
class TimingWindow : public lm::InventoryObserver {
public:
    void inventoryCommand(lm::InventoryCommand command) override {
        std::lock_guard lock(mutex);
        if (command == lm::ID_LIST_REFILL && !firstAdd) firstAdd = Clock::now();
    }
    void thumbnailReady(std::size_t, uint32_t) override {
        std::lock_guard lock(mutex);
        lastPicture = Clock::now();
        ++pictures;
        changed.notify_all();
    }
    std::mutex mutex;
    std::condition_variable changed;
    std::optional<Clock::time_point> firstAdd;
    Clock::time_point lastPicture;
    std::size_t pictures = 0;
};

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const std::size_t devices = argc > 1 ? std::stoul(argv[1]) : 200;
    if (!lm::IcmpSocket::open()) {
        std::printf("thumbnails: skipped, no ICMP socket may be opened (run as root)\n");
        return 0;
    }
    lm::sim::SimulatorConfig config;
    config.devices = lm::sim::demoDevices(devices, *lm::parseIpv4("127.3.0.1"));
    lm::sim::Simulator simulator(std::move(config));
    std::string error;
    if (!simulator.start(&error)) {
        std::printf("thumbnails: cannot start %zu devices: %s\n", devices, error.c_str());
        return 1;
    }
    lm::NetworkProfile profile;
    profile.discoveryPort = simulator.discoveryPort();
    profile.interfaces = lm::NetworkProfile::parseInterfaces("127.0.0.254/255.0.0.0");
    profile.arpTablePath = "/dev/null";

    // Never destroyed: fetch threads are not waited for.
    auto* inventory = new lm::DeviceInventory;
    auto* pictures = new lm::gui::PictureLists;
    auto* window = new TimingWindow;
    inventory->setObserver(window);
    inventory->setThumbnailStarter(lm::makeThumbnailStarter(
        *inventory, simulator.httpPort(), [pictures](std::span<const unsigned char> body) {
            return lm::gui::decodeThumbnail(body, *pictures, Qt::white);
        }));

    lm::DiscoveryScan(*inventory, profile).scanThread();
    std::unique_lock lock(window->mutex);
    window->changed.wait_for(lock, std::chrono::seconds(30), [&] { return window->pictures >= devices; });
    const double seconds =
        window->firstAdd ? std::chrono::duration<double>(window->lastPicture - *window->firstAdd).count() : 0;
    std::printf("thumbnails: %zu of %zu devices found, %zu pictures; first device to last picture %.2f s\n",
                inventory->count(), devices, window->pictures, seconds);
    const bool complete = window->pictures == devices;
    lock.unlock();
    simulator.stop();
    std::fflush(stdout);
    std::_Exit(complete ? 0 : 1);
}
