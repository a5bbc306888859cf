#include <QTest>
#include <QTreeView>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "gui/app/GuiInventoryObserver.h"
#include "gui/discovery/DeviceListView.h"

using namespace lm;
using namespace lm::gui;
using namespace std::chrono_literals;

namespace {

// Runs `send` on a thread of its own while the GUI thread handles no events, as a scan does while
// the window is busy; false when the sender did not finish without the GUI thread's help.
template <typename Send>
bool sendFromThread(Send send) {
    std::atomic<bool> done{false};
    std::thread sender([&] {
        send();
        done = true;
    });
    for (int i = 0; i < 500 && !done; ++i)
        std::this_thread::sleep_for(10ms);
    const bool alone = done;
    while (!done)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);  // release a sender that waits
    sender.join();
    return alone;
}

std::string addressOf(int i) {
    return "10.1." + std::to_string(i / 250) + "." + std::to_string(i % 250 + 1);
}

}  // namespace

class InventoryObserverTest : public QObject {
    Q_OBJECT

private:
    // A window as the scan reaches it: the list, rebuilt on each refill; every command recorded.
    struct Window {
        DeviceInventory inventory;
        PictureLists pictures;
        ViewSettings settings;
        DeviceListView list{inventory, pictures, settings};
        std::vector<int> commands;
        std::vector<std::pair<std::size_t, uint32_t>> thumbnails;
        GuiInventoryObserver observer;

        explicit Window(DeliveryPacing pacing)
            : observer(
                  &list,
                  [this](InventoryCommand command) {
                      commands.push_back(command);
                      if (command == ID_PRUNE_UNSEEN) inventory.pruneUnseen();
                      if (command == ID_LIST_REFILL) list.rebuild();
                  },
                  [this](std::size_t record, uint32_t image) { thumbnails.emplace_back(record, image); },
                  std::move(pacing)) {
            settings.viewType = ViewSettings::Details;
            settings.showGroups = false;
            settings.sortBy = 1;  // by address
            list.setView(settings.viewType);
            inventory.setObserver(&observer);
        }
        int rebuilds() const { return int(std::count(commands.begin(), commands.end(), ID_LIST_REFILL)); }
        void addBurst(int from, int to) {
            // Highest address first, so the list's order is its own, not the order of arrival.
            for (int i = to - 1; i >= from; --i)
                inventory.add("024C55-C" + std::to_string(100000 + i), addressOf(i), "Zelvix", "2.1.0");
        }
        // The addresses the list shows, top to bottom.
        std::vector<std::string> listed() const {
            const QAbstractItemModel* model =
                list.findChild<QTreeView*>(QStringLiteral("detailsView"))->model();
            std::vector<std::string> out;
            for (int r = 0; r < model->rowCount(); ++r)
                out.push_back(model->index(r, 1).data().toString().toStdString());
            return out;
        }
    };

private slots:
    // A scan's burst of refills never waits for the window and reaches it as few rebuilds, at most
    // one per interval; the scan's end delivers at once, prune first. The final list is complete,
    // in order, and the device selected before the burst stays selected.
    void burstOfRefillsGivesFewRebuilds() {
        const auto start = DeliveryPacing::Clock::now();
        auto now = start;  // moves only when the test says
        Window w(DeliveryPacing{1h, [&now] { return now; }});

        QVERIFY(sendFromThread([&] { w.addBurst(0, 1); }));
        QTRY_COMPARE(w.list.itemCount(), 1);
        QVERIFY(w.list.findDevice(QStringLiteral("10.1.0.1"), false));
        QCOMPARE(w.commands, (std::vector<int>{ID_LIST_REFILL, ID_STATUS_UPDATE}));

        QVERIFY(sendFromThread([&] { w.addBurst(1, 1000); }));
        QCoreApplication::processEvents();
        QCOMPARE(w.rebuilds(), 1);  // the interval has not passed
        QCOMPARE(w.list.itemCount(), 1);

        // The scan's end: one delivery, prune before the rebuild that shows it.
        QVERIFY(sendFromThread([&] {
            w.inventory.notify(ID_PRUNE_UNSEEN);
            w.inventory.notify(ID_LIST_REFILL);
            w.inventory.notify(ID_STATUS_UPDATE);
        }));
        QTRY_COMPARE(w.list.itemCount(), 1000);
        QCOMPARE(w.commands, (std::vector<int>{ID_LIST_REFILL, ID_STATUS_UPDATE, ID_PRUNE_UNSEEN,
                                               ID_LIST_REFILL, ID_STATUS_UPDATE}));
        const auto selected = w.list.selection();
        QVERIFY(selected);
        QCOMPARE(selected->column1, QStringLiteral("10.1.0.1"));
        QCOMPARE(w.list.selections().size(), std::size_t{1});

        // A refill after the interval is delivered without a scan's end, with every address in order.
        QVERIFY(sendFromThread([&] { w.addBurst(1000, 1500); }));
        now += 1h;
        QTRY_COMPARE(w.list.itemCount(), 1500);
        QCOMPARE(w.rebuilds(), 3);
        std::vector<std::string> expected;
        for (int i = 0; i < 1500; ++i)
            expected.push_back(addressOf(i));
        QVERIFY(w.listed() == expected);
        QCOMPARE(w.list.selection()->column1, QStringLiteral("10.1.0.1"));
    }

    // Refills gathered within the interval still come once it has passed, with no scan's end.
    void waitingRefillComesAfterTheInterval() {
        Window w(DeliveryPacing{20ms});
        QVERIFY(sendFromThread([&] { w.addBurst(0, 1); }));
        QTRY_COMPARE(w.list.itemCount(), 1);
        QVERIFY(sendFromThread([&] { w.addBurst(1, 300); }));
        QTRY_COMPARE(w.list.itemCount(), 300);
        QCOMPARE(w.rebuilds(), 2);
    }

    // Thumbnail messages do not wait for the window either, and arrive in order on its thread;
    // on the window's own thread a command runs at once.
    void thumbnailsArePostedInOrder() {
        Window w(DeliveryPacing{});
        QVERIFY(sendFromThread([&] {
            w.observer.thumbnailReady(2, 5);
            w.observer.thumbnailReady(1, 7);
        }));
        QVERIFY(w.thumbnails.empty());
        QTRY_COMPARE(w.thumbnails.size(), std::size_t{2});
        QCOMPARE(w.thumbnails, (std::vector<std::pair<std::size_t, uint32_t>>{{2, 5}, {1, 7}}));
        w.observer.inventoryCommand(ID_STATUS_UPDATE);
        QCOMPARE(w.commands, std::vector<int>{ID_STATUS_UPDATE});
    }
};

QTEST_MAIN(InventoryObserverTest)
#include "InventoryObserverTest.moc"
