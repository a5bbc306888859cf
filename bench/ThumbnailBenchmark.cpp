// Pictures for a network of simulated devices, fetched while the desktop program's list shows them:
// one scan; the list (Thumbnails view, 1280 x 800, sorted by ID descending, so the page on screen
// holds devices from all through the replies) tells the fetch pool what it shows; each picture is
// decoded, scaled and kept as the program does. Reports the time from the first device added until
// every picture of the page on screen had come, and until all had; and, before that, what the
// simulator alone takes to make a picture.
#include <QApplication>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <map>
#include <string>
#include <thread>

#include "BenchRow.h"
#include "core/discovery/DiscoveryScan.h"
#include "core/discovery/ThumbnailFetcher.h"
#include "core/platform/IcmpSocket.h"
#include "devsim/CameraImage.h"
#include "devsim/Simulator.h"
#include "gui/app/GuiInventoryObserver.h"
#include "gui/discovery/DeviceListView.h"
#include "gui/discovery/ThumbnailDecoder.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kPageTarget = 1.0;
constexpr double kAllTarget = 4.0;
constexpr double kAllBefore = 6.7;  // seconds for 1,000 before pictures were fetched in order

double secondsSince(Clock::time_point start, Clock::time_point end) {
    return std::chrono::duration<double>(end - start).count();
}

// CPU milliseconds the simulator takes to draw and encode one picture of its demo devices.
double simulatorPictureMs(const std::vector<lm::sim::DeviceConfig>& devices) {
    const std::clock_t begun = std::clock();
    const std::size_t n = std::min<std::size_t>(devices.size(), 200);
    for (std::size_t i = 0; i < n; ++i)
        lm::sim::renderCameraImage(devices[i], lm::sim::WallClock::now());
    return 1000.0 * double(std::clock() - begun) / CLOCKS_PER_SEC / double(n);
}

std::string format(const char* pattern, double a, double b = 0, double c = 0) {
    char text[256];
    std::snprintf(text, sizeof text, pattern, a, b, c);
    return text;
}

// Hands the scan's window commands to the list without waiting for them, as the scan would read
// its replies with a window that answers refills cheaply; pictures are delivered as the window
// delivers them, waiting for the GUI thread.
class RefillsWithoutWaiting : public lm::InventoryObserver {
public:
    RefillsWithoutWaiting(lm::InventoryObserver& window, QObject* context)
        : window_(window), context_(context) {}
    void inventoryCommand(lm::InventoryCommand command) override {
        QMetaObject::invokeMethod(
            context_, [this, command] { window_.inventoryCommand(command); }, Qt::QueuedConnection);
    }
    void thumbnailReady(std::size_t recordIndex, uint32_t imageIndex) override {
        window_.thumbnailReady(recordIndex, imageIndex);
    }

private:
    lm::InventoryObserver& window_;
    QObject* context_;
};

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::size_t devices = argc > 1 ? std::stoul(argv[1]) : 1000;
    if (!lm::IcmpSocket::open()) {
        std::printf("thumbnails: skipped, no ICMP socket may be opened (run as root)\n");
        return 0;
    }
    lm::sim::SimulatorConfig config;
    config.devices = lm::sim::demoDevices(devices, *lm::parseIpv4("127.3.0.1"));
    const double drawMs = simulatorPictureMs(config.devices);
    std::printf("thumbnails: the simulator alone makes a %u x %u picture in %.2f ms of CPU\n",
                config.devices.front().http.width, config.devices.front().http.height, drawMs);
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
    auto* settings = new lm::gui::ViewSettings;
    settings->viewType = lm::gui::ViewSettings::Thumbnails;
    settings->sortDescending = true;
    auto* list = new lm::gui::DeviceListView(*inventory, *pictures, *settings);
    list->resize(1280, 800);
    list->show();

    std::optional<Clock::time_point> firstAdd;
    std::map<std::size_t, Clock::time_point> arrived;
    // The window's answer to a refill, at most one rebuild per 100 ms as the scan goes on.
    QTimer rebuild;
    rebuild.setSingleShot(true);
    rebuild.setInterval(100);
    QObject::connect(&rebuild, &QTimer::timeout, list, [list] { list->rebuild(); });
    auto* delivery = new lm::gui::GuiInventoryObserver(
        list,
        [&](lm::InventoryCommand command) {
            if (command != lm::ID_LIST_REFILL) return;
            if (!firstAdd) firstAdd = Clock::now();
            if (!rebuild.isActive()) rebuild.start();
        },
        [&](std::size_t record, uint32_t image) {
            arrived.emplace(record, Clock::now());
            list->thumbnailReady(record, image);
        });
    auto* observer = new RefillsWithoutWaiting(*delivery, list);
    inventory->setObserver(observer);
    lm::FetchPool fetches(lm::kMaxFetchThreads);
    inventory->setThumbnailStarter(lm::makeThumbnailStarter(
        *inventory, simulator.httpPort(),
        [pictures](std::span<const unsigned char> body) {
            return lm::gui::decodeThumbnail(body, *pictures, Qt::white);
        },
        fetches));

    std::vector<uint64_t> pageKeys;
    list->setPictureOrderListener([&, fetches](std::vector<uint64_t> keys) mutable {
        pageKeys = keys;
        fetches.setOrder(std::move(keys));
    });

    std::atomic<bool> scanned{false};
    std::thread scan([inventory, profile, &scanned] {
        lm::DiscoveryScan(*inventory, profile).scanThread();
        scanned = true;
    });
    // The scan reaches the list by blocking calls, so events run until it has ended too.
    const auto end = Clock::now() + std::chrono::seconds(60);
    while ((arrived.size() < devices || !scanned) && Clock::now() < end)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    while (!scanned)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    scan.join();
    list->rebuild();
    QCoreApplication::processEvents();

    // The page on screen at the end: the first records of the order the list last gave, as many
    // as it shows (at the top of the list the order holds them, then as many again below).
    const auto records = inventory->snapshot();
    std::map<uint64_t, std::size_t> indexOfKey;
    for (std::size_t i = 0; i < records.size(); ++i)
        indexOfKey[records[i].key] = i;
    const std::size_t shown = std::max<std::size_t>(1, pageKeys.size() / 2);
    double page = 0;
    std::size_t pageCount = 0;
    for (std::size_t i = 0; i < pageKeys.size() && i < shown; ++i) {
        const auto at = arrived.find(indexOfKey[pageKeys[i]]);
        page = std::max(page, at == arrived.end() || !firstAdd ? 1e9 : secondsSince(*firstAdd, at->second));
        ++pageCount;
    }
    double all = 0;
    for (const auto& [record, when] : arrived)
        all = std::max(all, firstAdd ? secondsSince(*firstAdd, when) : 0);
    const bool complete = arrived.size() == devices;
    std::printf(
        "thumbnails: %zu of %zu devices found, %zu pictures; the %zu on screen within %.2f s of the first "
        "device, all within %.2f s; %zu KB kept, %.1f KB a device\n",
        inventory->count(), devices, arrived.size(), pageCount, page, all, pictures->encodedBytes() / 1024,
        double(pictures->encodedBytes()) / 1024 / double(std::max<std::size_t>(1, arrived.size())));
    lm::bench::printRow("Pictures of the page on screen, " + std::to_string(devices) +
                            " devices (`bench/thumbnail_benchmark`)",
                        format("%.2f s after the first reply (all pictures %.2f s)", page, all),
                        format("under %.0f s", kPageTarget), complete && page <= kPageTarget);
    lm::bench::printRow(
        "All pictures, " + std::to_string(devices) + " devices (`bench/thumbnail_benchmark`)",
        format(
            "%.2f s after the first reply (before: %.1f s for 1,000; the simulator alone %.2f ms a picture)",
            all, kAllBefore, drawMs),
        format("under %.0f s", kAllTarget), complete && all <= kAllTarget);
    simulator.stop();
    std::fflush(stdout);
    std::_Exit(complete ? 0 : 1);
}
