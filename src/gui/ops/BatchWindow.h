#pragma once

#include <QDialog>
#include <functional>
#include <memory>
#include <vector>

#include "core/ops/DeviceBatch.h"
#include "gui/ops/OperationDialog.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace lm::gui {

// One window for Reboot, Set Time or Upgrade on several devices: a row per device (ID, address,
// status, progress, result), the admin password asked once for all of them, the devices worked on
// by the core's batch, --jobs of them at a time. Stop spares the devices not yet started; the
// window stays open until those at work have finished, so no upgrade is left half done unseen.
class BatchWindow : public QDialog {
    Q_OBJECT
public:
    enum class Operation { Reboot, SetTime, Upgrade };
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
    };
    // The list's columns.
    enum Column { kId, kAddress, kStatus, kProgress, kResult };
    static constexpr int kJobs = 4;

    BatchWindow(Session& session, Operation operation, std::vector<BatchDevice> devices,
                QWidget* parent = nullptr);
    ~BatchWindow() override;

    QWidget* control(Id id) const;
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
    void browse();
    void eraseBoxClicked(bool checked);
    void start();
    void stop();
    // On the GUI thread: a device's row changed, the batch ended.
    void showRow(std::size_t index, const BatchRow& row);
    void ended();
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
    QLineEdit* password_ = nullptr;
    QLineEdit* romFile_ = nullptr;
};

}  // namespace lm::gui
