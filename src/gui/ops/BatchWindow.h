#pragma once

#include <QDialog>
#include <functional>
#include <memory>
#include <vector>

#include "core/ops/DeviceBatch.h"
#include "core/wizard/PlanBatch.h"
#include "core/wizard/SiteBatch.h"
#include "gui/ops/OperationDialog.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace lm::gui {

// One window for Reboot, Set Time, Upgrade, Back Up or Restore Settings, or Assign Addresses on several
// devices: a row per device (ID, address, status, progress, result), the admin password asked once for
// all of them, the devices worked
// on by the core's batch, --jobs of them at a time. Stop spares the devices not yet started; the window stays
// open until those at work have finished, so no upgrade is left half done unseen.
class BatchWindow : public QDialog {
    Q_OBJECT
public:
    enum class Operation { Reboot, SetTime, Upgrade, Backup, Restore, AssignAddresses };
    enum class Id {
        Heading = 2101,
        Password = 2102,
        RomFile = 2103,
        Browse = 2104,
        EraseConfig = 2105,
        SaveNetwork = 2106,
        Devices = 2107,
        StatusLine = 2108,
        Start = 2109,
        Stop = 2110,
        Close = 2111,
        CompareOnly = 2112,
        AcceptWarnings = 2113,
    };
    // The list's columns.
    enum Column { kId, kAddress, kStatus, kProgress, kResult };
    static constexpr int kJobs = 4;

    BatchWindow(Session& session, Operation operation, std::vector<BatchDevice> devices,
                QWidget* parent = nullptr);
    ~BatchWindow() override;

    QWidget* control(Id id) const;
    // Backup: the file the settings go to once every device is done.
    void setSiteFile(const QString& path) { siteFile_ = path; }
    // Restore: the plan's rows, in the order of the devices given; a row not to be worked on shows
    // its reason from the start.
    void setRestorePlan(std::vector<RestorePlanRow> plan);
    // Assign Addresses: each device's new address and name, the devices given in the plan's order.
    void setAddressPlan(std::vector<PlannedAddress> plan);
    // Replaces the window's message boxes (tests answer them this way).
    void setMessageBoxHandler(OperationDialog::MessageBoxHandler handler) {
        messageBoxHandler_ = std::move(handler);
    }
    // Whether devices are being worked on.
    bool running() const { return running_; }
    // Each device's row as it stands.
    const std::vector<BatchRow>& rows() const { return rows_; }

    // The close box, Escape and Close: refused while devices are at work.
    void done(int result) override;

signals:
    // The last device is done.
    void batchEnded();

private:
    class RowChannel;
    struct Run;

    void connectControls();
    // The ID and address columns as wide as their texts; the status and the result share the rest.
    void fitColumns();
    void browse();
    void eraseBoxClicked(bool checked);
    void start();
    void stop();
    // On the GUI thread: a device's row changed, the batch ended.
    void showRow(std::size_t index, const BatchRow& row);
    void ended();
    // Backup: the file of what the devices gave, once all are done.
    void saveSite(long done);
    void setStatus(const QString& text);
    Answer ask(std::size_t index, const Question& question);
    // What every device gets done, from the controls as they stand; empty with the reason when the
    // controls cannot be used.
    std::optional<BatchWork> work(QString& problem) const;

    Session& session_;
    Operation operation_;
    std::vector<BatchRow> rows_;
    std::vector<std::unique_ptr<RowChannel>> channels_;
    std::shared_ptr<Run> run_;
    bool running_ = false;
    OperationDialog::MessageBoxHandler messageBoxHandler_;
    QTreeWidget* list_ = nullptr;
    int progressWidth_ = 0;
    QLineEdit* password_ = nullptr;
    QLineEdit* romFile_ = nullptr;
    QString siteFile_;
    std::shared_ptr<SiteReadings> readings_;
    std::vector<RestorePlanRow> plan_;
    std::shared_ptr<RestoreReports> reports_;
    bool compareOnly_ = false;
    std::vector<PlannedAddress> addressPlan_;
    std::shared_ptr<PlanReports> planReports_;
    std::string takenAt_;
};

}  // namespace lm::gui
