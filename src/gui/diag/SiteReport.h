#pragma once

#include <QDialog>
#include <QString>
#include <atomic>
#include <memory>
#include <vector>

#include "core/discovery/DeviceRecord.h"
#include "core/site/SiteGather.h"
#include "gui/app/SaveText.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace lm::gui {

// The controls of the site report's window.
enum class SiteReportControl {
    None = 0,
    Close = 1,
    WithTests = 1410,
    Password = 1411,
    Write = 1412,
    Progress = 1413,
    Status = 1414,
};

// "Site Report": writes the handover report of every listed device to one HTML file. Write asks
// where, then reads the devices on a worker of its own, the bar and status line following each
// device. Closing does not wait: no further device is begun and nothing is written.
class SiteReport : public QDialog {
    Q_OBJECT
public:
    // What the worker shares with the window; it lives as long as either of them.
    struct Shared {
        std::atomic<bool> closing{false};
        std::atomic<bool> running{false};
    };

    SiteReport(std::vector<DeviceRecord> devices, SiteGatherRequest request, QWidget* parent = nullptr);
    ~SiteReport() override;

    const std::shared_ptr<Shared>& shared() const { return shared_; }
    // Where Write asks for the file; the file dialog unless replaced.
    void setSaveChooser(SaveChooser chooser) { chooseFile_ = std::move(chooser); }
    QString statusText() const;

    void done(int result) override;

signals:
    // The report was written (or could not be): the status line says which.
    void finished();

private:
    void write();
    void showProgress(std::size_t done, const SiteDevice& device);
    void writeFile(const QString& path, const std::string& html, std::size_t devices, std::size_t failing);

    std::vector<DeviceRecord> devices_;
    SiteGatherRequest request_;
    SaveChooser chooseFile_ = chooseSaveFile;
    std::shared_ptr<Shared> shared_;
    QCheckBox* withTests_ = nullptr;
    QLineEdit* password_ = nullptr;
    QPushButton* write_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* status_ = nullptr;
};

}  // namespace lm::gui
