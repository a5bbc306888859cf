#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPixmap>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>
#include <cstddef>

namespace lm::gui {

class BatchWindow;
class CLmToolsDlg;

// For documentation: waits until the window shows every expected device with its picture, then
// shows each of the five views in turn and saves the window as DIR/view-<name>.png; then opens the
// dialogs that work at once (on one device; the production test on all) and saves each as
// DIR/dialog-<name>.png when it is done; saves the "Upgrade Firmware" dialog mid transfer as
// DIR/upgrade.png, the batch window after an upgrade of several devices as DIR/batch.png, then each
// page of the Setup Wizard as DIR/wizard-<page id>.png, the About and Manual IP Entry dialogs as
// DIR/dialog-about.png and DIR/dialog-add-device.png, and the list's right-click menu with its
// "Advanced" and "Network Interface" parts as DIR/menu.png, DIR/menu-advanced.png and
// DIR/menu-network-interface.png, each menu of the menu bar opened over the window as
// DIR/menubar-<menu>.png, and closes the window. The Details view is also shot with the window as
// large as the screen allows, as DIR/view-details-large.png.
class ScreenshotTour : public QObject {
    Q_OBJECT
public:
    ScreenshotTour(CLmToolsDlg& window, QString directory, std::size_t expectedDevices);

    void start();
    // False when a picture could not be written.
    bool succeeded() const { return succeeded_; }

private:
    bool devicesReady() const;
    void poll();
    void showView(std::size_t step);
    void showDialog(std::size_t step);
    bool selectDevice(const QString& address);
    void showUpgrade();
    // Fills in the upgrade dialog once it is up and starts it; saves it when the bar is well under way.
    void driveUpgrade(int attempt);
    // The upgrade dialog's offer of the images in a folder, its list open.
    void showFolderUpgrade();
    void driveFolderUpgrade(const QString& folder, int attempt);
    // An upgrade of several devices at once in the batch window, saved as DIR/batch.png when done.
    void showBatch();
    void driveBatch(int attempt);
    // Back Up Settings of every listed device, then Restore Settings comparing the file with one
    // device's host name changed: DIR/backup-settings.png and DIR/restore-settings.png.
    void showSiteWindows();
    bool runToEnd(BatchWindow& window, const QString& name);
    // Assign Addresses filled in for the first three devices, then its plan worked in the batch window:
    // DIR/assign-addresses.png and DIR/assign-batch.png.
    void showAssignAddresses();
    // "About These Tools" and "Manual IP Entry" as DIR/dialog-about.png and DIR/dialog-add-device.png.
    void showForms();
    // Every page of the Setup Wizard as DIR/wizard-<page id>.png.
    void showWizardPages();
    // The list's right-click menu and its "Advanced" submenu.
    void showMenus();
    // Each menu of the menu bar drawn open under its title, over the window.
    void showMenuBar();
    // The Details view with the window filling the screen's available area.
    void showLargeDetails();
    void save(QWidget& widget, const QString& name);
    void save(const QPixmap& picture, const QString& name);

    CLmToolsDlg& window_;
    QString directory_;
    std::size_t expectedDevices_;
    QTimer poll_;
    QElapsedTimer waited_;
    QTemporaryDir scratch_;  // the firmware image sent in the upgrade picture
    bool succeeded_ = true;
};

}  // namespace lm::gui
