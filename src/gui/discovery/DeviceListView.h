#pragma once

#include <QWidget>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "core/discovery/DeviceInventory.h"
#include "core/platform/InterfaceTable.h"
#include "gui/discovery/PictureLists.h"
#include "gui/discovery/ViewSettings.h"

class QMenu;

namespace lm::gui {

// The main window's device list: the inventory in one of five views, in groups,
// sorted by a column, rebuilt whole on every change, with its right-click menu. Runs on the GUI
// thread only.
class DeviceListView : public QWidget {
    Q_OBJECT
public:
    // The selected item's texts: column 0 (the label, which holds "\n" + address in the
    // Thumbnails, Icons and Tiles views) and column 1 (the address), and the device's ID.
    struct Selection {
        QString column0;
        QString column1;
        QString id;
        std::size_t recordIndex = 0;
    };

    DeviceListView(DeviceInventory& inventory, PictureLists& pictures, ViewSettings& settings,
                   QWidget* parent = nullptr);

    // Rebuilds the list from the inventory and the settings, keeping the selected device selected.
    void rebuild();
    // Switches view (0..4), installs the right pictures, rebuilds.
    void setView(int viewType);
    int view() const;
    // A view command (2003, 2004, 2005, 59410, 59411, 2006, 2020, 2010..2013, 2017, 2030..2034) or a
    // click on the "Preview Image" box (1317, checked says how); true when it was one of these.
    bool handleViewCommand(int command, bool checked = false);

    // Whether a command can run as the list is now, and for a choice whether it is checked: the
    // one rule for the list's menu and the window's menu bar.
    struct CommandState {
        bool enabled = true;
        std::optional<bool> checked;
    };
    CommandState commandState(int command) const;

    // Selects and shows the first device from the current one on (after it when `next`), in list
    // order and round the end, whose ID, address or type holds `search`; false when none does.
    bool findDevice(const QString& search, bool next);
    // A column header click.
    void sortByColumn(int column);
    // WM_THUMBNAIL_READY: shows picture imageIndex on the item of record recordIndex, if any.
    void thumbnailReady(std::size_t recordIndex, uint32_t imageIndex);

    // The device most commands act on: the current row when selected, else the first selected.
    std::optional<Selection> selection() const;
    // Every selected device, top to bottom.
    std::vector<Selection> selections() const;
    int itemCount() const;

    // Column widths fitted to the list's width as the main window asks at start-up; from then on
    // no column is narrower than what it shows, and the last one takes the width left over.
    void fitColumns();

    // Where the "Network Interface" menu gets the PC's interfaces from each time it is built.
    void setInterfaceSource(std::function<std::vector<InterfaceRow>()> source);

    // Told where pictures are wanted first whenever what is on screen changes (a rebuild, a scroll,
    // a resize, another view): the record keys of the items on screen top to bottom, then of those
    // near them, nearest first.
    void setPictureOrderListener(std::function<void(std::vector<uint64_t> keys)> listener);

signals:
    void selectionChanged();
    void itemActivated();  // double click or Enter on an item
    // A right click: the main window re-evaluates its buttons, then calls showContextMenu.
    void contextMenuRequested(const QPoint& globalPosition);
    // A menu command for the main window (device, operation, Refresh, Add Device..., About...).
    void command(int id);
    // A view command changed the settings: the main window brings its "Preview Image" box in line
    // (checked = previewImage, enabled exactly in Details view).
    void viewSettingsChanged();

public:
    // Builds and shows the right-click menu with every item, state and check as the list is now.
    void showContextMenu(const QPoint& globalPosition);
    // The menu as it would be shown (for tests); the caller owns it.
    QMenu* buildContextMenu();
    // Fills `menu` with "All" and the PC's interfaces to choose the scan's from.
    void fillInterfaceMenu(QMenu* menu);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    class Impl;
    Impl* impl_;
};

}  // namespace lm::gui
