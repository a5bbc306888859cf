#include "gui/app/GuiInventoryObserver.h"

#include <QMetaObject>
#include <QThread>

namespace lm::gui {

GuiInventoryObserver::GuiInventoryObserver(QObject* context, CommandHandler onCommand,
                                           ThumbnailHandler onThumbnail)
    : context_(context), onCommand_(std::move(onCommand)), onThumbnail_(std::move(onThumbnail)) {}

void GuiInventoryObserver::inventoryCommand(InventoryCommand command) {
    deliver([this, command] { onCommand_(command); });
}

void GuiInventoryObserver::thumbnailReady(std::size_t recordIndex, uint32_t imageIndex) {
    deliver([this, recordIndex, imageIndex] { onThumbnail_(recordIndex, imageIndex); });
}

void GuiInventoryObserver::deliver(const std::function<void()>& handler) {
    QObject* context = context_.data();
    if (!context) return;
    // A blocking queued call from the context's own thread would wait for itself.
    if (QThread::currentThread() == context->thread())
        handler();
    else
        QMetaObject::invokeMethod(context, handler, Qt::BlockingQueuedConnection);
}

}  // namespace lm::gui
