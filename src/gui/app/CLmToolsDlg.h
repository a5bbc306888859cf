#pragma once

#include <QDialog>
#include <QIcon>
#include <atomic>
#include <memory>
#include <optional>

#include "core/discovery/DeviceInventory.h"
#include "core/discovery/ThumbnailFetcher.h"
#include "core/wizard/WizardSession.h"
#include "gui/Commands.h"
#include "gui/app/GuiInventoryObserver.h"
#include "gui/discovery/DeviceListView.h"
#include "gui/discovery/PictureLists.h"
#include "gui/discovery/ViewSettings.h"
#include "gui/ops/BatchWindow.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSettings;
class QStatusBar;

namespace lm {
class Session;
struct ScanStats;
}  // namespace lm

namespace lm::gui {

class Desktop;
class MainMenuBar;
class SetupWizard;

// The main window: the device list with its pictures, the buttons beside it, the view settings it
// restores and saves, and every command of the window. It owns the inventory; the scan and the
// thumbnail threads reach it through the inventory's observer and are never waited for, so the
// window must outlive them (the program leaves with std::_Exit without destroying it).
class CLmToolsDlg : public QDialog {
    Q_OBJECT
public:
    // The maker's site, opened by a click on the logo.
    static constexpr const char* kMakerSite = "http://www.lumetra.example";
    static constexpr const char* kPageFile = "cameras.html";

    // The window's controls; its buttons carry the ids of their commands.
    enum class Control {
        None = 0,
        Close = kClose,
        ConfigureDevice = kConfigureDevice,
        ViewDevice = kViewDevice,
        SetupWizard = kSetupWizard,
        Refresh = kRefresh,
        PreviewBox = kPreviewBox,
        List = 1000,
        DeviceCount = 1044,
        Logo = 1221,
    };

    // Opens the window: restores the view settings from `settings`, then
    // starts the first scan with the session's network profile.
    CLmToolsDlg(Session& session, QSettings& settings, Desktop& desktop, QWidget* parent = nullptr);
    ~CLmToolsDlg() override;

    // A command of the window by its id: buttons, the list's menu, the list's own notifications.
    void runCommand(int id);
    // Starts a scan on a thread of its own; while one runs, the new thread ends at once. The
    // device-count label reads "Scanning... " and the count until the last scan thread has reported.
    // Ranges' addresses (targets) are probed one by one besides the usual broadcasts; the chosen
    // network interface, if any, limits those.
    void startScan(std::vector<Ipv4> targets = {});
    // Whether a scan thread started here has yet to report its end.
    bool scanRunning() const { return scanThreads_ > 0; }
    // A scan thread's end, on the GUI thread: the count, and the first time a scan could only read
    // the ARP table (no ICMP socket), a message saying how to grant the capability.
    void scanFinished(const std::optional<ScanStats>& stats);

    // The production test over the devices listed now: what "View All Devices (Webpage)" opens
    // with Shift held.
    void openProductionTest();
    void openSiteReport();

    // The Setup Wizard for the selected device (or none), not yet shown.
    std::unique_ptr<SetupWizard> openSetupWizard();

    DeviceInventory& inventory() { return inventory_; }
    Session& session() { return session_; }
    DeviceListView& list() { return *list_; }
    MainMenuBar& menuBar() { return *menuBar_; }
    QStatusBar& statusBar() { return *statusBar_; }
    // The find bar's field, shown by Ctrl+F.
    QLineEdit& findField() { return *findField_; }
    const ViewSettings& viewSettings() const { return view_; }

    // The dialog's own accept and cancel do nothing: Enter reaches the default button, Esc nothing,
    // and only "Close" and the close box end the window.
    void accept() override {}
    void reject() override {}

signals:
    // A command has arrived, from whichever button, menu or key.
    void commandStarted(int id);

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The selected device as the commands need it.
    struct Target {
        QString id;       // the device's ID as listed
        QString address;  // column 1, possibly with ":port"
        QString host;     // the address without the port
        QString web;      // host and port for the browser
        QString version;  // the firmware version listed
    };

    void buildControls();
    void restoreSettings();
    void saveSettings();
    void finish();

    void handleInventoryCommand(InventoryCommand command);
    void updateButtons();
    void syncPreviewBox();
    std::optional<Target> selectedTarget() const;
    // Every selected device: reboot, set time and upgrade run on each in turn.
    std::vector<Target> selectedTargets() const;
    // With several devices selected: the batch window of operation, and true.
    bool openBatchWindow(BatchWindow::Operation operation);
    // File > Back Up Settings... and Restore Settings...: every listed device in the batch window.
    std::vector<BatchDevice> listedDevices() const;
    void backUpSettings();
    void restoreSiteSettings();
    // Device > Assign Addresses...: the plan's dialog, then the batch window working it.
    void assignAddresses();
    Target targetOf(const DeviceListView::Selection& selection) const;
    void showDeviceCount();
    // The status bar's line: how many devices are listed and selected, and the scan's state.
    void showStatusLine();
    void addMenuAndStatusBars(int clientWidth, int clientHeight);
    void showFindBar();
    void findDevice(bool next);
    void startTelnet(const QString& host);

    void addDevice();
    // Asks for CIDR ranges and scans them.
    void scanRange();
    void viewAllDevices();
    void exportList();
    std::unique_ptr<SetupWizard> setupWizardFor(const std::optional<Target>& target);

    Session& session_;
    // The Setup Wizard's settings, kept from one wizard run to the next.
    WizardSession wizard_{session_};
    QSettings& settings_;
    Desktop& desktop_;

    PictureLists pictures_;
    // The picture fetches: those waiting go where the list says the user looks.
    FetchPool fetches_{kMaxFetchThreads};
    QLabel* logo_ = nullptr;
    QLabel* countLabel_ = nullptr;
    DeviceListView* list_ = nullptr;
    QCheckBox* previewBox_ = nullptr;
    QPushButton* viewButton_ = nullptr;
    QPushButton* configureButton_ = nullptr;
    MainMenuBar* menuBar_ = nullptr;
    QStatusBar* statusBar_ = nullptr;
    QLabel* statusLine_ = nullptr;
    QLineEdit* findField_ = nullptr;
    QString lastScanEnd_;
    QIcon icon_;
    ViewSettings view_;

    // Distances measured at opening: the list from each client edge, and the label's top from the
    // client bottom.
    int listLeft_ = 0;
    int listTop_ = 0;
    int listRight_ = 0;
    int listBottom_ = 0;
    int labelDistance_ = 0;

    bool finished_ = false;
    bool arpOnlyNoted_ = false;
    std::atomic<int> scanThreads_{0};
    DeviceInventory inventory_;
    std::unique_ptr<GuiInventoryObserver> observer_;
};

}  // namespace lm::gui
