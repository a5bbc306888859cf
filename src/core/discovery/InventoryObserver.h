#pragma once

#include <cstddef>
#include <cstdint>

namespace lm {

// The window commands the inventory and the scan send to the main window.
enum InventoryCommand : int {
    ID_LIST_REFILL = 1025,    // rebuild the list from the inventory
    ID_STATUS_UPDATE = 1027,  // show the device count; enable the commands that need a selection
    ID_PRUNE_UNSEEN = 1028,   // call pruneUnseen
};

// The thumbnail message: record index and image index.
inline constexpr unsigned WM_THUMBNAIL_READY = 0x8000;

// How the inventory reaches its window. A window may handle a call later and may gather refills,
// but in the order sent, a prune before the refill after it. The inventory lock is never held
// during a call, so a handler may read the inventory.
class InventoryObserver {
public:
    virtual ~InventoryObserver() = default;
    virtual void inventoryCommand(InventoryCommand command) = 0;
    virtual void thumbnailReady(std::size_t recordIndex, uint32_t imageIndex) = 0;
};

}  // namespace lm
