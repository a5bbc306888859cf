#include "gui/app/CLmToolsDlg.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QGuiApplication>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QStyle>
#include <QTime>
#include <span>
#include <system_error>
#include <thread>

#include "core/ProgramVersion.h"
#include "core/discovery/DevicesPage.h"
#include "core/discovery/DiscoveryScan.h"
#include "core/discovery/ManualEntry.h"
#include "core/discovery/ThumbnailFetcher.h"
#include "core/link/Session.h"
#include "core/ops/WorkerTask.h"
#include "gui/CommandTips.h"
#include "gui/Commands.h"
#include "gui/app/BrandArt.h"
#include "gui/app/CAboutDlg.h"
#include "gui/app/Desktop.h"
#include "gui/app/DialogControls.h"
#include "gui/app/MainMenuBar.h"
#include "gui/app/ManualViewer.h"
#include "gui/app/ViewSettingsStore.h"
#include "gui/diag/Production.h"
#include "gui/diag/Report.h"
#include "gui/diag/SiteReport.h"
#include "gui/discovery/EnterIP.h"
#include "gui/discovery/ListExport.h"
#include "gui/discovery/ThumbnailDecoder.h"
#include "gui/ops/AssignAddresses.h"
#include "gui/ops/BatchWindow.h"
#include "gui/ops/DebugFile.h"
#include "gui/ops/EraseConfig.h"
#include "gui/ops/FixTime.h"
#include "gui/ops/Reboot.h"
#include "gui/ops/RomUpgrade.h"
#include "gui/wizard/SetupWizard.h"

namespace lm::gui {

namespace {

using C = CLmToolsDlg::Control;
using K = ControlKind;

// The template, in dialog units.
constexpr DialogRect kClient{0, 0, 390, 243};
constexpr QSize kMinimumSize(500, 430);
// clang-format off
constexpr DialogControl kControls[] = {
    {K::Label, C::None, "Highlight the device you wish to configure:", {85, 5, 137, 8}, kFitText},
    {K::Custom, C::List, nullptr, {85, 18, 300, 209}},
    {K::Label, C::DeviceCount, nullptr, {85, 230, 127, 8}},
    {K::CheckBox, C::PreviewBox, "&Preview Image", {322, 230, 63, 10}},
    {K::Picture, C::Logo, nullptr, {0, 0, 81, 154}},
    {K::Button, C::ViewDevice, "&View Device", {3, 158, 75, 14}, kDefaultButton},
    {K::Button, C::ConfigureDevice, "&Configure Device", {3, 175, 75, 14}},
    {K::Button, C::SetupWizard, "&Setup Wizard", {3, 192, 75, 14}},
    {K::Button, C::Refresh, "&Refresh", {3, 209, 75, 14}},
    {K::Button, C::Close, "Close", {3, 226, 75, 14}},
};
// clang-format on
constexpr C kButtons[] = {C::ViewDevice, C::ConfigureDevice, C::SetupWizard, C::Refresh, C::Close};

}  // namespace

CLmToolsDlg::CLmToolsDlg(Session& session, QSettings& settings, Desktop& desktop, QWidget* parent)
    : QDialog(parent), session_(session), settings_(settings), desktop_(desktop) {
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                   Qt::WindowCloseButtonHint);
    icon_ = BrandArt::windowIcon();
    setWindowIcon(icon_);
    setWindowTitle(QStringLiteral("Lumetra Tools"));

    buildControls();

    observer_ = std::make_unique<GuiInventoryObserver>(
        this, [this](InventoryCommand command) { handleInventoryCommand(command); },
        [this](std::size_t record, uint32_t image) { list_->thumbnailReady(record, image); });
    inventory_.setObserver(observer_.get());
    const QColor background = list_->palette().color(QPalette::Base);
    inventory_.setThumbnailStarter(makeThumbnailStarter(
        inventory_, session_.profile().httpPort,
        [&pictures = pictures_, background](std::span<const unsigned char> body) {
            return decodeThumbnail(body, pictures, background);
        },
        fetches_));
    list_->setPictureOrderListener(
        [this](std::vector<uint64_t> keys) { fetches_.setOrder(std::move(keys)); });

    // The list's own views take their sizes from its layout, which would otherwise wait until shown.
    if (list_->layout()) list_->layout()->activate();
    list_->fitColumns();
    restoreSettings();
    syncPreviewBox();
    startScan();
    updateButtons();
}

CLmToolsDlg::~CLmToolsDlg() {
    inventory_.setObserver(nullptr);
}

void CLmToolsDlg::buildControls() {
    const DialogControls controls(*this, kControls, [this](ControlRef) {
        return new DeviceListView(inventory_, pictures_, view_, this);
    });
    const DialogUnits& du = controls.units();
    const QSize client(du.x(kClient.width), du.y(kClient.height));
    resize(client);

    list_ = controls.get<DeviceListView>(C::List);
    list_->setInterfaceSource(
        [this] { return session_.profile().interfaceTable().value_or(std::vector<InterfaceRow>{}); });
    const QRect listPlace = controls.place(C::List);
    listLeft_ = listPlace.left();
    listTop_ = listPlace.top();
    listRight_ = client.width() - (listPlace.x() + listPlace.width());
    listBottom_ = client.height() - (listPlace.y() + listPlace.height());

    countLabel_ = controls.get<QLabel>(C::DeviceCount);
    labelDistance_ = client.height() - countLabel_->y();
    previewBox_ = controls.get<QCheckBox>(C::PreviewBox);

    logo_ = controls.get<QLabel>(C::Logo);
    logo_->setPixmap(BrandArt::logo(controls.place(C::Logo).size()));
    logo_->setCursor(Qt::PointingHandCursor);
    logo_->installEventFilter(this);

    viewButton_ = controls.get<QPushButton>(C::ViewDevice);
    configureButton_ = controls.get<QPushButton>(C::ConfigureDevice);
    for (const C id : kButtons) {
        auto* button = controls.get<QPushButton>(id);
        button->setToolTip(commandTip(static_cast<int>(id)));
        connect(button, &QPushButton::clicked, this, [this, id] { runCommand(static_cast<int>(id)); });
    }
    previewBox_->setToolTip(commandTip(kPreviewBox));
    addMenuAndStatusBars(client.width(), client.height());
    // Below its button column the window would cut the buttons off.
    setMinimumSize(kMinimumSize.expandedTo(
        QSize(listLeft_ + 1, controls.place(C::Close).bottom() + du.y(3) + height() - client.height())));

    connect(previewBox_, &QCheckBox::clicked, this,
            [this](bool checked) { list_->handleViewCommand(kPreviewBox, checked); });
    connect(list_, &DeviceListView::viewSettingsChanged, this, &CLmToolsDlg::syncPreviewBox);
    connect(list_, &DeviceListView::selectionChanged, this, &CLmToolsDlg::updateButtons);
    connect(list_, &DeviceListView::itemActivated, this, [this] { runCommand(kViewDevice); });
    connect(list_, &DeviceListView::contextMenuRequested, this, [this](const QPoint& where) {
        updateButtons();
        list_->showContextMenu(where);
    });
    connect(list_, &DeviceListView::command, this, &CLmToolsDlg::runCommand);
}

// The template's controls move down under the menu bar; the status bar goes under them.
void CLmToolsDlg::addMenuAndStatusBars(int clientWidth, int clientHeight) {
    const QList<QWidget*> controls = findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    menuBar_ = new MainMenuBar(
        *list_, [this](int id) { runCommand(id); }, this);
    statusBar_ = new QStatusBar(this);
    statusBar_->setSizeGripEnabled(false);
    statusLine_ = new QLabel(statusBar_);
    statusLine_->setObjectName(QStringLiteral("statusLine"));
    statusBar_->addWidget(statusLine_, 1);
    findField_ = new QLineEdit(statusBar_);
    findField_->setObjectName(QStringLiteral("findField"));
    findField_->setPlaceholderText(QStringLiteral("Find by ID, address or type"));
    findField_->setToolTip(QStringLiteral("Enter: the next device that matches; Esc: close"));
    findField_->setClearButtonEnabled(true);
    findField_->installEventFilter(this);
    findField_->hide();
    statusBar_->addPermanentWidget(findField_);
    connect(findField_, &QLineEdit::textEdited, this, [this] { findDevice(false); });

    const int above = menuBar_->sizeHint().height();
    const int below = statusBar_->sizeHint().height();
    for (QWidget* control : controls)
        control->move(control->x(), control->y() + above);
    listTop_ += above;
    listBottom_ += below;
    labelDistance_ += below;
    resize(clientWidth, clientHeight + above + below);
}

bool CLmToolsDlg::event(QEvent* event) {
    // A menu entry under the pointer says what it does in the status bar.
    if (event->type() == QEvent::StatusTip) {
        const QString tip = static_cast<QStatusTipEvent*>(event)->tip();
        if (tip.isEmpty())
            statusBar_->clearMessage();
        else
            statusBar_->showMessage(tip);
        return true;
    }
    return QDialog::event(event);
}

void CLmToolsDlg::restoreSettings() {
    std::optional<ViewSettingsStore::Placement> placement;
    if (ViewSettingsStore(settings_).load(view_, placement) && placement && placement->normal.isValid()) {
        QRect place = placement->normal;
        // A record from another screen set-up must not leave the window where nobody can reach it.
        bool visible = false;
        for (const QScreen* screen : QGuiApplication::screens())
            visible = visible || screen->availableGeometry().intersects(place);
        if (!visible && QGuiApplication::primaryScreen())
            place.moveTopLeft(QGuiApplication::primaryScreen()->availableGeometry().topLeft());
        setGeometry(place);
        if (placement->maximized()) setWindowState(windowState() | Qt::WindowMaximized);
    }
    list_->setView(view_.viewType);
}

void CLmToolsDlg::saveSettings() {
    ViewSettingsStore::Placement placement;
    placement.showState = isMaximized()   ? ViewSettingsStore::Placement::kShowMaximized
                          : isMinimized() ? ViewSettingsStore::Placement::kShowMinimized
                                          : ViewSettingsStore::Placement::kShowNormal;
    placement.normal = normalGeometry().isValid() ? normalGeometry() : geometry();
    ViewSettings saved = view_;
    saved.viewType = list_->view();
    ViewSettingsStore(settings_).save(saved, placement);
}

void CLmToolsDlg::finish() {
    if (finished_) return;
    finished_ = true;
    saveSettings();
    QDialog::done(QDialog::Accepted);
}

void CLmToolsDlg::closeEvent(QCloseEvent* event) {
    finish();
    event->accept();
}

void CLmToolsDlg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    const int w = width();
    const int h = height();
    if (w == 0 || h == 0) return;
    menuBar_->setGeometry(0, 0, w, menuBar_->sizeHint().height());
    statusBar_->setGeometry(0, h - statusBar_->sizeHint().height(), w, statusBar_->sizeHint().height());
    list_->setGeometry(listLeft_, listTop_, w - listRight_ - listLeft_, h - listBottom_ - listTop_);
    countLabel_->move(listLeft_, h - labelDistance_);
    previewBox_->move(w - listRight_ - previewBox_->width(), h - labelDistance_);
}

void CLmToolsDlg::keyPressEvent(QKeyEvent* event) {
    // Enter on a list item has already opened it (the list reports it as activated); the dialog
    // must not press the default button a second time.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && list_->isAncestorOf(focusWidget()) && list_->selection()) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool CLmToolsDlg::eventFilter(QObject* watched, QEvent* event) {
    // Esc closes the find bar, Enter finds the next device; neither reaches the window's buttons.
    if (watched == findField_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Escape) {
            findField_->hide();
            list_->setFocus();
            showStatusLine();
            return true;
        }
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            findDevice(true);
            return true;
        }
    }
    if (watched == logo_ && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
        logo_->rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint())) {
        desktop_.openUrl(QUrl(QString::fromLatin1(kMakerSite)));
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void CLmToolsDlg::handleInventoryCommand(InventoryCommand command) {
    switch (command) {
        case ID_LIST_REFILL:
            list_->rebuild();
            break;
        case ID_STATUS_UPDATE:
            showDeviceCount();
            updateButtons();
            break;
        case ID_PRUNE_UNSEEN:
            // What was kept for the devices gone goes with them.
            for (const DeviceRecord& gone : inventory_.pruneUnseen()) {
                pictures_.release(gone.imageIndex);
                fetches_.drop(gone.key);
            }
            break;
    }
}

void CLmToolsDlg::updateButtons() {
    const bool selected = list_->selection().has_value();
    viewButton_->setEnabled(selected);
    configureButton_->setEnabled(selected);
    menuBar_->refresh();
    showStatusLine();
}

void CLmToolsDlg::syncPreviewBox() {
    menuBar_->refresh();
    previewBox_->setChecked(view_.previewImage);
    previewBox_->setEnabled(list_->view() == ViewSettings::Details);
}

CLmToolsDlg::Target CLmToolsDlg::targetOf(const DeviceListView::Selection& selection) const {
    const std::string address = selection.column1.toStdString();
    const std::vector<DeviceRecord> records = inventory_.snapshot();
    const std::string version =
        selection.recordIndex < records.size() ? records[selection.recordIndex].version : std::string();
    return Target{selection.id, selection.column1, QString::fromStdString(hostPart(address)),
                  QString::fromStdString(webAddress(address, session_.profile().httpPort)),
                  QString::fromStdString(version)};
}

std::optional<CLmToolsDlg::Target> CLmToolsDlg::selectedTarget() const {
    const auto selection = list_->selection();
    if (!selection) return std::nullopt;
    return targetOf(*selection);
}

std::vector<CLmToolsDlg::Target> CLmToolsDlg::selectedTargets() const {
    std::vector<Target> targets;
    for (const auto& selection : list_->selections())
        targets.push_back(targetOf(selection));
    return targets;
}

void CLmToolsDlg::runCommand(int id) {
    emit commandStarted(id);
    const std::optional<Target> target = selectedTarget();
    switch (id) {
        case kViewDevice:
            if (target) desktop_.openUrl(QUrl(QStringLiteral("http://") + target->web));
            return;
        case kConfigureDevice:
            if (target)
                desktop_.openUrl(
                    QUrl(QStringLiteral("http://") + target->web + QStringLiteral("/admin.cgi")));
            return;
        case kTelnet:
            if (target) startTelnet(target->host);
            return;
        case kSetupWizard:
            // A cancelled wizard's worker may still fill the settings the new one would show.
            if (session_.busy())
                desktop_.information(this, QStringLiteral("Setup Wizard"),
                                     QString::fromLatin1(Session::kBusyText));
            else
                setupWizardFor(target)->exec();
            return;
        case kRefresh:
            startScan();
            return;
        case kScanRange:
            scanRange();
            return;
        case kAddDevice:
            addDevice();
            return;
        case kViewAllDevices:
            viewAllDevices();
            return;
        case kExportList:
            exportList();
            return;
        case kBackupSettings:
            backUpSettings();
            return;
        case kRestoreSettings:
            restoreSiteSettings();
            return;
        case kAssignAddresses:
            assignAddresses();
            return;
        case kAbout:
            CAboutDlg(this).exec();
            return;
        case kProductionTest:
            openProductionTest();
            return;
        case kSiteReport:
            openSiteReport();
            return;
        case kManual:
            ManualViewer(this).exec();
            return;
        case kFindDevice:
            showFindBar();
            return;
        // The password prompt names the site the Setup Wizard last chose.
        case kReboot:
            if (openBatchWindow(BatchWindow::Operation::Reboot)) return;
            for (const Target& each : selectedTargets())
                Reboot(session_, &inventory_.scanInProgress, each.host, session_.siteText(), this).exec();
            return;
        case kEraseConfiguration:
            if (target)
                EraseConfig(session_, &inventory_.scanInProgress, target->host, session_.siteText(), this)
                    .exec();
            return;
        case kUpgradeFirmware:
            if (openBatchWindow(BatchWindow::Operation::Upgrade)) return;
            for (const Target& each : selectedTargets()) {
                RomUpgrade dialog(session_, &inventory_.scanInProgress, each.id, each.host,
                                  session_.siteText(), this);
                dialog.setDeviceVersion(each.version);
                dialog.exec();
            }
            return;
        case kSetTime:
            if (openBatchWindow(BatchWindow::Operation::SetTime)) return;
            for (const Target& each : selectedTargets())
                FixTime(session_, each.host, this).exec();
            return;
        case kSystemLog:
        case kDebugLog:
            if (target)
                DebugFile(session_, target->host, id == kSystemLog ? lm::kSystemLog : lm::kDebugLog, this)
                    .exec();
            return;
        case kActivityReport:
            if (target) Report(session_, target->id, target->host, this).exec();
            return;
        case kClose:
            finish();
            return;
    }
    list_->handleViewCommand(id);
}

bool CLmToolsDlg::openBatchWindow(BatchWindow::Operation operation) {
    const std::vector<Target> targets = selectedTargets();
    if (targets.size() < 2) return false;
    std::vector<BatchDevice> devices;
    for (const Target& each : targets)
        devices.push_back({each.host.toStdString(), each.id.toStdString(), {}});
    BatchWindow(session_, operation, std::move(devices), this).exec();
    return true;
}

void CLmToolsDlg::startScan(std::vector<Ipv4> targets) {
    ScanScope scope;
    if (!view_.scanInterface.empty()) scope.interfaces = {view_.scanInterface};
    scope.targets = std::move(targets);
    ++scanThreads_;
    try {
        std::thread([this, scope = std::move(scope)] {
            const std::optional<ScanStats> stats =
                DiscoveryScan(inventory_, session_.profile(), scope).scanThread();
            // The window outlives its scan threads; the GUI thread takes the result when it is free.
            QMetaObject::invokeMethod(
                this,
                [this, stats] {
                    --scanThreads_;
                    scanFinished(stats);
                },
                Qt::QueuedConnection);
        }).detach();
    } catch (const std::system_error&) {
        --scanThreads_;  // no thread, no scan: the list stays as it is
    }
    showDeviceCount();
}

void CLmToolsDlg::scanRange() {
    const QString title = QStringLiteral("Scan Range");
    bool ok = false;
    const QString text = QInputDialog::getText(
        this, title, QStringLiteral("Ranges to scan, such as 192.168.5.0/24 (several separated by spaces):"),
        QLineEdit::Normal, QString(), &ok);
    if (!ok) return;
    std::vector<std::string> ranges;
    for (const QString& range : text.split(QRegularExpression(QStringLiteral("[\\s,]+")), Qt::SkipEmptyParts))
        ranges.push_back(range.toStdString());
    if (ranges.empty()) return;
    auto addresses = rangeAddresses(ranges);
    if (!addresses.problem.empty()) {
        desktop_.warning(this, title, QString::fromStdString(addresses.problem));
        return;
    }
    // A scan that is running would swallow this one without a word.
    if (scanRunning()) {
        desktop_.information(
            this, title, QStringLiteral("A scan is still running. Scan the range again once it has ended."));
        return;
    }
    ScanScope scope;
    scope.targets = std::move(addresses.addresses);
    if (const QString note = QString::fromStdString(longScanNote(scope)); !note.isEmpty())
        desktop_.information(this, title, note.left(1).toUpper() + note.mid(1));
    startScan(std::move(scope.targets));
}

void CLmToolsDlg::scanFinished(const std::optional<ScanStats>& stats) {
    if (!scanRunning()) lastScanEnd_ = QTime::currentTime().toString(QStringLiteral("HH:mm:ss"));
    showDeviceCount();
    // Once per window: every later scan would be just as blind.
    if (stats && !stats->probeSent && !arpOnlyNoted_ && !finished_) {
        arpOnlyNoted_ = true;
        desktop_.information(
            this, windowTitle(),
            QStringLiteral("No ICMP socket could be opened, so no probe was sent and only the ARP table was "
                           "read: devices this PC has not talked to lately are not listed.\n\n"
                           "Grant the right to open one, then press Refresh:\n"
                           "sudo setcap cap_net_raw+ep \"$(command -v lmtools)\""));
    }
}

void CLmToolsDlg::showDeviceCount() {
    const std::size_t count = inventory_.count();
    countLabel_->setText(
        QString::fromStdString(scanRunning() ? scanningCountLabel(count) : deviceCountLabel(count)));
    showStatusLine();
}

void CLmToolsDlg::showStatusLine() {
    if (!statusLine_) return;
    const int listed = list_->itemCount();
    const auto selected = list_->selections().size();
    QString line =
        listed == 1 ? QStringLiteral("1 device listed") : QStringLiteral("%1 devices listed").arg(listed);
    line += QStringLiteral(", %1 selected. ").arg(selected);
    if (scanRunning())
        line += QStringLiteral("Scanning...");
    else if (!lastScanEnd_.isEmpty())
        line += QStringLiteral("Last scan ended at %1.").arg(lastScanEnd_);
    statusLine_->setText(line);
}

void CLmToolsDlg::showFindBar() {
    findField_->show();
    findField_->setFocus();
    findField_->selectAll();
}

void CLmToolsDlg::findDevice(bool next) {
    const QString search = findField_->text().trimmed();
    if (search.isEmpty()) return;
    if (list_->findDevice(search, next))
        showStatusLine();
    else
        statusLine_->setText(
            QStringLiteral("No listed device has \"%1\" in its ID, address or type.").arg(search));
}

void CLmToolsDlg::startTelnet(const QString& host) {
    const QString failure = desktop_.startTelnet(host, session_.profile().telnetPort);
    if (!failure.isEmpty()) desktop_.warning(this, QStringLiteral("Telnet"), failure);
}

void CLmToolsDlg::addDevice() {
    EnterIP entry(this);
    if (entry.exec() != QDialog::Accepted) return;
    addManualDevice(inventory_, entry.address().toStdString());
}

void CLmToolsDlg::viewAllDevices() {
    if (desktop_.shiftHeld()) {
        openProductionTest();
        return;
    }
    const QStyle* s = style();
    const int usable = desktop_.availableScreenWidth() - 2 * s->pixelMetric(QStyle::PM_DefaultFrameWidth) -
                       s->pixelMetric(QStyle::PM_ScrollBarExtent);
    const std::vector<DeviceRecord> records = inventory_.snapshot();
    const std::string text =
        devicesPageText(records, devicesPageCellsPerRow(usable, records.size()), session_.profile().httpPort);
    // A page of the moment, kept with the user's cached files rather than wherever the program started.
    const QDir folder(QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
                      QStringLiteral("/lmtools"));
    const QString page = folder.absoluteFilePath(QString::fromLatin1(kPageFile));
    if (!folder.mkpath(QStringLiteral(".")) ||
        !writeDevicesPage(QFile::encodeName(page).toStdString(), text)) {
        desktop_.information(this, QStringLiteral("Can't Access Page"),
                             QStringLiteral("Unable to create the file on the desktop."));
        return;
    }
    desktop_.openUrl(QUrl::fromLocalFile(page));
}

void CLmToolsDlg::exportList() {
    const QString title = QStringLiteral("Export List");
    QString filter;
    const QString path =
        desktop_.saveFileName(this, title, QString::fromLatin1(ListExport::kFilters), &filter);
    if (path.isEmpty()) return;
    const QString failure =
        ListExport::write(path, ListExport::wantsJson(path, filter), inventory_.snapshot());
    if (!failure.isEmpty())
        desktop_.warning(this, title,
                         QStringLiteral("The list could not be written to %1:\n%2").arg(path, failure));
}

std::vector<BatchDevice> CLmToolsDlg::listedDevices() const {
    std::vector<BatchDevice> devices;
    for (const DeviceRecord& record : inventory_.snapshot())
        devices.push_back({record.hostPart(), record.id, record.deviceType});
    return devices;
}

void CLmToolsDlg::backUpSettings() {
    QString filter;
    const QString path = desktop_.saveFileName(this, QStringLiteral("Back Up Settings"),
                                               QStringLiteral("Settings (*.json)"), &filter);
    if (path.isEmpty()) return;
    BatchWindow window(session_, BatchWindow::Operation::Backup, listedDevices(), this);
    window.setSiteFile(path);
    window.exec();
}

void CLmToolsDlg::restoreSiteSettings() {
    const QString title = QStringLiteral("Restore Settings");
    const QString path =
        desktop_.openFileName(this, title, QStringLiteral("Settings (*.json);;All files (*)"));
    if (path.isEmpty()) return;
    SiteFile site;
    if (const std::string problem = readSiteFile(path.toStdString(), site); !problem.empty()) {
        desktop_.warning(this, title, QString::fromStdString(problem));
        return;
    }
    // Every saved device onto the listed device of its ID.
    std::vector<RestorePlanRow> plan = planRestore(site, {}, listedDevices(), kProgramVersion);
    std::vector<BatchDevice> devices;
    for (const RestorePlanRow& row : plan)
        devices.push_back(row.target);
    BatchWindow window(session_, BatchWindow::Operation::Restore, std::move(devices), this);
    window.setRestorePlan(std::move(plan));
    window.exec();
}

void CLmToolsDlg::assignAddresses() {
    std::vector<BatchDevice> selected;
    for (const Target& each : selectedTargets())
        selected.push_back({each.host.toStdString(), each.id.toStdString(), {}});
    if (selected.empty()) return;
    AssignAddresses dialog(session_.profile(), std::move(selected), this);
    if (dialog.exec() != QDialog::Accepted) return;
    std::vector<BatchDevice> devices;
    for (const PlannedAddress& row : dialog.plan())
        devices.push_back(row.device);
    BatchWindow window(session_, BatchWindow::Operation::AssignAddresses, std::move(devices), this);
    window.setAddressPlan(dialog.plan());
    window.exec();
    // The list still shows the old addresses: look again.
    startScan();
}

void CLmToolsDlg::openProductionTest() {
    ProductionSettings settings;
    settings.profile = session_.profile();
    settings.timing = session_.timing();
    Production(inventory_.snapshot(), settings, this).exec();
}

void CLmToolsDlg::openSiteReport() {
    SiteGatherRequest request;
    request.profile = session_.profile();
    request.timing = session_.timing();
    SiteReport(inventory_.snapshot(), request, this).exec();
}

std::unique_ptr<SetupWizard> CLmToolsDlg::setupWizardFor(const std::optional<Target>& target) {
    // The address without a port.
    const QString id = target ? target->id : QString();
    const QString address = target ? target->host : QString();
    return std::make_unique<SetupWizard>(wizard_, inventory_.snapshot(), id, address, this);
}

std::unique_ptr<SetupWizard> CLmToolsDlg::openSetupWizard() {
    return setupWizardFor(selectedTarget());
}

}  // namespace lm::gui
