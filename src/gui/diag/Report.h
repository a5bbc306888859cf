#pragma once

#include <memory>

#include "core/diag/ActivityReport.h"
#include "gui/ops/OperationDialog.h"

namespace lm::gui {

// "Activity Summary Report": reads one device's activity as soon as it opens and rates it. Close
// stays disabled while the worker runs; closing the window anyway lets the worker finish (and log
// out) without touching the window.
class Report : public OperationDialog {
    Q_OBJECT
public:
    static constexpr int kClose = kReportClose;

    // deviceId is the list's ID text, address the device's IPv4 address (no port).
    Report(Session& session, const QString& deviceId, const QString& address, QWidget* parent = nullptr);

    // What the worker has read so far; it shares it, so it outlives the window if need be.
    const ActivityReport& report() const { return *report_; }

private:
    void addField(const ReportField& field, const QRect& place);

    std::shared_ptr<ActivityReport> report_;
};

}  // namespace lm::gui
