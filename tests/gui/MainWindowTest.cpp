#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>
#include <algorithm>
#include <fstream>

#include "ChildById.h"
#include "LayoutCheck.h"
#include "PlacementRecord.h"
#include "core/discovery/DiscoveryScan.h"
#include "core/link/Session.h"
#include "core/wizard/WizardPages.h"
#include "devsim/Simulator.h"
#include "gui/app/CAboutDlg.h"
#include "gui/app/CLmToolsDlg.h"
#include "gui/app/Desktop.h"
#include "gui/app/DialogUnits.h"
#include "gui/app/MainMenuBar.h"
#include "gui/app/ManualViewer.h"
#include "gui/app/ViewSettingsStore.h"
#include "gui/diag/Production.h"
#include "gui/discovery/DeviceListModel.h"
#include "gui/discovery/EnterIP.h"
#include "gui/ops/BatchWindow.h"
#include "gui/ops/OperationDialog.h"
#include "gui/ops/Reboot.h"
#include "gui/wizard/SetupWizard.h"
#include "gui/wizard/WizardPageTable.h"

using namespace lm;
using namespace lm::gui;

namespace {

// Records what the window asks of the desktop instead of doing it.
class RecordingDesktop : public Desktop {
public:
    void openUrl(const QUrl& url) override { urls << url; }
    QString startTelnet(const QString& host, uint16_t port) override {
        telnets << host + " " + QString::number(port);
        return telnetFailure;
    }
    void information(QWidget*, const QString& title, const QString& text) override {
        messages << QStringList{title, text};
    }
    void warning(QWidget* parent, const QString& title, const QString& text) override {
        information(parent, title, text);
    }
    QString saveFileName(QWidget*, const QString&, const QString&, QString* selectedFilter) override {
        *selectedFilter = saveFilter;
        return saveAs;
    }
    QString openFileName(QWidget*, const QString&, const QString&) override { return openAs; }
    bool shiftHeld() const override { return shift; }
    int availableScreenWidth() const override { return 1700; }

    bool idle() const { return urls.isEmpty() && telnets.isEmpty() && messages.isEmpty(); }

    QList<QUrl> urls;
    QStringList telnets;  // "host port"
    QString telnetFailure;
    QList<QStringList> messages;
    bool shift = false;
    QString saveAs, saveFilter;
    QString openAs;
};

// Runs `act` on the next modal dialog of type T once it is up.
template <typename T, typename F>
void onModal(F act) {
    QTimer::singleShot(0, [act] {
        auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
        QVERIFY2(dialog, "the expected dialog did not open");
        act(dialog);
    });
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        // The all-devices page goes to the user's cache: here, the test's own folder.
        qputenv("XDG_CACHE_HOME", QFile::encodeName(dir_.filePath(QStringLiteral("cache"))));
        emptyArp_ = dir_.filePath(QStringLiteral("empty-arp")).toStdString();
        std::ofstream(emptyArp_)
            << "IP address       HW type     Flags       HW address            Mask     Device\n";

        sim::SimulatorConfig config;
        config.devices = sim::demoDevices(3, *parseIpv4("127.0.77.11"));
        simulator_ = std::make_unique<sim::Simulator>(std::move(config));
        std::string error;
        QVERIFY2(simulator_->start(&error), error.c_str());
        devicesArp_ = dir_.filePath(QStringLiteral("devices-arp")).toStdString();
        QVERIFY(simulator_->writeArpTable(devicesArp_, &error));
        for (const auto& device : simulator_->devices())
            addresses_ << QString::fromStdString(dotted(device.address));
    }

    void cleanupTestCase() { simulator_->stop(); }

    void init() { settingsPath_ = dir_.filePath(QStringLiteral("settings-%1.ini").arg(++runs_)); }

    // Every scan and picture fetch the window started has ended before it goes.
    void cleanup() {
        if (!window_) return;
        QTRY_VERIFY_WITH_TIMEOUT(!window_->scanRunning(), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(fetchesDone(), 20000);
        // A dialog closed at once may leave its worker talking to the device a while.
        QTRY_VERIFY_WITH_TIMEOUT(!session_->busy(), 20000);
        window_.reset();
        settings_.reset();
        session_.reset();
    }

    // A manual entry through the dialog; Cancel adds nothing. No device command acts without a
    // selection; with one, the entry's port goes to the browser, while telnet and the operations,
    // the Reboot, Erase Configuration and Upgrade Firmware dialogs among them, get the host alone.
    void manualEntryAndTheDeviceCommands() {
        open(quietProfile());
        const QString host = addresses_[0];
        const QString port = QString::number(simulator_->httpPort());
        for (const int button : {1, 2}) {
            onModal<EnterIP>([host, port, button](EnterIP* dialog) {
                QTest::keyClicks(child<QLineEdit>(*dialog, 1190), host);
                auto* portField = child<QLineEdit>(*dialog, 1086);
                portField->clear();
                QTest::keyClicks(portField, port);
                QTest::mouseClick(child<QPushButton>(*dialog, button), Qt::LeftButton);
            });
            window_->runCommand(1043);
        }
        const QString address = host + ":" + port;
        QCOMPARE(window_->inventory().count(), std::size_t{1});
        QCOMPARE(window_->inventory().at(0)->id, std::string("Device  1"));
        QCOMPARE(window_->inventory().at(0)->address, address.toStdString());
        QTRY_COMPARE(child<QLabel>(*window_, 1044)->text(), QStringLiteral("1 device found."));

        auto* viewButton = child<QPushButton>(*window_, 1009);
        auto* configureButton = child<QPushButton>(*window_, 1002);
        QVERIFY(!viewButton->isEnabled());
        QVERIFY(!configureButton->isEnabled());
        for (const int id : {1009, 1002, 1318, 1319, 1186, 1320, 1194, 1321, 1322, 1234})
            window_->runCommand(id);
        QVERIFY(desktop_.idle());

        QVERIFY(select(address));
        QTest::mouseClick(viewButton, Qt::LeftButton);
        QTest::mouseClick(configureButton, Qt::LeftButton);
        std::unique_ptr<QMenu> menu(window_->list().buildContextMenu());
        child<QAction>(*menu, 1318)->trigger();
        QCOMPARE(desktop_.urls,
                 (QList<QUrl>{QUrl("http://" + address), QUrl("http://" + address + "/admin.cgi")}));
        QCOMPARE(desktop_.telnets, QStringList{host + " 23"});
        QVERIFY(desktop_.messages.isEmpty());
        QStringList opened;
        std::vector<std::shared_ptr<OperationState>> workers;
        for (const int id : {1234, 1322, 1321, 1186, 1320, 1194, 1319}) {
            onModal<OperationDialog>([&opened, &workers](OperationDialog* dialog) {
                opened << dialog->windowTitle() + QLatin1Char('|') + dialog->deviceAddress();
                workers.push_back(dialog->state());
                dialog->reject();
            });
            window_->runCommand(id);
        }
        QCOMPARE(opened,
                 (QStringList{"Reboot |" + host, "Erase Configuration Files|" + host, "Set Time|" + host,
                              "System Log for " + host + "|" + host, "Debug Log for " + host + "|" + host,
                              "Upgrade Firmware|" + host, "Activity Summary Report|" + host}));
        // The Setup Wizard's list comes with the entry chosen, although the wizard is given no port.
        // It opens once the dialogs' workers have let go of the device: a worker of a window closed
        // at once may take the session only after that window has gone.
        const auto done = [&workers] {
            return std::none_of(workers.begin(), workers.end(),
                                [](const auto& state) { return state->running.load(); });
        };
        QTRY_VERIFY_WITH_TIMEOUT(done() && !session_->busy(), 20000);
        QString chosen;
        onModal<SetupWizard>([&chosen](SetupWizard* wizard) {
            wizard->next();
            auto* list =
                child<QTableWidget>(*wizard->currentPage(), controlId(wizard::Field::DeviceListView));
            for (const QModelIndex& row : list->selectionModel()->selectedRows())
                chosen = list->item(row.row(), 1)->text();
            wizard->reject();
        });
        window_->runCommand(1052);
        QCOMPARE(chosen, address);
        // The picture comes through the entry's own port.
        QTRY_VERIFY(window_->inventory().at(0)->imageIndex != 0);
    }

    // The stored view is applied, clamped (each value's rules are the store's tests'); a placement
    // from a screen that is no longer there brings the window back onto this one.
    void storedSettingsAreClampedAndPlacedOnScreen() {
        {
            QSettings stored(settingsPath_, QSettings::IniFormat);
            stored.setValue("viewType", 9);
            stored.setValue("viewPreview", 1);
            stored.setValue("WindowPlacement",
                            placementRecord({44, 0, 1, -1, -1, -1, -1, -9000, -9000, -8300, -8400}));
        }
        open(quietProfile());
        QCOMPARE(window_->list().view(), int(ViewSettings::Tiles));
        QCOMPARE(window_->size(), QSize(700, 600));
        QVERIFY(QGuiApplication::primaryScreen()->availableGeometry().contains(
            window_->frameGeometry().topLeft()));
        // "Preview Image" is checked, but only Details view offers it.
        QVERIFY(child<QCheckBox>(*window_, 1317)->isChecked());
        QVERIFY(!child<QCheckBox>(*window_, 1317)->isEnabled());
    }

    // Escape neither closes the window nor saves; closing saves what was changed.
    void closeSavesWhatWasChanged() {
        {
            QSettings stored(settingsPath_, QSettings::IniFormat);
            stored.setValue("WindowPlacement", placementRecord({44, 0, 1, -1, -1, -1, -1, 40, 30, 840, 630}));
        }
        open(quietProfile());
        QCOMPARE(window_->geometry(), QRect(40, 30, 800, 600));
        QTest::keyClick(window_.get(), Qt::Key_Escape);
        QTest::keyClick(child<DeviceListView>(*window_, 1000), Qt::Key_Escape);
        QVERIFY(window_->isVisible());
        QVERIFY(!settings_->contains("viewType"));
        std::unique_ptr<QMenu> menu(window_->list().buildContextMenu());
        child<QAction>(*menu, 2005)->trigger();  // Icons
        child<QAction>(*menu, 2011)->trigger();  // arrange by IP Address
        QTest::mouseClick(child<QPushButton>(*window_, 1), Qt::LeftButton);
        QVERIFY(!window_->isVisible());

        QSettings stored(settingsPath_, QSettings::IniFormat);
        QCOMPARE(stored.value("viewType").toUInt(), 2u);
        QCOMPARE(stored.value("groupBy").toUInt(), 1u);
        QCOMPARE(stored.value("sortDirection").toUInt(), 1u);  // the default when first stored
        const auto placement =
            ViewSettingsStore::Placement::decode(stored.value("WindowPlacement").toByteArray());
        QVERIFY(placement);
        QCOMPARE(placement->normal, QRect(40, 30, 800, 600));
    }

    // Reboot with two devices selected: one batch window for both, the password typed once, and
    // both devices restart; no one-device dialog opens.
    void rebootOfSeveralDevicesOpensOneBatchWindow() {
        openScanned();
        QVERIFY(select(addresses_[0]));
        QAbstractItemView* view = activeView();
        for (int r = 0; r < view->model()->rowCount(); ++r)
            if (view->model()->index(r, 1).data().toString() == addresses_[1])
                QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ControlModifier,
                                  view->visualRect(view->model()->index(r, 0)).center());
        QCOMPARE(window_->list().selections().size(), std::size_t{2});
        window_->list().rebuild();  // as when a scan refills the list
        QCOMPARE(window_->list().selections().size(), std::size_t{2});
        const int before[] = {int(simulator_->counters(0).reboots), int(simulator_->counters(1).reboots)};
        QStringList rows;
        int batchWindows = 0, otherWindows = 0;
        QTimer driver;
        connect(&driver, &QTimer::timeout, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            auto* batch = qobject_cast<BatchWindow*>(modal);
            if (batch == nullptr) {
                if (modal != nullptr && !modal->property("seen").toBool()) ++otherWindows;
                if (modal != nullptr) modal->setProperty("seen", true);
                return;
            }
            if (!batch->property("seen").toBool()) {
                batch->setProperty("seen", true);
                ++batchWindows;
                QTest::keyClicks(child<QLineEdit>(*batch, BatchWindow::Id::Password),
                                 QStringLiteral("vorna"));
                QTest::mouseClick(child<QPushButton>(*batch, BatchWindow::Id::Start), Qt::LeftButton);
            } else if (!batch->running() && child<QPushButton>(*batch, BatchWindow::Id::Close)->isEnabled()) {
                for (const BatchRow& row : batch->rows())
                    rows << QString::fromStdString(row.device.host + " " + batchResultText(row));
                QTest::mouseClick(child<QPushButton>(*batch, BatchWindow::Id::Close), Qt::LeftButton);
            }
        });
        driver.start(20);
        window_->runCommand(1234);
        driver.stop();
        QCOMPARE(batchWindows, 1);
        QCOMPARE(otherWindows, 0);
        rows.sort();
        QCOMPARE(rows, (QStringList{addresses_[0] + " OK", addresses_[1] + " OK"}));
        QTRY_COMPARE_WITH_TIMEOUT(int(simulator_->counters(0).reboots), before[0] + 1, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(int(simulator_->counters(1).reboots), before[1] + 1, 10000);
        // The next tests want every device up.
        for (std::size_t i : {0, 1})
            QTRY_VERIFY_WITH_TIMEOUT(simulator_->deviceUp(i), 20000);
    }

    // The page goes to the user's cache folder, wherever the program was started.
    void viewAllDevicesWritesThePage() {
        openScanned();
        QTemporaryDir work;
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(work.path()));
        const auto restore = qScopeGuard([&previous] { QDir::setCurrent(previous); });
        const QString cache = QString::fromLocal8Bit(qgetenv("XDG_CACHE_HOME"));
        QDir(cache).removeRecursively();

        window_->runCommand(1237);
        const QString page = QDir(cache).filePath(QStringLiteral("lmtools/cameras.html"));
        QFile file(page);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(!QFileInfo::exists(QDir(work.path()).filePath(QStringLiteral("cameras.html"))));
        const QByteArray html = file.readAll();
        // The links carry the profile's port; the page's layout is the page writer's tests' concern.
        const QString port = QString::number(simulator_->httpPort());
        QVERIFY(html.contains(("\"http://" + addresses_[0] + ":" + port + "/admin.cgi\"").toLatin1()));
        QCOMPARE(desktop_.urls, QList<QUrl>{QUrl::fromLocalFile(page)});
        file.close();

        // The page cannot be created: the message, and nothing opened.
        QVERIFY(QFile::remove(page));
        QVERIFY(QDir(cache).mkpath(QStringLiteral("lmtools/cameras.html")));
        window_->runCommand(1237);
        QCOMPARE(desktop_.urls.size(), 1);
        QCOMPARE(desktop_.messages,
                 (QList<QStringList>{{QStringLiteral("Can't Access Page"),
                                      QStringLiteral("Unable to create the file on the desktop.")}}));

        // With Shift held the production test comes instead of the page.
        QVERIFY(QDir(cache).rmdir(QStringLiteral("lmtools/cameras.html")));
        desktop_.shift = true;
        QString opened;
        onModal<Production>([&opened](Production* dialog) {
            opened = dialog->windowTitle();
            dialog->reject();
        });
        window_->runCommand(1237);
        QVERIFY(!QFileInfo::exists(page));
        QCOMPARE(opened, QStringLiteral("Production Test Summary"));
        QCOMPARE(desktop_.messages.size(), 1);
    }

    // Every command through the menu bar: the entry at each path carries its command's id and,
    // triggered, runs that command and no other (the windows it opens are closed as they come).
    // Entries are enabled and checked exactly as in the list's menu, with and without a selection.
    void menuBarReachesEveryCommand() {
        openScanned();
        QVERIFY(menuEntry(QStringLiteral("Device/Reboot...")));
        QVERIFY(!menuEntry(QStringLiteral("Device/Reboot..."))->isEnabled());
        QCOMPARE(menuBarDiffersFromListMenu(), QString());
        QVERIFY(select(addresses_[0]));
        QVERIFY(menuEntry(QStringLiteral("Device/Reboot..."))->isEnabled());
        QCOMPARE(menuBarDiffersFromListMenu(), QString());

        const struct {
            const char* path;
            int id;
        } entries[] = {
            {"Device/View Device", kViewDevice},
            {"Device/Configure Device", kConfigureDevice},
            {"Device/Telnet", kTelnet},
            {"Device/Set Time...", kSetTime},
            {"Device/Erase Configuration...", kEraseConfiguration},
            {"Device/Upgrade Firmware...", kUpgradeFirmware},
            {"Device/Reboot...", kReboot},
            {"Device/Assign Addresses...", kAssignAddresses},
            {"Device/System Log File...", kSystemLog},
            {"Device/Debug Log File...", kDebugLog},
            {"Device/Activity Report...", kActivityReport},
            {"Device/Setup Wizard", kSetupWizard},
            {"File/Export List...", kExportList},
            {"File/Site Report...", kSiteReport},
            {"File/Add Device...", kAddDevice},
            {"File/Back Up Settings...", kBackupSettings},
            {"File/Restore Settings...", kRestoreSettings},
            {"Tools/Production Test...", kProductionTest},
            {"Tools/View All Devices (Webpage)", kViewAllDevices},
            {"Tools/Scan Range...", kScanRange},
            {"Tools/Network Interface", kNetworkInterface},
            {"View/Thumbnails", kThumbnails},
            {"View/Tiles", kTiles},
            {"View/Icons", kIcons},
            {"View/List", kList},
            {"View/Details", kDetails},
            {"View/Preview Image", kPreviewMenu},
            {"View/Arrange Items By/Show in Groups", kShowInGroups},
            {"View/Grid", kGrid},
            {"View/Arrange Items By/ID", kArrangeById},
            {"View/Arrange Items By/IP Address", kArrangeById + 1},
            {"View/Arrange Items By/Device Type", kArrangeById + 2},
            {"View/Arrange Items By/Version", kArrangeByVersion},
            {"View/Sort By/ID", kSortById},
            {"View/Sort By/IP Address", kSortById + 1},
            {"View/Sort By/Device Type", kSortById + 2},
            {"View/Sort By/Version", kSortByVersion},
            {"View/Sort By/Descending", kSortDescending},
            {"View/Find Device...", kFindDevice},
            {"View/Refresh", kRefresh},
            {"Help/Lumetra Tools Manual", kManual},
            {"Help/About Lumetra Tools...", kAbout},
            {"File/Quit", kClose},
        };
        for (const int button : {1009, 1002, 1052, 1230, 1, 1317})
            QVERIFY2(!child<QWidget>(*window_, button)->toolTip().isEmpty(),
                     qPrintable(QString::number(button)));
        QSignalSpy started(window_.get(), &CLmToolsDlg::commandStarted);
        QTimer closer;
        connect(&closer, &QTimer::timeout, [] {
            if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
        });
        closer.start(20);
        for (const auto& [path, id] : entries) {
            QAction* action = menuEntry(QString::fromLatin1(path));
            QVERIFY2(action, path);
            QCOMPARE(action->objectName(), QStringLiteral("id%1").arg(id));
            QVERIFY2(!action->toolTip().isEmpty() && action->toolTip() != action->text(), path);
            if (action->menu()) continue;  // a submenu: its entries are the interfaces
            QVERIFY2(action->isEnabled(), path);
            started.clear();
            action->trigger();
            QCOMPARE(started.size(), 1);
            QCOMPARE(started.first().first().toInt(), id);
        }
        QVERIFY(!window_->isVisible());
        // The commands acted: the view, the sorting and the find bar are as the entries left them.
        QCOMPARE(window_->viewSettings().viewType, int(ViewSettings::Details));
        QCOMPARE(window_->viewSettings().sortBy, 3);
        QCOMPARE(window_->viewSettings().groupBy, 3);
        QVERIFY(!window_->viewSettings().showGroups);
        QVERIFY(!window_->findField().isHidden());
        QCOMPARE(desktop_.telnets.size(), 1);
    }

    // F5, Ctrl+F, F1 and Ctrl+Q reach their commands from anywhere in the window; Enter on the list
    // opens the device's page.
    void shortcutsReachTheirCommands() {
        openScanned();
        window_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
        QVERIFY(select(addresses_[1]));
        QSignalSpy started(window_.get(), &CLmToolsDlg::commandStarted);
        QTimer closer;
        connect(&closer, &QTimer::timeout, [] {
            if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
        });
        closer.start(20);
        const struct {
            QKeySequence keys;
            int id;
        } cases[] = {
            {QKeySequence(Qt::Key_F5), kRefresh},         {QKeySequence(Qt::CTRL | Qt::Key_F), kFindDevice},
            {QKeySequence(Qt::Key_F1), kManual},          {QKeySequence(Qt::Key_Return), kViewDevice},
            {QKeySequence(Qt::CTRL | Qt::Key_Q), kClose},
        };
        for (const auto& [keys, id] : cases) {
            QTRY_VERIFY_WITH_TIMEOUT(!window_->scanRunning(), 20000);
            // A window closed before gives the activation back only when asked.
            window_->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(window_.get()));
            started.clear();
            activeView()->setFocus();
            QTest::keySequence(activeView(), keys);
            QVERIFY2(started.size() == 1, qPrintable(keys.toString()));
            QCOMPARE(started.first().first().toInt(), id);
        }
        QCOMPARE(desktop_.urls.size(), 1);
        QVERIFY(!window_->isVisible());
    }

    // Ctrl+F finds devices as the user types, by ID, address or type, and Enter goes on to the next
    // one that matches; text no device holds is said in the status bar, and Esc closes the bar.
    void findBarFindsByIdAddressOrType() {
        openScanned();
        window_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
        QLineEdit& find = window_->findField();
        QVERIFY(find.isHidden());
        QTest::keySequence(window_.get(), QKeySequence(Qt::CTRL | Qt::Key_F));
        QVERIFY(find.isVisible() && find.hasFocus());

        const auto records = window_->inventory().snapshot();
        const auto typed = [&find](const QString& text) {
            find.clear();
            QTest::keyClicks(&find, text);
        };
        typed(addresses_[2]);
        QCOMPARE(window_->list().selection()->column1, addresses_[2]);
        typed(QString::fromStdString(records[0].id).toLower());
        QCOMPARE(window_->list().selection()->id, QString::fromStdString(records[0].id));
        typed(QString::fromStdString(records[1].deviceType).toUpper());
        QCOMPARE(window_->list().selection()->id.toStdString(), [&] {
            for (const auto& record : records)
                if (record.deviceType == records[1].deviceType) return record.id;
            return std::string();
        }());

        // Every device's address starts alike: Enter visits each once, then comes round again.
        typed(addresses_[0].left(addresses_[0].lastIndexOf('.') + 1));
        QSet<QString> visited;
        for (int i = 0; i < 3; ++i) {
            QTest::keyClick(&find, Qt::Key_Return);
            visited.insert(window_->list().selection()->column1);
        }
        QCOMPARE(visited.size(), 3);
        QVERIFY(desktop_.urls.isEmpty());  // Enter in the bar never opens a device

        const QString before = window_->list().selection()->column1;
        typed(QStringLiteral("no such device"));
        QCOMPARE(window_->list().selection()->column1, before);
        QVERIFY(window_->findChild<QLabel*>(QStringLiteral("statusLine"))->text().contains("no such device"));
        QTest::keyClick(&find, Qt::Key_Escape);
        QVERIFY(find.isHidden());
        QVERIFY(window_->isVisible());
        QVERIFY(
            window_->findChild<QLabel*>(QStringLiteral("statusLine"))->text().startsWith("3 devices listed"));
    }

    // The Details view's columns are never narrower than what they show, "Unknown (ARP)" included,
    // and the last one reaches the list's right edge, at the smallest size and at large ones.
    void detailsColumnsFitTheirContents() {
        open(quietProfile());
        QTRY_VERIFY_WITH_TIMEOUT(!window_->scanRunning(), 20000);
        window_->runCommand(kDetails);
        // An empty list has nothing to find, whichever way the search goes round.
        QVERIFY(!window_->list().findDevice(QStringLiteral("024C55"), true));
        QVERIFY(!window_->list().findDevice(QStringLiteral("024C55"), false));
        // A device that answers the picture's fetch, as the ARP pass lists one.
        window_->inventory().add("024C55-C20002", addresses_[0].toStdString(), "Lumetra C200",
                                 "Unknown (ARP)");
        QTRY_COMPARE(window_->list().itemCount(), 1);
        auto* tree = window_->list().findChild<QTreeView*>(QStringLiteral("detailsView"));
        QVERIFY(tree);
        for (const QSize size : {window_->minimumSize(), QSize(800, 600), QSize(1600, 1000)}) {
            window_->resize(size);
            QApplication::processEvents();
            const QString at = QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
            const int margins =
                2 * (tree->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, tree) + 1);
            const QFontMetrics metrics(tree->font());
            const char* texts[] = {"024C55-C20002", "127.0.77.11", "Lumetra C200", "Unknown (ARP)"};
            for (int c = 0; c < 4; ++c)
                QVERIFY2(tree->header()->sectionSize(c) >= metrics.horizontalAdvance(texts[c]) + margins,
                         qPrintable(at + " column " + QString::number(c)));
            // Where everything fits, the columns fill the list exactly: no scroll bar, no gap.
            if (size.width() >= 800) QCOMPARE(tree->header()->length(), tree->viewport()->width());
        }
        QTRY_VERIFY(fetchesDone());
    }

    // File > Back Up Settings... reads every listed device in the batch window and writes the file;
    // Restore Settings... opens that file with a row per saved device, and says why a file cannot be used.
    void backUpAndRestoreSettingsFromTheFileMenu() {
        openScanned();
        QTemporaryDir work;
        desktop_.saveAs = work.filePath(QStringLiteral("site.json"));
        onModal<BatchWindow>([](BatchWindow* batch) {
            QCOMPARE(batch->windowTitle(), QStringLiteral("Back Up Settings"));
            QCOMPARE(child<QTreeWidget>(*batch, BatchWindow::Id::Devices)->topLevelItemCount(), 3);
            QObject::connect(batch, &BatchWindow::batchEnded, batch, &QDialog::accept);
            child<QPushButton>(*batch, BatchWindow::Id::Start)->click();
        });
        window_->runCommand(kBackupSettings);
        SiteFile site;
        QCOMPARE(QString::fromStdString(readSiteFile(desktop_.saveAs.toStdString(), site)), QString());
        QCOMPARE(site.devices.size(), std::size_t{3});

        desktop_.openAs = desktop_.saveAs;
        onModal<BatchWindow>([](BatchWindow* batch) {
            QCOMPARE(batch->windowTitle(), QStringLiteral("Restore Settings"));
            QCOMPARE(child<QTreeWidget>(*batch, BatchWindow::Id::Devices)->topLevelItemCount(), 3);
            QVERIFY(!batch->running());
            batch->reject();
        });
        window_->runCommand(kRestoreSettings);
        QVERIFY(desktop_.messages.isEmpty());
        desktop_.openAs = work.filePath(QStringLiteral("missing.json"));
        window_->runCommand(kRestoreSettings);
        QCOMPARE(desktop_.messages.size(), 1);
        QCOMPARE(desktop_.messages[0][1], desktop_.openAs + QStringLiteral(": cannot be read"));
    }

    // "Export List..." in the list's menu writes one CSV row per listed device, or JSON when asked;
    // a file that cannot be written is reported.
    void exportListWritesTheListedDevices() {
        openScanned();
        std::unique_ptr<QMenu> menu(window_->list().buildContextMenu());
        auto* item = menu->findChild<QAction*>(QStringLiteral("id1326"));
        QVERIFY(item && item->isEnabled() && item->text() == QStringLiteral("Export List..."));
        QTemporaryDir work;
        desktop_.saveAs = work.filePath(QStringLiteral("devices"));
        desktop_.saveFilter = QStringLiteral("CSV (*.csv)");
        item->trigger();
        // The rows' form is the list file's own tests' concern.
        const QStringList rows = QString::fromUtf8(readAll(desktop_.saveAs)).split(QStringLiteral("\r\n"));
        QCOMPARE(rows.size(), 1 + 3 + 1);  // the header, the devices, nothing after the last line end
        desktop_.saveAs = work.filePath(QStringLiteral("devices.json"));
        window_->runCommand(1326);
        QVERIFY(readAll(desktop_.saveAs).startsWith("[\n  {\n    \"address\""));
        desktop_.saveAs = work.filePath(QStringLiteral("missing/devices.csv"));
        window_->runCommand(1326);
        QCOMPARE(desktop_.messages.size(), 1);
        QVERIFY(desktop_.messages[0][1].startsWith("The list could not be written to " + desktop_.saveAs));
    }

    // The scan lists the devices with their pictures; while it runs, the label counts them. The
    // browser and telnet reach a device at the profile's ports, as in the demo. Enter opens the selected
    // device once, whether the list or a button has the focus; a rescan leaves the selection alone.
    void scanShowsDevicesWithThumbnails() {
        NetworkProfile profile = simulatedProfile();
        profile.quietPeriod = Milliseconds(1500);  // the probe's answers, then time to see the count
        open(profile);
        auto* label = child<QLabel>(*window_, 1044);
        if (IcmpSocket::open())  // else there is no probe, and the ARP pass finds all at the end
            QTRY_COMPARE(label->text(), QStringLiteral("Scanning... 3 devices found."));
        QTRY_VERIFY_WITH_TIMEOUT(!window_->scanRunning(), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(fetchesDone(), 20000);
        QCOMPARE(label->text(), QStringLiteral("3 devices found."));
        for (const auto& record : window_->inventory().snapshot()) {
            QVERIFY(addresses_.contains(QString::fromStdString(record.address)));
            QVERIFY(record.imageIndex != 0);
        }
        QVERIFY(select(addresses_[2]));
        const QString web = "http://" + addresses_[2] + ":" + QString::number(simulator_->httpPort());
        const QUrl device(web);
        QTest::keyClick(activeView(), Qt::Key_Return);
        QCOMPARE(desktop_.urls, QList<QUrl>{device});
        std::unique_ptr<QMenu> menu(window_->list().buildContextMenu());
        desktop_.telnetFailure = QStringLiteral("no telnet client");
        child<QAction>(*menu, 1318)->trigger();
        QCOMPARE(desktop_.telnets,
                 QStringList{addresses_[2] + " " + QString::number(simulator_->telnetPort())});
        QCOMPARE(desktop_.messages, (QList<QStringList>{{QStringLiteral("Telnet"), desktop_.telnetFailure}}));
        child<QPushButton>(*window_, 1230)->setFocus();  // Enter on the focused "Refresh" presses it
        QTest::keyClick(window_.get(), Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(!window_->scanRunning(), 20000);
        QCOMPARE(desktop_.urls.size(), 1);
        QVERIFY(child<QPushButton>(*window_, 1009)->isEnabled());
        child<QCheckBox>(*window_, 1317)->setFocus();
        QTest::keyClick(child<QCheckBox>(*window_, 1317), Qt::Key_Return);
        QCOMPARE(desktop_.urls, (QList<QUrl>{device, device}));
        QTRY_VERIFY_WITH_TIMEOUT(fetchesDone(), 20000);

        window_->runCommand(2003);  // Thumbnails
        const QImage placeholder = PictureLists().large(0).toImage();
        QAbstractItemView* view = activeView();
        int pictures = 0;
        for (int r = 0; r < view->model()->rowCount(); ++r) {
            const QModelIndex index = view->model()->index(r, 0);
            if (index.data(DeviceListModel::HeaderRole).toBool()) continue;
            const QImage shown = index.data(Qt::DecorationRole).value<QPixmap>().toImage();
            QCOMPARE(shown.size(), QSize(160, 120));
            QVERIFY(shown.convertToFormat(placeholder.format()) != placeholder);
            ++pictures;
        }
        QCOMPARE(pictures, 3);
    }

    // The "Network Interface" choice is kept in the view settings and offered checked next time;
    // "Scan Range..." refuses a bad range in the command line's words and scans a good one.
    void networkInterfaceChoiceAndScanRange() {
        NetworkProfile profile = quietProfile();
        profile.discoveryPort = simulator_->discoveryPort();
        // No device hears broadcasts on this network: only a range can find one.
        profile.interfaces = NetworkProfile::parseInterfaces("127.0.88.1/255.255.255.0,127.0.0.1/255.0.0.0");
        (*profile.interfaces)[0].name = "lmA";
        (*profile.interfaces)[1].name = "lo";
        for (const QString choice : {"lmA", ""}) {
            open(profile);
            std::unique_ptr<QMenu> menu(window_->list().buildContextMenu());
            QVERIFY2(!menu->findChild<QAction*>("interface:lo"), "the loopback host is never scanned");
            QCOMPARE(menu->findChild<QAction*>("interface:lmA")->text(), QStringLiteral("lmA (127.0.88.1)"));
            QCOMPARE(menu->findChild<QAction*>("interface:lmA")->isChecked(), choice.isEmpty());
            menu->findChild<QAction*>("interface:" + choice)->trigger();
            menu.reset();  // the window owns it too
            if (choice.isEmpty()) break;
            QTest::mouseClick(child<QPushButton>(*window_, 1), Qt::LeftButton);
            QCOMPARE(QSettings(settingsPath_, QSettings::IniFormat).value("scanInterface").toString(),
                     choice);
            cleanup();
        }
        for (const QString& ranges : {QStringLiteral("10.0.0/8"), addresses_[1] + "/32"}) {
            QTRY_VERIFY_WITH_TIMEOUT(!window_->scanRunning(), 20000);
            onModal<QInputDialog>([ranges](QInputDialog* dialog) {
                dialog->setTextValue(ranges);
                dialog->accept();
            });
            window_->runCommand(1330);
        }
        QTRY_VERIFY_WITH_TIMEOUT(!window_->scanRunning(), 20000);
        QCOMPARE(desktop_.messages,
                 (QList<QStringList>{
                     {QStringLiteral("Scan Range"), "\"10.0.0/8\" is not a range such as 192.168.5.0/24"}}));
        QCOMPARE(window_->inventory().count(), std::size_t{1});
        QCOMPARE(QString::fromStdString(window_->inventory().snapshot().at(0).address), addresses_[1]);
    }

    // The window opens at its template's size; the logo opens the maker's site; About comes from the
    // menu.
    void logoAndAboutBox() {
        QCOMPARE(CAboutDlg::versionLine(1, 2, 3, 0), QStringLiteral("Version 1.2.3"));
        QCOMPARE(CAboutDlg::versionLine(4, 0, 12, 2), QStringLiteral("Version 4.0.12 beta 2"));
        open(quietProfile());
        const DialogUnits du(*window_);  // no placement stored: the template's size, and the bars
        const int bars = window_->menuBar().height() + window_->statusBar().height();
        QVERIFY(window_->menuBar().height() > 0 && window_->statusBar().height() > 0);
        QCOMPARE(window_->size(), QSize(du.x(390), du.y(243) + bars).expandedTo(window_->minimumSize()));
        QCOMPARE(layoutProblem(*window_), QString());
        QTest::mouseClick(child<QLabel>(*window_, 1221), Qt::LeftButton);
        QCOMPARE(desktop_.urls, QList<QUrl>{QUrl(QString::fromLatin1(CLmToolsDlg::kMakerSite))});
        bool seen = false;
        onModal<CAboutDlg>([&seen](CAboutDlg* about) {
            seen = true;
            about->accept();
        });
        std::unique_ptr<QMenu> menu(window_->list().buildContextMenu());
        child<QAction>(*menu, 1325)->trigger();
        QVERIFY(seen);
        // The manual the Help menu shows is this build's README.
        QVERIFY(ManualViewer::text().contains(QStringLiteral("## The desktop program")));
    }

    // The window keeps the wizard's settings: a second wizard starts from what the first left,
    // and the session's link choice is the one the wizard's pages make.
    void setupWizardKeepsItsSettingsBetweenRuns() {
        open(quietProfile());
        {
            const std::unique_ptr<SetupWizard> first = window_->openSetupWizard();
            first->model().settings.ftpHost = "kept.example.com";
            first->model().connectionIsNetwork = false;
        }
        QVERIFY(!session_->connectionIsNetwork());
        const std::unique_ptr<SetupWizard> second = window_->openSetupWizard();
        QCOMPARE(second->model().settings.ftpHost, std::string("kept.example.com"));
        QVERIFY(!second->model().connectionIsNetwork);
    }

    // A scan that could read only the ARP table says so, and how to grant the capability, once.
    void arpOnlyScanIsNotedOnce() {
        open(quietProfile());
        QTRY_VERIFY_WITH_TIMEOUT(!window_->scanRunning(), 20000);
        const ScanStats blind;  // no ICMP socket, so no probe
        window_->scanFinished(blind);
        window_->scanFinished(blind);
        window_->scanFinished(std::nullopt);  // a thread that found a scan running
        QCOMPARE(desktop_.messages.size(), 1);
        QVERIFY(desktop_.messages[0][1].contains("only the ARP table was read"));
        QVERIFY(desktop_.messages[0][1].contains("sudo setcap cap_net_raw+ep \"$(command -v lmtools)\""));
    }

    // The launcher names what is missing, the terminal emulator first; with both it runs the
    // terminal with telnet, the host and a port other than 23, each one argument.
    void telnetLaunchNamesWhatIsMissing() {
        QTemporaryDir bin;
        const QByteArray path = qgetenv("PATH");
        const auto restore = qScopeGuard([&path] { qputenv("PATH", path); });
        qputenv("PATH", QFile::encodeName(bin.path()));
        const QString arguments = bin.filePath(QStringLiteral("arguments"));
        const auto program = [&bin](const char* name, const QString& script) {
            QFile file(bin.filePath(QString::fromLatin1(name)));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(("#!/bin/sh\n" + script).toUtf8());
            file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        };
        Desktop desktop;
        QVERIFY(desktop.startTelnet(QStringLiteral("10.0.0.5"), 23).contains("(x-terminal-emulator)"));
        program("x-terminal-emulator", "printf '%s\\n' \"$@\" >'" + arguments + "'\n");
        QVERIFY(desktop.startTelnet(QStringLiteral("10.0.0.5"), 23).contains("(telnet)"));
        program("telnet", QString());
        QCOMPARE(desktop.startTelnet(QStringLiteral("10.0.0.5 x"), 2323), QString());
        QTRY_COMPARE(readAll(arguments), QByteArray("-e\ntelnet\n10.0.0.5 x\n2323\n"));
    }

private:
    NetworkProfile quietProfile() const {
        NetworkProfile profile;
        profile.interfaces = std::vector<InterfaceRow>{};
        profile.arpTablePath = emptyArp_;
        profile.quietPeriod = Milliseconds(50);
        profile.httpPort = simulator_->httpPort();
        return profile;
    }

    NetworkProfile simulatedProfile() const {
        NetworkProfile profile;
        profile.interfaces = NetworkProfile::parseInterfaces("127.0.0.254/255.0.0.0");
        profile.arpTablePath = devicesArp_;
        profile.quietPeriod = Milliseconds(300);
        profile.discoveryPort = simulator_->discoveryPort();
        profile.httpPort = simulator_->httpPort();
        profile.telnetPort = simulator_->telnetPort();
        return profile;
    }

    void open(NetworkProfile profile) {
        session_ = std::make_unique<Session>(std::move(profile));
        settings_ = std::make_unique<QSettings>(settingsPath_, QSettings::IniFormat);
        desktop_ = RecordingDesktop();
        window_ = std::make_unique<CLmToolsDlg>(*session_, *settings_, desktop_);
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    }

    // The window on the simulated devices, once its first scan has listed all three.
    void openScanned() {
        open(simulatedProfile());
        QTRY_COMPARE(window_->list().itemCount(), 3);
        QTRY_VERIFY_WITH_TIMEOUT(!window_->scanRunning(), 20000);
    }

    static QByteArray readAll(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    bool fetchesDone() const {
        for (const auto& record : window_->inventory().snapshot())
            if (record.thumbnailFetch) return false;
        return true;
    }

    // The menu bar's entry at "Menu/Entry" or "Menu/Submenu/Entry", by texts without mnemonics
    // and shortcut names.
    QAction* menuEntry(const QString& path) const {
        QList<QAction*> actions = window_->menuBar().actions();
        QAction* found = nullptr;
        for (const QString& part : path.split(QLatin1Char('/'))) {
            found = nullptr;
            for (QAction* action : actions)
                if (action->text().section(QLatin1Char('\t'), 0, 0).remove(QLatin1Char('&')) == part)
                    found = action;
            if (!found) return nullptr;
            actions = found->menu() ? found->menu()->actions() : QList<QAction*>{};
        }
        return found;
    }

    // The first command whose entry in the menu bar is enabled or checked otherwise than in the
    // list's menu; empty when none.
    QString menuBarDiffersFromListMenu() const {
        std::unique_ptr<QMenu> menu(window_->list().buildContextMenu());
        int compared = 0;
        for (QAction* item : menu->findChildren<QAction*>()) {
            if (!item->property("controlId").isValid()) continue;
            QAction* entry = window_->menuBar().findChild<QAction*>(item->objectName());
            if (!entry) continue;  // "About Lumetra Tools..." is the Help menu's own
            ++compared;
            if (entry->isEnabled() != item->isEnabled() || entry->isChecked() != item->isChecked())
                return item->objectName();
        }
        return compared >= 20 ? QString() : QStringLiteral("only %1 entries compared").arg(compared);
    }

    QAbstractItemView* activeView() const {
        for (auto* view : window_->list().findChildren<QAbstractItemView*>())
            if (view->isVisible()) return view;
        return nullptr;
    }

    // Clicks the list item whose address column reads `address`.
    bool select(const QString& address) {
        QAbstractItemView* view = activeView();
        if (!view) return false;
        const QAbstractItemModel* model = view->model();
        for (int r = 0; r < model->rowCount(); ++r) {
            const QModelIndex index = model->index(r, 0);
            if (index.data(DeviceListModel::HeaderRole).toBool()) continue;
            if (model->index(r, 1).data().toString() != address) continue;
            view->scrollTo(index);
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
            const auto selection = window_->list().selection();
            return selection && selection->column1 == address;
        }
        return false;
    }

    QTemporaryDir dir_;
    std::string emptyArp_;
    std::string devicesArp_;
    std::unique_ptr<sim::Simulator> simulator_;
    QStringList addresses_;
    QString settingsPath_;
    int runs_ = 0;

    std::unique_ptr<Session> session_;
    std::unique_ptr<QSettings> settings_;
    RecordingDesktop desktop_;
    std::unique_ptr<CLmToolsDlg> window_;
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
