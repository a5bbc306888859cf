#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <functional>

#include "core/discovery/InventoryObserver.h"

namespace lm::gui {

// How often gathered refills reach the window, and the clock that says when (tests set both).
struct DeliveryPacing {
    using Clock = std::chrono::steady_clock;
    std::chrono::milliseconds interval{100};
    std::function<Clock::time_point()> now = [] { return Clock::now(); };
};

// Carries the inventory's window commands and thumbnail messages from the scan and fetch threads
// to handlers on the thread of `context` without making the sender wait: a scan that waited for
// every rebuild would read its replies too slowly and lose them. Calls made on that thread run
// directly.
//
// From other threads, refills and status updates are gathered and delivered at most once per
// interval (measured from the end of the last delivery), so a burst of a thousand added devices
// costs a few rebuilds; a prune, which ends a scan, is delivered at once together with whatever
// waits, the prune first. Thumbnail messages are posted one by one, in order.
class GuiInventoryObserver : public InventoryObserver {
public:
    using CommandHandler = std::function<void(InventoryCommand)>;
    using ThumbnailHandler = std::function<void(std::size_t recordIndex, uint32_t imageIndex)>;
    using Pacing = DeliveryPacing;

    // Constructed on the thread of `context`, and destroyed on it.
    GuiInventoryObserver(QObject* context, CommandHandler onCommand, ThumbnailHandler onThumbnail,
                         Pacing pacing = {});

    void inventoryCommand(InventoryCommand command) override;
    void thumbnailReady(std::size_t recordIndex, uint32_t imageIndex) override;

private:
    bool onContextThread() const;
    void post(std::function<void()> handler);
    // On the context's thread: delivers what waits now, or when the interval has passed.
    void wake();
    void deliverWaiting();

    QPointer<QObject> context_;
    CommandHandler onCommand_;
    ThumbnailHandler onThumbnail_;
    Pacing pacing_;
    // Receives the posted calls: they are dropped with the observer, and skipped once the context is gone.
    QObject receiver_;
    std::atomic<unsigned> waiting_{0};  // one bit per command
    std::atomic<bool> wakePosted_{false};
    QTimer timer_;
    DeliveryPacing::Clock::time_point lastDelivery_{};
    bool delivered_ = false;
};

}  // namespace lm::gui
