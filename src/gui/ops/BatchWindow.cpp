#include "gui/ops/BatchWindow.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>

#include "core/ProgramVersion.h"
#include "core/ops/FirmwareUpgrade.h"
#include "core/wizard/SettingsApply.h"
#include "gui/ops/GuiThreadChannel.h"

namespace lm::gui {

namespace {

using K = ControlKind;
using C = BatchWindow::Id;

constexpr DialogRect kClient{0, 0, 400, 233};
// The upgrade's rows, or the restore's, take this band; the other operations move what follows up by it.
constexpr int kUpgradeBandTop = 44;
constexpr int kUpgradeBand = 46;
constexpr int kWarningsBand = 18;
constexpr int kProgressWidth = 50;
// clang-format off
constexpr DialogControl kControls[] = {
    {K::Text, C::Heading, nullptr, {7, 7, 386, 18}, kPlainText},
    {K::Label, {}, "Admin Password:", {7, 30, 70, 8}, kBuddyOfNext},
    {K::Password, C::Password, nullptr, {80, 28, 90, 13}, kFocus},
    {K::Label, {}, "ROM File:", {7, 48, 70, 8}, kBuddyOfNext},
    {K::LineEdit, C::RomFile, nullptr, {80, 46, 290, 13}},
    {K::Button, C::Browse, "...", {373, 46, 20, 13}},
    {K::CheckBox, C::EraseConfig, "Erase Old Config. Note: For version compatibility this is highly recommended!",
     {15, 63, 378, 10}, kChecked},
    {K::CheckBox, C::SaveNetwork, "Save Network Settings (requires firmware version 1.1.55 or newer)",
     {15, 75, 378, 10}},
    {K::CheckBox, C::CompareOnly, "&Compare only: show the settings that would change, write nothing",
     {15, 48, 378, 10}},
    {K::CheckBox, C::AcceptWarnings, "&Accept the warnings of the Setup Wizard's pages", {15, 62, 378, 10}},
    {K::List, C::Devices, nullptr, {7, 92, 386, 100}},
    {K::Text, C::StatusLine, "Enter password...", {7, 196, 386, 10}, kPlainText},
    {K::Button, C::Start, "&Start", {233, 212, 50, 14}, kDefaultButton},
    {K::Button, C::Stop, "S&top", {288, 212, 50, 14}, kDisabled},
    {K::Button, C::Close, "Close", {343, 212, 50, 14}},
};
// clang-format on

bool inUpgradeBand(const DialogControl& row) {
    return row.place.y >= kUpgradeBandTop && row.place.y < kUpgradeBandTop + kUpgradeBand;
}

// The room the band takes: the upgrade's and the restore's rows, or the plan's one check box.
int bandOf(BatchWindow::Operation operation) {
    switch (operation) {
        case BatchWindow::Operation::Upgrade:
        case BatchWindow::Operation::Restore:
            return kUpgradeBand;
        case BatchWindow::Operation::AssignAddresses:
            return kWarningsBand;
        default:
            return 0;
    }
}

bool ofRestore(const DialogControl& row) {
    return row.id.value == static_cast<int>(C::CompareOnly) ||
           row.id.value == static_cast<int>(C::AcceptWarnings);
}

bool inBandOf(const DialogControl& row, BatchWindow::Operation operation) {
    switch (operation) {
        case BatchWindow::Operation::Upgrade:
            return !ofRestore(row);
        case BatchWindow::Operation::Restore:
            return ofRestore(row);
        case BatchWindow::Operation::AssignAddresses:
            return row.id.value == static_cast<int>(C::AcceptWarnings);
        default:
            return false;
    }
}

// The table of one operation: the band's rows only for the operation they belong to.
std::vector<DialogControl> tableFor(BatchWindow::Operation operation) {
    std::vector<DialogControl> table;
    const int shift = kUpgradeBand - bandOf(operation);
    for (DialogControl row : kControls) {
        if (inUpgradeBand(row)) {
            if (!inBandOf(row, operation)) continue;
            if (operation == BatchWindow::Operation::AssignAddresses) row.place.y = kUpgradeBandTop + 4;
        } else if (row.place.y >= kUpgradeBandTop) {
            row.place.y -= shift;
        }
        table.push_back(row);
    }
    return table;
}

struct OperationTexts {
    const char* title;
    const char* heading;
};

OperationTexts textsOf(BatchWindow::Operation operation) {
    switch (operation) {
        case BatchWindow::Operation::Reboot:
            return {"Reboot Devices", "Are you sure you want to reboot these devices?"};
        case BatchWindow::Operation::SetTime:
            return {"Set Time on Devices",
                    "The devices' internal time chips will be set from the time on this computer. Leave the "
                    "password empty for devices that still have the one they came with."};
        case BatchWindow::Operation::Upgrade:
            return {"Upgrade Firmware on Devices",
                    "The ROM file goes to every device it fits; a device it does not fit is skipped."};
        case BatchWindow::Operation::Backup:
            return {"Back Up Settings",
                    "Every device's settings are read as the Setup Wizard reads them and saved in one file."};
        case BatchWindow::Operation::Restore:
            return {"Restore Settings",
                    "Each device gets the settings saved for it, checked as the Setup Wizard checks them; a "
                    "device that already matches them is left alone."};
        case BatchWindow::Operation::AssignAddresses:
            return {
                "Assign Addresses",
                "Each device gets its planned static address and name, checked as the Setup Wizard checks "
                "them, and is waited for until it answers there."};
    }
    return {"", ""};
}

QString stateText(const BatchRow& row) {
    switch (row.state) {
        case BatchRow::State::Waiting:
            return QStringLiteral("Waiting");
        case BatchRow::State::Running:
            return QStringLiteral("Working...");
        case BatchRow::State::Done:
            break;
    }
    if (row.result == BatchResult::Skipped) return QStringLiteral("Skipped");
    return row.result == BatchResult::Cancelled && row.message.empty() ? QStringLiteral("Not started")
                                                                       : QStringLiteral("Done");
}

}  // namespace

// One device's window, on the GUI thread: its row shows its status lines and progress.
class BatchWindow::RowChannel : public WorkerChannel {
public:
    RowChannel(BatchWindow& window, std::size_t index, QTreeWidgetItem* item, QProgressBar* bar)
        : window_(window), index_(index), item_(item), bar_(bar) {}

    void status(const std::string& text) override {
        if (!text.empty()) showStatus(text);
    }
    void progressRange(int low, int high) override { bar_->setRange(low, high); }
    void progress(int position) override { bar_->setValue(position); }
    void beep() override {}
    Answer ask(const Question& question) override { return window_.ask(index_, question); }
    // The row tells the success; no box for each device.
    void showResult(const std::string& text, const std::string&) override { showStatus(text); }

private:
    void showStatus(const std::string& text) {
        QString line = QString::fromStdString(text).simplified();
        item_->setText(kStatus, line);
        item_->setToolTip(kStatus, line);
    }

    BatchWindow& window_;
    std::size_t index_;
    QTreeWidgetItem* item_;
    QProgressBar* bar_;
};

// What the batch's thread shares with the window: it outlives a window closed under it.
struct BatchWindow::Run : DeviceBatch::Observer {
    Run(BatchWindow* shown, std::vector<BatchDevice> devices, std::vector<std::size_t> rows)
        : batch(std::move(devices), kJobs),
          rowOf(std::move(rows)),
          window(shown),
          state(std::make_shared<OperationState>()) {}

    std::shared_ptr<WorkerChannel> channelFor(std::size_t index) override { return channels.at(index); }
    void rowChanged(std::size_t index, const BatchRow& row) override {
        GuiThread::call([&] {
            if (!window.isNull() && !state->closing) window->showRow(rowOf.at(index), row);
        });
    }

    DeviceBatch batch;
    std::vector<std::size_t> rowOf;  // the window's row of each device of the batch
    QPointer<BatchWindow> window;    // read on the GUI thread only
    std::shared_ptr<OperationState> state;
    std::vector<std::shared_ptr<WorkerChannel>> channels;
};

BatchWindow::BatchWindow(Session& session, Operation operation, std::vector<BatchDevice> devices,
                         QWidget* parent)
    : QDialog(parent),
      session_(session),
      operation_(operation),
      readings_(std::make_shared<SiteReadings>()),
      reports_(std::make_shared<RestoreReports>()),
      planReports_(std::make_shared<PlanReports>()) {
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    const OperationTexts texts = textsOf(operation);
    setWindowTitle(QString::fromLatin1(texts.title));
    const std::vector<DialogControl> table = tableFor(operation);
    const DialogControls controls(*this, table);
    qobject_cast<QLabel*>(control(Id::Heading))->setText(QString::fromLatin1(texts.heading));
    if (operation != Operation::Reboot && operation != Operation::Upgrade)
        qobject_cast<QLabel*>(control(Id::StatusLine))->setText(QStringLiteral("Press Start..."));
    password_ = controls.get<QLineEdit>(Id::Password);
    list_ = controls.get<QTreeWidget>(Id::Devices);
    list_->setColumnCount(5);
    list_->setHeaderLabels({QStringLiteral("ID"), QStringLiteral("Address"), QStringLiteral("Status"),
                            QStringLiteral("Progress"), QStringLiteral("Result")});
    list_->setRootIsDecorated(false);
    list_->setSelectionMode(QAbstractItemView::NoSelection);
    list_->setFocusPolicy(Qt::NoFocus);
    for (BatchDevice& device : devices) {
        auto* item = new QTreeWidgetItem(list_);
        auto* bar = new QProgressBar(list_);
        bar->setRange(0, 1);
        bar->setValue(0);
        bar->setTextVisible(false);
        list_->setItemWidget(item, kProgress, bar);
        channels_.push_back(std::make_unique<RowChannel>(*this, rows_.size(), item, bar));
        rows_.push_back({std::move(device), BatchRow::State::Waiting, BatchResult::Cancelled, {}});
        showRow(rows_.size() - 1, rows_.back());
    }
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->header()->setStretchLastSection(true);
    progressWidth_ = controls.units().x(kProgressWidth);
    fitColumns();
    if (operation == Operation::Upgrade) romFile_ = controls.get<QLineEdit>(Id::RomFile);
    connectControls();
    setFixedSize(controls.units().x(kClient.width),
                 controls.units().y(kClient.height - kUpgradeBand + bandOf(operation)));
}

BatchWindow::~BatchWindow() {
    // The batch's thread may still hold a row's window: from here on it touches none.
    if (run_) run_->state->closing = true;
}

QWidget* BatchWindow::control(Id id) const {
    return findChild<QWidget*>(QStringLiteral("id%1").arg(static_cast<int>(id)));
}

void BatchWindow::connectControls() {
    for (const Id id : {Id::Start, Id::Stop, Id::Close})
        qobject_cast<QPushButton*>(control(id))->setAutoDefault(false);
    connect(qobject_cast<QPushButton*>(control(Id::Start)), &QPushButton::clicked, this, &BatchWindow::start);
    connect(qobject_cast<QPushButton*>(control(Id::Stop)), &QPushButton::clicked, this, &BatchWindow::stop);
    connect(qobject_cast<QPushButton*>(control(Id::Close)), &QPushButton::clicked, this, &QDialog::reject);
    if (operation_ != Operation::Upgrade) return;
    connect(qobject_cast<QPushButton*>(control(Id::Browse)), &QPushButton::clicked, this,
            &BatchWindow::browse);
    auto* erase = qobject_cast<QCheckBox*>(control(Id::EraseConfig));
    connect(erase, &QCheckBox::clicked, this, &BatchWindow::eraseBoxClicked);
    connect(erase, &QCheckBox::toggled, control(Id::SaveNetwork), &QWidget::setEnabled);
}

void BatchWindow::browse() {
    const QString chosen = QFileDialog::getOpenFileName(this, QString(), romFile_->text(),
                                                        QStringLiteral("Firmware (*.bin);;All files (*)"));
    if (!chosen.isEmpty()) romFile_->setText(chosen);
}

void BatchWindow::eraseBoxClicked(bool checked) {
    if (checked) return;
    const auto text = QString::fromLatin1(kKeepConfigWarning);
    const auto title = QString::fromLatin1(kKeepConfigTitle);
    if (messageBoxHandler_)
        messageBoxHandler_(this, text, title, Question::Icon::Question, Choices::Ok);
    else
        showOwnedMessageBox(this, text, title, Question::Icon::Question, Choices::Ok);
}

void BatchWindow::setStatus(const QString& text) {
    qobject_cast<QLabel*>(control(Id::StatusLine))->setText(text);
}

void BatchWindow::setRestorePlan(std::vector<RestorePlanRow> plan) {
    plan_ = std::move(plan);
    for (std::size_t i = 0; i < plan_.size() && i < rows_.size(); ++i)
        if (plan_[i].result != BatchResult::Ok)
            showRow(i, {plan_[i].target, BatchRow::State::Done, plan_[i].result, plan_[i].message});
}

void BatchWindow::setAddressPlan(std::vector<PlannedAddress> plan) {
    addressPlan_ = std::move(plan);
    for (std::size_t i = 0; i < rows_.size(); ++i)
        showRow(i, rows_[i]);
    fitColumns();
}

void BatchWindow::fitColumns() {
    // What the devices say is long: the status and the result share the room left, elided, whole
    // in their tooltips.
    for (const int column : {kId, kAddress})
        list_->resizeColumnToContents(column);
    const int room = list_->width() - 2 * list_->frameWidth() - list_->columnWidth(kId) -
                     list_->columnWidth(kAddress) - progressWidth_;
    list_->setColumnWidth(kStatus, room / 2);
    list_->setColumnWidth(kProgress, progressWidth_);
}

std::optional<BatchWork> BatchWindow::work(QString& problem) const {
    std::string password = password_->text().toStdString();
    // The session's password, as the one-device window starts with.
    if (password.empty() && operation_ != Operation::Reboot && operation_ != Operation::Upgrade)
        password = session_.password();
    if (operation_ == Operation::SetTime) return setTimeBatchWork(password);
    if (operation_ == Operation::Backup) return backupBatchWork(password, readings_);
    if (operation_ == Operation::Restore) {
        RestoreOptions options;
        options.password = password;
        options.dryRun = compareOnly_;
        options.acceptWarnings = qobject_cast<QCheckBox*>(control(Id::AcceptWarnings))->isChecked();
        return restoreBatchWork(plan_, options, reports_);
    }
    if (operation_ == Operation::AssignAddresses) {
        PlanOptions options;
        options.password = password;
        options.acceptWarnings = qobject_cast<QCheckBox*>(control(Id::AcceptWarnings))->isChecked();
        return planBatchWork(addressPlan_, options, planReports_);
    }
    if (password.empty()) {
        problem = QStringLiteral("You must specify the administrator password.");
        return std::nullopt;
    }
    if (operation_ == Operation::Reboot) return rebootBatchWork(password);
    const QFileInfo rom(romFile_->text());
    if (!rom.isFile() || !rom.isReadable()) {
        problem = QStringLiteral("Cannot read the ROM file \"%1\".").arg(romFile_->text());
        return std::nullopt;
    }
    UpgradeBatchOptions options;
    options.password = password;
    options.romPath = romFile_->text().toStdString();
    options.eraseConfig = qobject_cast<QCheckBox*>(control(Id::EraseConfig))->isChecked();
    options.saveNetwork =
        options.eraseConfig && qobject_cast<QCheckBox*>(control(Id::SaveNetwork))->isChecked();
    return upgradeBatchWork(options, session_.profile(), session_.timing());
}

void BatchWindow::start() {
    if (running_ || run_) return;  // one run per window: its rows tell how it went
    if (operation_ == Operation::Restore)
        compareOnly_ = qobject_cast<QCheckBox*>(control(Id::CompareOnly))->isChecked();
    takenAt_ = siteTimeNow();
    QString problem;
    const std::optional<BatchWork> batchWork = work(problem);
    if (!batchWork) {
        setStatus(problem);
        return;
    }
    // A row that ended before the start (a restore's device left alone) is not worked on.
    std::vector<BatchDevice> devices;
    std::vector<std::size_t> rowOf;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (rows_[i].state == BatchRow::State::Done) continue;
        devices.push_back(rows_[i].device);
        rowOf.push_back(i);
    }
    run_ = std::make_shared<Run>(this, std::move(devices), rowOf);
    for (const std::size_t row : rowOf)
        run_->channels.push_back(
            std::make_shared<GuiThreadChannel>(this, channels_.at(row).get(), run_->state));
    for (const Id id : {Id::Start, Id::Password, Id::RomFile, Id::Browse, Id::EraseConfig, Id::SaveNetwork,
                        Id::CompareOnly, Id::AcceptWarnings})
        if (QWidget* widget = control(id)) widget->setEnabled(false);
    control(Id::Stop)->setEnabled(true);
    control(Id::Close)->setEnabled(false);
    running_ = true;
    setStatus(QStringLiteral("Working on the devices, %1 at a time...").arg(kJobs));
    const bool started = WorkerTask::start(
        run_->state,
        [run = run_, work = *batchWork, profile = session_.profile(), timing = session_.timing()] {
            run->batch.run(profile, timing, work, *run);
            GuiThread::call([&run] {
                if (!run->window.isNull() && !run->state->closing) run->window->ended();
            });
        });
    if (!started) {
        running_ = false;
        control(Id::Stop)->setEnabled(false);
        control(Id::Close)->setEnabled(true);
        setStatus(QStringLiteral("The operation could not be started."));
    }
}

void BatchWindow::stop() {
    if (!run_) return;
    run_->batch.cancel();
    control(Id::Stop)->setEnabled(false);
    setStatus(QStringLiteral("Stopping: the devices at work finish, the others are not started..."));
}

void BatchWindow::showRow(std::size_t index, const BatchRow& row) {
    rows_.at(index) = row;
    QTreeWidgetItem* item = list_->topLevelItem(static_cast<int>(index));
    item->setText(kId, QString::fromStdString(row.device.id));
    QString address = QString::fromStdString(row.device.host);
    for (const PlannedAddress& planned : addressPlan_)
        if (planned.device.host == row.device.host)
            address += QStringLiteral(" -> ") + QString::fromStdString(planned.address);
    item->setText(kAddress, address);
    // A device's own last status line stays once it has said one.
    const QString shown = item->text(kStatus);
    if (row.state == BatchRow::State::Waiting || shown.isEmpty() || shown == stateText({}) ||
        shown == QStringLiteral("Working..."))
        item->setText(kStatus, stateText(row));
    QString result;
    QString tip;
    if (row.state == BatchRow::State::Done) {
        const auto report = operation_ == Operation::Restore ? reports_->of(row.device.host) : std::nullopt;
        if (operation_ == Operation::Restore)
            result = QString::fromStdString(restoreResultText(row, report, compareOnly_));
        else if (operation_ == Operation::AssignAddresses)
            result = QString::fromStdString(planResultText(row, planReports_->of(row.device.host)));
        else
            result = QString::fromStdString(batchResultText(row));
        tip = result;
        if (report && row.result == BatchResult::Ok)
            for (const SettingChange& change : report->changes)
                tip += QStringLiteral("\n%1: \"%2\" -> \"%3\"")
                           .arg(QString::fromStdString(change.name), QString::fromStdString(change.before),
                                QString::fromStdString(change.after));
    }
    item->setText(kResult, result);
    item->setToolTip(kResult, tip);
    if (row.state == BatchRow::State::Done && row.result == BatchResult::Ok) {
        auto* bar = qobject_cast<QProgressBar*>(list_->itemWidget(item, kProgress));
        bar->setValue(bar->maximum());
    }
}

void BatchWindow::ended() {
    running_ = false;
    control(Id::Stop)->setEnabled(false);
    control(Id::Close)->setEnabled(true);
    qobject_cast<QPushButton*>(control(Id::Close))->setDefault(true);
    const auto done = std::count_if(rows_.begin(), rows_.end(), [](const BatchRow& row) {
        return row.state == BatchRow::State::Done && row.result == BatchResult::Ok;
    });
    setStatus(operation_ == Operation::AssignAddresses
                  ? QString::fromStdString(planSummaryText(answeredWherePlanned(rows_), rows_.size()))
                  : QStringLiteral("Done on %1 of %2 devices.").arg(done).arg(rows_.size()));
    if (operation_ == Operation::Backup) saveSite(done);
    emit batchEnded();
}

void BatchWindow::saveSite(long done) {
    SiteFile site = siteFile(*readings_, rows_, takenAt_);
    site.programVersion = kProgramVersion;
    const std::string problem = writeSiteFile(siteFile_.toStdString(), site);
    setStatus(problem.empty() ? QStringLiteral("Saved the settings of %1 of %2 devices in %3.")
                                    .arg(done)
                                    .arg(rows_.size())
                                    .arg(siteFile_)
                              : QString::fromStdString("The settings could not be saved: " + problem));
}

Answer BatchWindow::ask(std::size_t index, const Question& question) {
    // A box that only tells goes to the device's row: one box per device would bury the window.
    if (question.choices == Choices::Ok) {
        channels_.at(index)->status(question.text);
        return Answer::Ok;
    }
    const QString title = QStringLiteral("%1 - %2").arg(QString::fromStdString(question.title),
                                                        QString::fromStdString(rows_.at(index).device.host));
    const QString text = QString::fromStdString(question.text);
    return messageBoxHandler_ ? messageBoxHandler_(this, text, title, question.icon, question.choices)
                              : showOwnedMessageBox(this, text, title, question.icon, question.choices);
}

void BatchWindow::done(int result) {
    if (running_) {
        setStatus(QStringLiteral("The devices at work finish first; Stop spares those not yet started."));
        return;
    }
    QDialog::done(result);
}

}  // namespace lm::gui
