#include "gui/app/MainMenuBar.h"

#include <QActionGroup>
#include <QKeySequence>
#include <map>

#include "gui/CommandTips.h"
#include "gui/Commands.h"
#include "gui/discovery/DeviceListView.h"

namespace lm::gui {

namespace {

// One entry: the menu it sits in ("Menu" or "Menu/Submenu"), its text (a tab, then a key the
// entry does not own but names), its command, its own shortcut, and the choice group it belongs to.
// A row without text is a separator.
struct MenuRow {
    const char* menu;
    const char* text;
    int command;
    const char* shortcut = nullptr;
    int group = 0;
};

constexpr int kViewGroup = 1;
constexpr int kArrangeGroup = 2;
constexpr int kSortGroup = 3;

// clang-format off
constexpr MenuRow kRows[] = {
    {"&File", "&Export List...", kExportList},
    {"&File", "&Site Report...", kSiteReport},
    {"&File", "&Add Device...", kAddDevice},
    {"&File", "&Back Up Settings...", kBackupSettings},
    {"&File", "&Restore Settings...", kRestoreSettings},
    {"&File", nullptr, 0},
    {"&File", "&Quit", kClose, "Ctrl+Q"},

    {"&Device", "&View Device\tEnter", kViewDevice},
    {"&Device", "&Configure Device", kConfigureDevice},
    {"&Device", "&Setup Wizard", kSetupWizard},
    {"&Device", "&Telnet", kTelnet},
    {"&Device", nullptr, 0},
    {"&Device", "Set T&ime...", kSetTime},
    {"&Device", "&Erase Configuration...", kEraseConfiguration},
    {"&Device", "&Upgrade Firmware...", kUpgradeFirmware},
    {"&Device", "&Reboot...", kReboot},
    {"&Device", "Assig&n Addresses...", kAssignAddresses},
    {"&Device", nullptr, 0},
    {"&Device", "S&ystem Log File...", kSystemLog},
    {"&Device", "&Debug Log File...", kDebugLog},
    {"&Device", "&Activity Report...", kActivityReport},

    {"&Tools", "&Production Test...", kProductionTest},
    {"&Tools", "View All Devices (&Webpage)", kViewAllDevices},
    {"&Tools", "&Scan Range...", kScanRange},
    {"&Tools/&Network Interface", nullptr, kNetworkInterface},

    {"Vie&w", "T&humbnails", kThumbnails, nullptr, kViewGroup},
    {"Vie&w", "T&iles", kTiles, nullptr, kViewGroup},
    {"Vie&w", "&Icons", kIcons, nullptr, kViewGroup},
    {"Vie&w", "&List", kList, nullptr, kViewGroup},
    {"Vie&w", "&Details", kDetails, nullptr, kViewGroup},
    {"Vie&w", nullptr, 0},
    {"Vie&w", "&Preview Image", kPreviewMenu},
    {"Vie&w", "&Grid", kGrid},
    {"Vie&w/&Arrange Items By", "&ID", kArrangeById, nullptr, kArrangeGroup},
    {"Vie&w/&Arrange Items By", "IP &Address", kArrangeById + 1, nullptr, kArrangeGroup},
    {"Vie&w/&Arrange Items By", "Device &Type", kArrangeById + 2, nullptr, kArrangeGroup},
    {"Vie&w/&Arrange Items By", "&Version", kArrangeByVersion, nullptr, kArrangeGroup},
    {"Vie&w/&Arrange Items By", nullptr, 0},
    {"Vie&w/&Arrange Items By", "Show in &Groups", kShowInGroups},
    {"Vie&w/&Sort By", "&ID", kSortById, nullptr, kSortGroup},
    {"Vie&w/&Sort By", "IP &Address", kSortById + 1, nullptr, kSortGroup},
    {"Vie&w/&Sort By", "Device &Type", kSortById + 2, nullptr, kSortGroup},
    {"Vie&w/&Sort By", "&Version", kSortByVersion, nullptr, kSortGroup},
    {"Vie&w/&Sort By", nullptr, 0},
    {"Vie&w/&Sort By", "&Descending", kSortDescending},
    {"Vie&w", nullptr, 0},
    {"Vie&w", "&Find Device...", kFindDevice, "Ctrl+F"},
    {"Vie&w", "&Refresh", kRefresh, "F5"},

    {"&Help", "Lumetra Tools &Manual", kManual, "F1"},
    {"&Help", nullptr, 0},
    {"&Help", "&About Lumetra Tools...", kAbout},
};
// clang-format on

}  // namespace

MainMenuBar::MainMenuBar(DeviceListView& list, Run run, QWidget* parent)
    : QMenuBar(parent), list_(list), run_(std::move(run)) {
    std::map<QString, QMenu*> menus;
    std::map<int, QActionGroup*> groups;
    const auto menuAt = [&](const QString& path) {
        QMenu*& menu = menus[path];
        if (menu) return menu;
        const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
        menu = slash < 0 ? addMenu(path) : menus.at(path.left(slash))->addMenu(path.mid(slash + 1));
        menu->setToolTipsVisible(true);
        connect(menu, &QMenu::aboutToShow, this, &MainMenuBar::refresh);
        return menu;
    };
    for (const MenuRow& row : kRows) {
        QMenu* menu = menuAt(QString::fromLatin1(row.menu));
        if (row.command == kNetworkInterface) {
            // Filled afresh each time, as the PC's interfaces come and go.
            menu->menuAction()->setObjectName(QStringLiteral("id%1").arg(kNetworkInterface));
            menu->menuAction()->setToolTip(commandTip(kNetworkInterface));
            connect(menu, &QMenu::aboutToShow, this, [this, menu] {
                menu->clear();
                list_.fillInterfaceMenu(menu);
            });
            continue;
        }
        if (row.text == nullptr) {
            menu->addSeparator();
            continue;
        }
        QAction* action = menu->addAction(QString::fromLatin1(row.text));
        const int id = row.command;
        action->setObjectName(QStringLiteral("id%1").arg(id));
        action->setProperty("controlId", id);
        action->setToolTip(commandTip(id));
        action->setStatusTip(commandTip(id));
        if (row.shortcut) action->setShortcut(QKeySequence(QString::fromLatin1(row.shortcut)));
        if (row.group) {
            QActionGroup*& group = groups[row.group];
            if (!group) group = new QActionGroup(this);
            group->addAction(action);
        }
        connect(action, &QAction::triggered, this, [this, id] { run_(id); });
    }
    refresh();
}

void MainMenuBar::refresh() {
    for (QAction* action : findChildren<QAction*>()) {
        const QVariant id = action->property("controlId");
        if (!id.isValid()) continue;
        const DeviceListView::CommandState state = list_.commandState(id.toInt());
        action->setEnabled(state.enabled);
        action->setCheckable(state.checked.has_value());
        if (state.checked) action->setChecked(*state.checked);
    }
}

}  // namespace lm::gui
