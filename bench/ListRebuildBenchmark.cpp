// The device list rebuilt whole, as every scan result and view change does: the time for the
// rebuild itself, and for the rebuild with the layout and painting that follow it, in the Details
// and Thumbnails views, grouped by address, up to 50,000 records.
//   list_rebuild_benchmark [RECORDS...]
#include <QAbstractItemView>
#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "BenchRow.h"
#include "gui/discovery/DeviceListView.h"

namespace {

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void fill(lm::DeviceInventory& inventory, int count) {
    static const char* const kTypes[] = {"Zelvix", "ZelvixXL VGA", "Draviel6", "Quorbent", "Farloomer"};
    for (int i = 0; i < count; ++i) {
        char id[32];
        std::snprintf(id, sizeof id, "024C55-C%X%04X", i % 10, i);
        const std::string address = "10." + std::to_string(i / 65536) + "." + std::to_string(i / 256 % 256) +
                                    "." + std::to_string(i % 256);
        inventory.add(id, address, kTypes[i % 5], i % 3 ? "4.2.1" : "3.9.12");
    }
}

// The largest list the benchmark holds to its target: the inventory's own bound is 65,536.
constexpr int kLargest = 50000;
constexpr double kTargetMilliseconds = 50;

struct Figures {
    double rebuild = 0;
    double withLayout = 0;
};

Figures measure(QApplication& app, int count, int view, const char* name) {
    lm::DeviceInventory inventory;
    fill(inventory, count);
    lm::gui::PictureLists pictures;
    lm::gui::ViewSettings settings;
    settings.groupBy = 1;
    lm::gui::DeviceListView list(inventory, pictures, settings);
    list.resize(760, 560);
    list.show();
    list.setView(view);
    app.processEvents();

    const int rounds = count >= 20000 ? 5 : count >= 5000 ? 9 : 20;
    std::vector<double> rebuildOnly;
    std::vector<double> withLayout;
    for (int r = 0; r < rounds; ++r) {
        auto start = Clock::now();
        list.rebuild();
        rebuildOnly.push_back(millisecondsSince(start));
        app.processEvents();

        start = Clock::now();
        list.rebuild();
        app.processEvents();
        list.repaint();
        withLayout.push_back(millisecondsSince(start));
    }
    const Figures figures{median(rebuildOnly), median(withLayout)};
    std::printf("%-10s %5d records: rebuild %7.2f ms, with layout and paint %7.2f ms (median of %d)\n", name,
                count, figures.rebuild, figures.withLayout, rounds);
    return figures;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    std::vector<int> counts;
    for (int i = 1; i < argc; ++i)
        counts.push_back(std::stoi(argv[i]));
    if (counts.empty()) counts = {100, 1000, 5000, kLargest};
    bool met = true;
    for (const int count : counts) {
        const Figures details = measure(app, count, lm::gui::ViewSettings::Details, "Details");
        const Figures thumbnails = measure(app, count, lm::gui::ViewSettings::Thumbnails, "Thumbnails");
        if (count != kLargest) continue;
        for (const auto& [view, f] : {std::pair{"Details", details}, std::pair{"Thumbnails", thumbnails}}) {
            char figure[120];
            std::snprintf(figure, sizeof figure, "%.1f ms (rebuild %.1f ms; limit %.0f ms)", f.withLayout,
                          f.rebuild, kTargetMilliseconds);
            const bool viewMet = f.withLayout < kTargetMilliseconds;
            met = met && viewMet;
            lm::bench::printRow(std::string("list rebuild with layout and painting, 50,000 records, ") +
                                    view + " view (`bench/list_rebuild_benchmark`)",
                                figure, "under 50 ms", viewMet);
        }
    }
    return met ? 0 : 1;
}
