#pragma once

#include <QString>
#include <memory>

#include "core/diag/ActivityReport.h"
#include "gui/ops/OperationDialog.h"

namespace lm::gui {

// The controls of the activity report's window.
enum class ReportControl {
    None = 0,
    Close = 1,
    RatingErrorCount = 1171,
    RatingAllDevicesFound = 1172,
    RatingFrameRate = 1173,
    RatingPidRange = 1175,
    RatingTestDuration = 1176,
    RatingChipVersions = 1177,
    RatingTempOk = 1181,
    RatingExposureOk = 1184,
    RatingMegaPix = 1185,
    Mac = 1200,
    Ip = 1201,
    Mode = 1202,
    Version = 1203,
    ProcessVersion = 1204,
    Watchdog = 1205,
    Temperature = 1206,
    Uptime = 1207,
    Frames = 1208,
    Rate = 1209,
    ProcessShare = 1210,
    Errors = 1211,
    Pid = 1212,
    Exposure = 1213,
    BusDevices = 1214,
    BusErrors = 1215,
    Comments = 1216,
};

// "Activity Summary Report": reads one device's activity as soon as it opens and rates it. Close
// stays disabled while the worker runs; closing the window anyway lets the worker finish (and log
// out) without touching the window.
class Report : public OperationDialog {
    Q_OBJECT
public:
    static constexpr int kClose = static_cast<int>(ReportControl::Close);

    // deviceId is the list's ID text, address the device's IPv4 address (no port).
    Report(Session& session, const QString& deviceId, const QString& address, QWidget* parent = nullptr);

    // The control that shows a field or a rating.
    static ReportControl controlOf(ActivityField field);
    static ReportControl controlOf(ActivityCheck check);

    // What the worker read, once Close is enabled; it outlives the window if need be.
    const ActivityReport& report() const { return result_->report; }

private:
    void showField(ActivityField field, const QString& text);
    void showRating(ActivityCheck check, bool checked);

    std::shared_ptr<ActivityReportResult> result_;
};

}  // namespace lm::gui
