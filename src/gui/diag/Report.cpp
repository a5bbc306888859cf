#include "gui/diag/Report.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <utility>

#include "gui/ops/GuiThread.h"

namespace lm::gui {

namespace {

using K = ControlKind;
using C = ReportControl;
using F = ActivityField;
using R = ActivityCheck;

// Two columns of fields, long values across both; the rating boxes below, the long texts to the left.
constexpr int kLeft = 7, kRight = 135, kColumn = 122, kWide = 250, kRow = 14;
constexpr int kGroupTop = 7 + 10 * kRow + 1;
constexpr int kBox1 = kLeft + 6, kBox2 = kLeft + 108, kBox3 = kLeft + 200;
constexpr int kBoxRow1 = kGroupTop + 11, kBoxRow2 = kBoxRow1 + 12, kBoxRow3 = kBoxRow2 + 12;

constexpr const char* label(F field) {
    return reportField(field).label;
}
constexpr const char* text(R check) {
    return reportRating(check).text;
}

constexpr DialogRect kClient{0, 0, 264, 250};
// clang-format off
constexpr DialogControl kControls[] = {
    {K::Reading, C::Mac, label(F::Mac), {kLeft, 7, kColumn, 12}},
    {K::Reading, C::Ip, label(F::Ip), {kRight, 7, kColumn, 12}},
    {K::Reading, C::Version, label(F::Version), {kLeft, 7 + kRow, kWide, 12}},
    {K::Reading, C::Mode, label(F::Mode), {kLeft, 7 + 2 * kRow, kColumn, 12}},
    {K::Reading, C::ProcessVersion, label(F::ProcessVersion), {kRight, 7 + 2 * kRow, kColumn, 12}},
    {K::Reading, C::Watchdog, label(F::Watchdog), {kLeft, 7 + 3 * kRow, kColumn, 12}},
    {K::Reading, C::Temperature, label(F::Temperature), {kRight, 7 + 3 * kRow, kColumn, 12}},
    {K::Reading, C::Uptime, label(F::Uptime), {kLeft, 7 + 4 * kRow, kWide, 12}},
    {K::Reading, C::Frames, label(F::Frames), {kLeft, 7 + 5 * kRow, kColumn, 12}},
    {K::Reading, C::Rate, label(F::Rate), {kRight, 7 + 5 * kRow, kColumn, 12}},
    {K::Reading, C::ProcessShare, label(F::ProcessShare), {kLeft, 7 + 6 * kRow, kColumn, 12}},
    {K::Reading, C::Errors, label(F::Errors), {kRight, 7 + 6 * kRow, kColumn, 12}},
    {K::Reading, C::Pid, label(F::Pid), {kLeft, 7 + 7 * kRow, kColumn, 12}},
    {K::Reading, C::Exposure, label(F::Exposure), {kRight, 7 + 7 * kRow, kColumn, 12}},
    {K::Reading, C::BusDevices, label(F::BusDevices), {kLeft, 7 + 8 * kRow, kColumn, 12}},
    {K::Reading, C::BusErrors, label(F::BusErrors), {kRight, 7 + 8 * kRow, kColumn, 12}},
    {K::Reading, C::Comments, label(F::Comments), {kLeft, 7 + 9 * kRow, kWide, 12}},
    {K::Group, C::None, "Activity Report Rating", {kLeft, kGroupTop, kWide, 68}},
    {K::Verdict, C::RatingPidRange, text(R::PidRange), {kBox1, kBoxRow1, 100, 10}},
    {K::Verdict, C::RatingAllDevicesFound, text(R::AllDevicesFound), {kBox2, kBoxRow1, 90, 10}},
    {K::Verdict, C::RatingTempOk, text(R::TempOk), {kBox3, kBoxRow1, 44, 10}},
    {K::Verdict, C::RatingErrorCount, text(R::ErrorCount), {kBox1, kBoxRow2, 100, 10}},
    {K::Verdict, C::RatingFrameRate, text(R::FrameRate), {kBox2, kBoxRow2, 90, 10}},
    {K::Verdict, C::RatingExposureOk, text(R::ExposureOk), {kBox3, kBoxRow2, 44, 10}},
    {K::Verdict, C::RatingTestDuration, text(R::TestDuration), {kBox1, kBoxRow3, 100, 10}},
    {K::Verdict, C::RatingChipVersions, text(R::ChipVersions), {kBox2, kBoxRow3, 90, 10}},
    {K::Verdict, C::RatingMegaPix, text(R::MegaPix), {kBox3, kBoxRow3, 44, 10}},
    {K::Text, C::None, kReportRatingNote, {kLeft + 6, kGroupTop + 48, kWide - 12, 17}, kPlainText},
    // Enabled once the worker is done.
    {K::Button, C::Close, "Close", {kLeft + kWide - 50, 229, 50, 14}, kDefaultButton | kDisabled},
};

constexpr std::pair<ActivityField, ReportControl> kFieldControls[] = {
    {F::Mac, C::Mac}, {F::Ip, C::Ip}, {F::Mode, C::Mode}, {F::Version, C::Version},
    {F::ProcessVersion, C::ProcessVersion}, {F::Watchdog, C::Watchdog}, {F::Temperature, C::Temperature},
    {F::Uptime, C::Uptime}, {F::Frames, C::Frames}, {F::Rate, C::Rate}, {F::ProcessShare, C::ProcessShare},
    {F::Errors, C::Errors}, {F::Pid, C::Pid}, {F::Exposure, C::Exposure}, {F::BusDevices, C::BusDevices},
    {F::BusErrors, C::BusErrors}, {F::Comments, C::Comments},
};
constexpr std::pair<ActivityCheck, ReportControl> kRatingControls[] = {
    {R::PidRange, C::RatingPidRange}, {R::AllDevicesFound, C::RatingAllDevicesFound},
    {R::TempOk, C::RatingTempOk}, {R::ErrorCount, C::RatingErrorCount}, {R::FrameRate, C::RatingFrameRate},
    {R::ExposureOk, C::RatingExposureOk}, {R::TestDuration, C::RatingTestDuration},
    {R::ChipVersions, C::RatingChipVersions}, {R::MegaPix, C::RatingMegaPix},
};
// clang-format on

template <typename Key, std::size_t N>
ReportControl controlIn(const std::pair<Key, ReportControl> (&table)[N], Key key) {
    for (const auto& [k, control] : table)
        if (k == key) return control;
    return ReportControl::None;
}

// The worker's way to the window, shared by its callbacks: work runs on the GUI thread while the
// worker waits, and not at all once the window is closing or gone.
struct WindowLink {
    QPointer<Report> window;  // read on the GUI thread only
    std::shared_ptr<OperationState> state;

    template <typename F>
    void onWindow(F work) const {
        GuiThread::call([&] {
            if (window != nullptr && !state->closing) work(*window);
        });
    }
};

}  // namespace

Report::Report(Session& session, const QString& deviceId, const QString& address, QWidget* parent)
    : OperationDialog(session, nullptr, address, {}, parent),
      result_(std::make_shared<ActivityReportResult>()) {
    setWindowTitle(QStringLiteral("Activity Summary Report"));
    build(kClient, kControls);
    useStatusLine(static_cast<int>(C::Comments));

    ActivityReportRequest request;
    request.deviceId = deviceId.toStdString();
    request.address = address.toStdString();
    showField(ActivityField::Mac, deviceId);
    showField(ActivityField::Ip, address);
    showField(ActivityField::Comments, QString::fromStdString(ActivityReport{}.comments));

    const auto link = std::make_shared<const WindowLink>(WindowLink{this, state()});
    request.onField = [link](ActivityField field, const std::string& text) {
        link->onWindow([&](Report& report) { report.showField(field, QString::fromStdString(text)); });
    };
    request.onRating = [link](ActivityCheck check, bool checked) {
        link->onWindow([&](Report& report) { report.showRating(check, checked); });
    };
    startWhenShown([link, request, result = result_](WorkerTask& task) {
        *result = reportWorker(task, request);
        link->onWindow([](Report& report) { report.control(kClose)->setEnabled(true); });
        return result->outcome;
    });
}

ReportControl Report::controlOf(ActivityField field) {
    return controlIn(kFieldControls, field);
}

ReportControl Report::controlOf(ActivityCheck check) {
    return controlIn(kRatingControls, check);
}

void Report::showField(ActivityField field, const QString& text) {
    if (auto* line = qobject_cast<QLineEdit*>(control(controlOf(field)))) {
        line->setText(text);
        line->setCursorPosition(0);  // a value too long for its field shows its beginning
    }
}

void Report::showRating(ActivityCheck check, bool checked) {
    if (auto* box = qobject_cast<QAbstractButton*>(control(controlOf(check)))) box->setChecked(checked);
}

}  // namespace lm::gui
