#include "gui/app/GuiInventoryObserver.h"

#include <QMetaObject>
#include <QThread>
#include <array>

namespace lm::gui {

namespace {

// The order a gathered delivery runs in: the prune before the rebuild that shows its result.
constexpr std::array<InventoryCommand, 3> kDeliveryOrder = {ID_PRUNE_UNSEEN, ID_LIST_REFILL,
                                                            ID_STATUS_UPDATE};

unsigned bitOf(InventoryCommand command) {
    for (std::size_t i = 0; i < kDeliveryOrder.size(); ++i)
        if (kDeliveryOrder[i] == command) return 1U << i;
    return 0;
}

}  // namespace

GuiInventoryObserver::GuiInventoryObserver(QObject* context, CommandHandler onCommand,
                                           ThumbnailHandler onThumbnail, Pacing pacing)
    : context_(context),
      onCommand_(std::move(onCommand)),
      onThumbnail_(std::move(onThumbnail)),
      pacing_(std::move(pacing)) {
    timer_.setSingleShot(true);
    QObject::connect(&timer_, &QTimer::timeout, [this] { deliverWaiting(); });
}

void GuiInventoryObserver::inventoryCommand(InventoryCommand command) {
    if (onContextThread()) {
        onCommand_(command);
        return;
    }
    const unsigned bit = bitOf(command);
    if (bit == 0) return;
    waiting_.fetch_or(bit);
    if (!wakePosted_.exchange(true)) post([this] { wake(); });
}

void GuiInventoryObserver::thumbnailReady(std::size_t recordIndex, uint32_t imageIndex) {
    if (onContextThread())
        onThumbnail_(recordIndex, imageIndex);
    else
        post([this, recordIndex, imageIndex] { onThumbnail_(recordIndex, imageIndex); });
}

bool GuiInventoryObserver::onContextThread() const {
    const QObject* context = context_.data();
    return context && QThread::currentThread() == context->thread();
}

void GuiInventoryObserver::post(std::function<void()> handler) {
    QMetaObject::invokeMethod(
        &receiver_,
        [this, handler = std::move(handler)] {
            if (context_) handler();
        },
        Qt::QueuedConnection);
}

void GuiInventoryObserver::wake() {
    wakePosted_ = false;
    const unsigned waiting = waiting_.load();
    if (waiting == 0) return;
    const auto since = pacing_.now() - lastDelivery_;
    if ((waiting & bitOf(ID_PRUNE_UNSEEN)) || !delivered_ || since >= pacing_.interval) {
        deliverWaiting();
    } else if (!timer_.isActive()) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(pacing_.interval - since);
        timer_.start(left);
    }
}

void GuiInventoryObserver::deliverWaiting() {
    timer_.stop();
    const unsigned waiting = waiting_.exchange(0);
    for (const InventoryCommand command : kDeliveryOrder)
        if (waiting & bitOf(command)) onCommand_(command);
    // Counted from the end, so the window has the interval to itself between deliveries.
    lastDelivery_ = pacing_.now();
    delivered_ = true;
}

}  // namespace lm::gui
