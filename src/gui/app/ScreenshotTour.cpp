#include "gui/app/ScreenshotTour.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <algorithm>
#include <cstdio>
#include <memory>

#include "core/ProgramVersion.h"
#include "core/diag/ActivityReport.h"
#include "core/discovery/ModelTable.h"
#include "core/ops/WorkerTask.h"
#include "gui/Commands.h"
#include "gui/app/CAboutDlg.h"
#include "gui/app/CLmToolsDlg.h"
#include "gui/app/MainMenuBar.h"
#include "gui/diag/Report.h"
#include "gui/diag/SiteReport.h"
#include "gui/discovery/DeviceListModel.h"
#include "gui/discovery/EnterIP.h"
#include "gui/ops/AssignAddresses.h"
#include "gui/ops/BatchWindow.h"
#include "gui/ops/EraseConfig.h"
#include "gui/ops/Login.h"
#include "gui/ops/Reboot.h"
#include "gui/ops/RomUpgrade.h"
#include "gui/wizard/SetupWizard.h"
#include "gui/wizard/WizardPageTable.h"

namespace lm::gui {

namespace {

struct ViewShot {
    int command;
    const char* name;
};
constexpr ViewShot kViews[] = {
    {kThumbnails, "thumbnails"}, {kDetails, "details"}, {kIcons, "icons"}, {kList, "list"}, {kTiles, "tiles"},
};

// The dialogs, each shot once its status line shows the end of its work, on the device whose
// shell shows "# " (the production test on every device).
struct DialogShot {
    int command;
    const char* name;
    const char* doneText;
    int statusId = OperationDialog::kStatusLine;
};
constexpr DialogShot kDialogs[] = {
    {kSetTime, "set-time", "Time is set."},
    {kSystemLog, "system-log", "Log read and displayed."},
    {kDebugLog, "debug-log", "Log read and displayed."},
    {kActivityReport, "report", "Report Complete.", static_cast<int>(ReportControl::Comments)},
    {kViewAllDevices, "production", "Report Complete."},  // as with Shift held
    {kSiteReport, "site-report", "Press Write to choose the file.",
     static_cast<int>(SiteReportControl::Status)},
};
constexpr const char* kDialogDevice = "127.0.0.14";
constexpr qint64 kMaxDialogWaitMs = 60000;

// Pictures that have not come by then are shown as they are: the tour still ends.
constexpr qint64 kMaxWaitMs = 60000;
// Lets the list lay out and paint a view before it is grabbed.
constexpr int kSettleMs = 400;
// The upgrade picture: an image big enough to be caught mid transfer, shot at 40% of the bar.
constexpr qsizetype kImageBytes = 2000000;
constexpr int kShotPercent = 40;
constexpr int kDialogPollMs = 50;
constexpr int kDialogPolls = 100;
constexpr int kUpgradeLimitMs = 60000;
// The batch window's picture: an upgrade of these devices.
const QLatin1String kBatchDevices[] = {QLatin1String("127.0.0.10"), QLatin1String("127.0.0.11"),
                                       QLatin1String("127.0.0.13")};

// A file name that the device's model accepts as its firmware.
QString imageName(const QString& deviceId) {
    QString name =
        QString::fromStdString(firmwareFamily(ModelTable::codeFromId(deviceId.toStdString())).expectedPrefix);
    if (!name.endsWith(QLatin1Char('-'))) name += QLatin1Char('-');
    return name + QStringLiteral("2.4.1.bin");
}

}  // namespace

ScreenshotTour::ScreenshotTour(CLmToolsDlg& window, QString directory, std::size_t expectedDevices)
    : QObject(&window), window_(window), directory_(std::move(directory)), expectedDevices_(expectedDevices) {
    poll_.setInterval(200);
    connect(&poll_, &QTimer::timeout, this, &ScreenshotTour::poll);
}

void ScreenshotTour::start() {
    waited_.start();
    poll_.start();
}

bool ScreenshotTour::devicesReady() const {
    if (window_.scanRunning()) return false;
    const auto records = window_.inventory().snapshot();
    if (records.size() < expectedDevices_) return false;
    for (const DeviceRecord& record : records)
        if (record.imageIndex == 0 || record.thumbnailFetch) return false;
    return true;
}

void ScreenshotTour::poll() {
    const bool late = waited_.elapsed() > kMaxWaitMs;
    if (!devicesReady() && !late) return;
    poll_.stop();
    if (late) std::fprintf(stderr, "lmtools: not every device showed its picture in time\n");
    showView(0);
}

void ScreenshotTour::showView(std::size_t step) {
    if (step == std::size(kViews)) {
        showLargeDetails();
        showDialog(0);
        return;
    }
    window_.runCommand(kViews[step].command);
    QTimer::singleShot(kSettleMs, this, [this, step] {
        save(window_, QStringLiteral("view-%1.png").arg(kViews[step].name));
        showView(step + 1);
    });
}

void ScreenshotTour::save(QWidget& widget, const QString& name) {
    save(widget.grab(), name);
}

void ScreenshotTour::save(const QPixmap& picture, const QString& name) {
    const QString path = QDir(directory_).filePath(name);
    if (picture.save(path)) {
        std::fprintf(stderr, "lmtools: wrote %s\n", qPrintable(path));
    } else {
        std::fprintf(stderr, "lmtools: cannot write %s\n", qPrintable(path));
        succeeded_ = false;
    }
}

void ScreenshotTour::showUpgrade() {
    // The first device of the list, selected as a click would.
    for (QAbstractItemView* view : window_.list().findChildren<QAbstractItemView*>()) {
        if (!view->isVisible()) continue;
        for (int row = 0; row < view->model()->rowCount(); ++row) {
            const QModelIndex index = view->model()->index(row, 0);
            if (index.data(DeviceListModel::HeaderRole).toBool()) continue;
            view->setCurrentIndex(index);
            break;
        }
    }
    if (!window_.list().selection()) {
        std::fprintf(stderr, "lmtools: no device to show the upgrade on\n");
        succeeded_ = false;
        return;
    }
    // The dialog runs modally inside the command; it is driven from the timers of its own loop.
    QTimer::singleShot(0, this, [this] { driveUpgrade(0); });
    window_.runCommand(kUpgradeFirmware);
}

void ScreenshotTour::driveUpgrade(int attempt) {
    auto* dialog = qobject_cast<RomUpgrade*>(QApplication::activeModalWidget());
    if (dialog == nullptr) {
        if (attempt < kDialogPolls)
            QTimer::singleShot(kDialogPollMs, this, [this, attempt] { driveUpgrade(attempt + 1); });
        return;  // the command found nothing to open: showUpgrade has said so
    }
    const QString path = scratch_.filePath(imageName(window_.list().selection()->id));
    QFile image(path);
    if (!image.open(QIODevice::WriteOnly) || image.write(QByteArray(kImageBytes, '\x5a')) != kImageBytes) {
        std::fprintf(stderr, "lmtools: cannot write %s\n", qPrintable(path));
        succeeded_ = false;
        dialog->reject();
        return;
    }
    image.close();

    // Any message box here means the upgrade ended before the picture: say what it said.
    auto shot = std::make_shared<bool>(false);
    dialog->setMessageBoxHandler(
        [this, shot](QWidget*, const QString& text, const QString& title, Question::Icon, Choices) {
            if (!*shot) {
                std::fprintf(stderr, "lmtools: the upgrade ended early: %s: %s\n", qPrintable(title),
                             qPrintable(text));
                succeeded_ = false;
            }
            return Answer::Ok;
        });
    auto* bar = dialog->findChild<QProgressBar*>();
    connect(bar, &QProgressBar::valueChanged, dialog, [this, dialog, bar, shot](int value) {
        if (*shot || value * 100 < bar->maximum() * kShotPercent) return;
        *shot = true;
        save(*dialog, QStringLiteral("upgrade.png"));
        QTimer::singleShot(0, dialog, &QDialog::reject);  // stops the transfer
    });
    QTimer::singleShot(kUpgradeLimitMs, dialog, [this, dialog, shot] {
        if (*shot) return;
        std::fprintf(stderr, "lmtools: the upgrade did not get under way in time\n");
        succeeded_ = false;
        dialog->reject();
    });
    qobject_cast<QLineEdit*>(dialog->control(RomUpgrade::Id::RomFile))->setText(path);
    qobject_cast<QLineEdit*>(dialog->control(RomUpgrade::kPasswordField))->setText(QStringLiteral("vorna"));
    qobject_cast<QPushButton*>(dialog->control(RomUpgrade::Id::Upgrade))->click();
}

void ScreenshotTour::showFolderUpgrade() {
    if (!selectDevice(QString::fromLatin1(kDialogDevice))) {
        std::fprintf(stderr, "lmtools: %s is not in the list\n", kDialogDevice);
        succeeded_ = false;
        return;
    }
    // A firmware folder beside the device's own version: two newer images, one of another model and
    // a file that is no image.
    const QDir folder(scratch_.filePath(QStringLiteral("firmware")));
    const QString prefix = imageName(window_.list().selection()->id).remove(QStringLiteral("2.4.1.bin"));
    QStringList names{QStringLiteral("zelvix-5206e-4.3.0.bin"), QStringLiteral("notes.txt")};
    for (const char* version : {"4.1.7", "4.2.1", "4.10.0"})
        names << prefix + QLatin1String(version) + QStringLiteral(".bin");
    for (const QString& name : names) {
        QFile file(folder.filePath(name));
        if (!QDir().mkpath(folder.path()) || !file.open(QIODevice::WriteOnly) ||
            file.write("firmware") != 8) {
            std::fprintf(stderr, "lmtools: cannot write %s\n", qPrintable(file.fileName()));
            succeeded_ = false;
            return;
        }
    }
    QTimer::singleShot(0, this, [this, folder] { driveFolderUpgrade(folder.path() + QLatin1Char('/'), 0); });
    window_.runCommand(kUpgradeFirmware);
}

void ScreenshotTour::driveFolderUpgrade(const QString& folder, int attempt) {
    auto* dialog = qobject_cast<RomUpgrade*>(QApplication::activeModalWidget());
    if (dialog == nullptr) {
        if (attempt < kDialogPolls)
            QTimer::singleShot(kDialogPollMs, this,
                               [this, folder, attempt] { driveFolderUpgrade(folder, attempt + 1); });
        return;
    }
    auto* romFile = qobject_cast<QLineEdit*>(dialog->control(RomUpgrade::Id::RomFile));
    romFile->setText(folder);
    Q_EMIT romFile->editingFinished();
    auto* offer = qobject_cast<QComboBox*>(dialog->control(RomUpgrade::Id::FolderImages));
    offer->showPopup();
    QApplication::processEvents();
    QWidget* list = offer->view()->window();
    const QPixmap under = dialog->grab();
    const QPixmap drop = list->grab();
    const QPoint at = dialog->mapFromGlobal(list->mapToGlobal(QPoint(0, 0)));
    const qreal ratio = under.devicePixelRatio();
    // The open list may reach beyond the dialog, as on the screen.
    QPixmap picture(under.deviceIndependentSize().toSize().expandedTo(
                        QSize(at.x() + drop.deviceIndependentSize().toSize().width(),
                              at.y() + drop.deviceIndependentSize().toSize().height())) *
                    ratio);
    picture.setDevicePixelRatio(ratio);
    picture.fill(Qt::white);
    {
        QPainter painter(&picture);
        painter.drawPixmap(0, 0, under);
        painter.drawPixmap(at, drop);
    }
    offer->hidePopup();
    save(picture, QStringLiteral("upgrade-folder.png"));
    dialog->reject();
}

void ScreenshotTour::showBatch() {
    // The batch's devices, selected together.
    for (QAbstractItemView* view : window_.list().findChildren<QAbstractItemView*>()) {
        if (!view->isVisible()) continue;
        view->clearSelection();
        for (int row = 0; row < view->model()->rowCount(); ++row) {
            const QModelIndex index = view->model()->index(row, 0);
            if (std::find(std::begin(kBatchDevices), std::end(kBatchDevices),
                          view->model()->index(row, 1).data().toString()) != std::end(kBatchDevices))
                view->selectionModel()->select(index,
                                               QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }
    if (window_.list().selections().size() < 2) {
        std::fprintf(stderr, "lmtools: not enough devices to show the batch window on\n");
        succeeded_ = false;
        return;
    }
    QTimer::singleShot(0, this, [this] { driveBatch(0); });
    window_.runCommand(kUpgradeFirmware);
}

void ScreenshotTour::driveBatch(int attempt) {
    auto* window = qobject_cast<BatchWindow*>(QApplication::activeModalWidget());
    if (window == nullptr) {
        if (attempt < kDialogPolls)
            QTimer::singleShot(kDialogPollMs, this, [this, attempt] { driveBatch(attempt + 1); });
        return;
    }
    connect(window, &BatchWindow::batchEnded, window, [this, window] {
        QTimer::singleShot(kSettleMs, window, [this, window] {
            save(*window, QStringLiteral("batch.png"));
            window->reject();
        });
    });
    QTimer::singleShot(kUpgradeLimitMs, window, [this, window] {
        if (!window->running()) return;
        std::fprintf(stderr, "lmtools: the batch did not end in time\n");
        succeeded_ = false;
    });
    // The image fits the first device; the others want other firmware and are skipped.
    const QString path = scratch_.filePath(imageName(QStringLiteral("024C55-C00000")));
    QFile image(path);
    if (!image.open(QIODevice::WriteOnly) ||
        image.write(QByteArray(kImageBytes / 10, '\x5a')) != kImageBytes / 10) {
        std::fprintf(stderr, "lmtools: cannot write %s\n", qPrintable(path));
        succeeded_ = false;
        window->reject();
        return;
    }
    image.close();
    qobject_cast<QLineEdit*>(window->control(BatchWindow::Id::RomFile))->setText(path);
    qobject_cast<QLineEdit*>(window->control(BatchWindow::Id::Password))->setText(QStringLiteral("vorna"));
    qobject_cast<QPushButton*>(window->control(BatchWindow::Id::Start))->click();
}

bool ScreenshotTour::runToEnd(BatchWindow& window, const QString& name) {
    window.show();
    QEventLoop done;
    connect(&window, &BatchWindow::batchEnded, &done, &QEventLoop::quit);
    QTimer::singleShot(kUpgradeLimitMs, &done, &QEventLoop::quit);
    qobject_cast<QPushButton*>(window.control(BatchWindow::Id::Start))->click();
    if (window.running()) done.exec();
    if (window.running()) {
        std::fprintf(stderr, "lmtools: the %s batch did not end in time\n", qPrintable(name));
        succeeded_ = false;
        return false;
    }
    QEventLoop settle;
    QTimer::singleShot(kSettleMs, &settle, &QEventLoop::quit);
    settle.exec();
    save(window, name);
    window.close();
    return true;
}

void ScreenshotTour::showSiteWindows() {
    std::vector<BatchDevice> devices;
    for (const DeviceRecord& record : window_.inventory().snapshot())
        devices.push_back({record.hostPart(), record.id, record.deviceType});
    const QString path = scratch_.filePath(QStringLiteral("site.json"));
    BatchWindow backup(window_.session(), BatchWindow::Operation::Backup, devices, &window_);
    backup.setSiteFile(path);
    if (!runToEnd(backup, QStringLiteral("backup-settings.png"))) return;

    SiteFile site;
    if (const std::string problem = readSiteFile(path.toStdString(), site);
        !problem.empty() || site.devices.empty()) {
        std::fprintf(stderr, "lmtools: the backup wrote no usable file: %s\n", problem.c_str());
        succeeded_ = false;
        return;
    }
    site.devices.front().settings["hostname"] = "lobby";
    std::vector<RestorePlanRow> plan = planRestore(site, {}, devices, kProgramVersion);
    std::vector<BatchDevice> targets;
    for (const RestorePlanRow& row : plan)
        targets.push_back(row.target);
    BatchWindow restore(window_.session(), BatchWindow::Operation::Restore, targets, &window_);
    restore.setRestorePlan(std::move(plan));
    qobject_cast<QCheckBox*>(restore.control(BatchWindow::Id::CompareOnly))->setChecked(true);
    runToEnd(restore, QStringLiteral("restore-settings.png"));
}

void ScreenshotTour::showAssignAddresses() {
    std::vector<BatchDevice> devices;
    for (const DeviceRecord& record : window_.inventory().snapshot())
        devices.push_back({record.hostPart(), record.id, record.deviceType});
    devices.resize(std::min<std::size_t>(devices.size(), 3));
    AssignAddresses dialog(window_.session().profile(), devices, &window_);
    dialog.setMessageBoxHandler(
        [this](QWidget*, const QString& text, const QString&, Question::Icon, Choices) {
            std::fprintf(stderr, "lmtools: the address plan was refused: %s\n", qPrintable(text));
            succeeded_ = false;
            return Answer::Ok;
        });
    for (const auto& [id, text] : {std::pair{AssignAddresses::Id::FirstAddress, "127.0.0.50"},
                                   {AssignAddresses::Id::LastAddress, "127.0.0.59"},
                                   {AssignAddresses::Id::Gateway, "127.0.0.1"},
                                   {AssignAddresses::Id::HostnamePattern, "cam-{n:02}"}})
        qobject_cast<QLineEdit*>(dialog.control(id))->setText(QString::fromLatin1(text));
    dialog.show();
    QEventLoop settle;
    QTimer::singleShot(kSettleMs, &settle, &QEventLoop::quit);
    settle.exec();
    save(dialog, QStringLiteral("assign-addresses.png"));
    dialog.accept();
    if (dialog.result() != QDialog::Accepted) return;
    std::vector<BatchDevice> planned;
    for (const PlannedAddress& row : dialog.plan())
        planned.push_back(row.device);
    BatchWindow window(window_.session(), BatchWindow::Operation::AssignAddresses, planned, &window_);
    window.setAddressPlan(dialog.plan());
    qobject_cast<QCheckBox*>(window.control(BatchWindow::Id::AcceptWarnings))->setChecked(true);
    runToEnd(window, QStringLiteral("assign-batch.png"));
}

void ScreenshotTour::showForms() {
    CAboutDlg about(&window_);
    EnterIP entry(&window_);
    // Shown, never started: the session only has to exist.
    Session idle(NetworkProfile{}, Timing::fast());
    const QString address = QString::fromLatin1(kDialogDevice);
    Reboot reboot(idle, nullptr, address, {}, &window_);
    EraseConfig erase(idle, nullptr, address, {}, &window_);
    Login login(QStringLiteral("tried"), QStringLiteral("Lumetra Camera"), &window_);
    for (const auto& [form, name] : {std::pair<QDialog*, const char*>{&about, "about"},
                                     {&entry, "add-device"},
                                     {&reboot, "reboot"},
                                     {&erase, "erase"},
                                     {&login, "password"}}) {
        form->show();
        QEventLoop settle;
        QTimer::singleShot(kSettleMs, &settle, &QEventLoop::quit);
        settle.exec();
        save(*form, QStringLiteral("dialog-%1.png").arg(QLatin1String(name)));
        form->close();
    }
}

void ScreenshotTour::showWizardPages() {
    for (const PageLayout& table : wizardPages()) {
        // Each page as the first of a wizard of its own: as it looks when first shown.
        const std::unique_ptr<SetupWizard> wizard = window_.openSetupWizard();
        wizard->setStartId(table.page);
        wizard->show();
        QEventLoop settle;
        QTimer::singleShot(kSettleMs, &settle, &QEventLoop::quit);
        settle.exec();
        save(*wizard, QStringLiteral("wizard-%1.png").arg(table.page));
    }
}

void ScreenshotTour::showMenus() {
    const std::unique_ptr<QMenu> menu(window_.list().buildContextMenu());
    menu->adjustSize();
    save(*menu, QStringLiteral("menu.png"));
    for (QAction* action : menu->actions()) {
        if (!action->menu()) continue;
        const QString name = action->text() == QLatin1String("Advanced") ? QStringLiteral("menu-advanced.png")
                             : action->objectName() == QStringLiteral("id%1").arg(kNetworkInterface)
                                 ? QStringLiteral("menu-network-interface.png")
                                 : QString();
        if (name.isEmpty()) continue;
        action->menu()->adjustSize();
        save(*action->menu(), name);
    }
}

void ScreenshotTour::showLargeDetails() {
    const QRect normal = window_.geometry();
    window_.runCommand(kDetails);
    if (const QScreen* screen = window_.screen()) window_.setGeometry(screen->availableGeometry());
    QEventLoop settle;
    QTimer::singleShot(kSettleMs, &settle, &QEventLoop::quit);
    settle.exec();
    save(window_, QStringLiteral("view-details-large.png"));
    window_.setGeometry(normal);
}

void ScreenshotTour::showMenuBar() {
    MainMenuBar& bar = window_.menuBar();
    bar.refresh();
    for (QAction* title : bar.actions()) {
        QMenu* menu = title->menu();
        if (menu == nullptr) continue;
        menu->adjustSize();
        const QPixmap under = window_.grab();
        const QPixmap drop = menu->grab();
        const QPoint at = bar.mapTo(&window_, bar.actionGeometry(title).bottomLeft());
        const qreal ratio = under.devicePixelRatio();
        const QSize size = (under.deviceIndependentSize().toSize())
                               .expandedTo(QSize(at.x() + drop.deviceIndependentSize().toSize().width(),
                                                 at.y() + drop.deviceIndependentSize().toSize().height()));
        // A menu longer than the window reaches below it, as on the screen.
        QPixmap picture(size * ratio);
        picture.setDevicePixelRatio(ratio);
        picture.fill(Qt::white);
        {
            QPainter painter(&picture);
            painter.drawPixmap(0, 0, under);
            painter.drawPixmap(at, drop);
        }
        save(picture, QStringLiteral("menubar-%1.png").arg(title->text().remove(QLatin1Char('&')).toLower()));
    }
}

bool ScreenshotTour::selectDevice(const QString& address) {
    for (QAbstractItemView* view : window_.list().findChildren<QAbstractItemView*>()) {
        if (!view->isVisible()) continue;
        const QAbstractItemModel* model = view->model();
        for (int row = 0; row < model->rowCount(); ++row) {
            if (model->index(row, 1).data().toString() != address) continue;
            view->setCurrentIndex(model->index(row, 0));
            view->selectionModel()->select(model->index(row, 0),
                                           QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            return window_.list().selection().has_value();
        }
    }
    return false;
}

void ScreenshotTour::showDialog(std::size_t step) {
    if (step == std::size(kDialogs) || !selectDevice(QString::fromLatin1(kDialogDevice))) {
        if (step < std::size(kDialogs)) {
            std::fprintf(stderr, "lmtools: %s is not in the list\n", kDialogDevice);
            succeeded_ = false;
        } else {
            showUpgrade();
            showFolderUpgrade();
            showBatch();
            showSiteWindows();
            showWizardPages();
            showForms();
            showMenus();
            showMenuBar();
            showAssignAddresses();
        }
        window_.close();
        return;
    }
    // The dialog runs modally inside runCommand: it is watched, shot and closed from this timer.
    auto* watch = new QTimer(this);
    auto* waited = new QElapsedTimer;
    waited->start();
    connect(watch, &QTimer::timeout, this, [this, watch, waited, step] {
        auto* dialog = QApplication::activeModalWidget();
        const auto* status =
            dialog ? dialog->findChild<QWidget*>(QStringLiteral("id%1").arg(kDialogs[step].statusId))
                   : nullptr;
        const bool done =
            status && status->property("text").toString() == QLatin1String(kDialogs[step].doneText);
        if (!dialog || (!done && waited->elapsed() < kMaxDialogWaitMs)) return;
        watch->stop();
        delete waited;
        QTimer::singleShot(kSettleMs, dialog, [this, dialog, step] {
            save(*dialog, QStringLiteral("dialog-%1.png").arg(kDialogs[step].name));
            dialog->close();
        });
    });
    watch->start(100);
    if (kDialogs[step].command == kViewAllDevices)
        window_.openProductionTest();
    else
        window_.runCommand(kDialogs[step].command);
    watch->deleteLater();
    QTimer::singleShot(0, this, [this, step] { showDialog(step + 1); });
}

}  // namespace lm::gui
