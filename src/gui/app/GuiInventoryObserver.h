#pragma once

#include <QObject>
#include <QPointer>
#include <functional>

#include "core/discovery/InventoryObserver.h"

namespace lm::gui {

// Carries the inventory's window commands and thumbnail messages from the scan and fetch threads
// to handlers on the thread of `context`, and returns only when they have run, so the sender sees
// the window as it left it. Calls made on that thread already run directly.
class GuiInventoryObserver : public InventoryObserver {
public:
    using CommandHandler = std::function<void(InventoryCommand)>;
    using ThumbnailHandler = std::function<void(std::size_t recordIndex, uint32_t imageIndex)>;

    GuiInventoryObserver(QObject* context, CommandHandler onCommand, ThumbnailHandler onThumbnail);

    void inventoryCommand(InventoryCommand command) override;
    void thumbnailReady(std::size_t recordIndex, uint32_t imageIndex) override;

private:
    void deliver(const std::function<void()>& handler);

    QPointer<QObject> context_;
    CommandHandler onCommand_;
    ThumbnailHandler onThumbnail_;
};

}  // namespace lm::gui
