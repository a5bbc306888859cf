#include "gui/diag/Report.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "gui/app/ControlId.h"
#include "gui/app/DialogUnits.h"

namespace lm::gui {

namespace {

// Where each field sits, in dialog units: two columns, long values across both.
struct FieldPlace {
    int id;
    QRect place;
};
constexpr int kLeft = 7, kRight = 135, kColumn = 122, kWide = 250, kLabel = 54, kRow = 14;
constexpr FieldPlace kFieldPlaces[] = {
    {kReportMac, {kLeft, 7, kColumn, 12}},
    {kReportIp, {kRight, 7, kColumn, 12}},
    {kReportVersion, {kLeft, 7 + kRow, kWide, 12}},
    {kReportMode, {kLeft, 7 + 2 * kRow, kColumn, 12}},
    {kReportProcessVersion, {kRight, 7 + 2 * kRow, kColumn, 12}},
    {kReportWatchdog, {kLeft, 7 + 3 * kRow, kColumn, 12}},
    {kReportTemperature, {kRight, 7 + 3 * kRow, kColumn, 12}},
    {kReportUptime, {kLeft, 7 + 4 * kRow, kWide, 12}},
    {kReportFrames, {kLeft, 7 + 5 * kRow, kColumn, 12}},
    {kReportRate, {kRight, 7 + 5 * kRow, kColumn, 12}},
    {kReportProcessShare, {kLeft, 7 + 6 * kRow, kColumn, 12}},
    {kReportErrors, {kRight, 7 + 6 * kRow, kColumn, 12}},
    {kReportPid, {kLeft, 7 + 7 * kRow, kColumn, 12}},
    {kReportExposure, {kRight, 7 + 7 * kRow, kColumn, 12}},
    {kReportBusDevices, {kLeft, 7 + 8 * kRow, kColumn, 12}},
    {kReportBusErrors, {kRight, 7 + 8 * kRow, kColumn, 12}},
    {kReportComments, {kLeft, 7 + 9 * kRow, kWide, 12}},
};
constexpr int kGroupTop = 7 + 10 * kRow + 1;
// The rating boxes' columns: the long texts to the left, the short ones to the right.
constexpr int kBoxLeft[] = {kLeft + 6, kLeft + 108, kLeft + 200};
constexpr int kBoxWidth[] = {100, 90, 44};

}  // namespace

Report::Report(Session& session, const QString& deviceId, const QString& address, QWidget* parent)
    : OperationDialog(session, nullptr, address, {}, parent), report_(std::make_shared<ActivityReport>()) {
    setWindowTitle(QStringLiteral("Activity Summary Report"));
    report_->mac = deviceId.toStdString();
    report_->ip = address.toStdString();
    for (const FieldPlace& place : kFieldPlaces)
        for (const ReportField& field : kReportFields)
            if (field.id == place.id) addField(field, place.place);

    const DialogUnits du(*this);
    auto* group = new QGroupBox(QStringLiteral("Activity Report Rating"), this);
    group->setGeometry(du.rect(kLeft, kGroupTop, kWide, 68));
    int index = 0;
    for (const ReportRating& rating : kReportRatings) {
        auto* box = ControlId::tag(new QCheckBox(QString::fromLatin1(rating.text), this), rating.id);
        // The boxes show the worker's verdict: the user cannot change them.
        box->setAttribute(Qt::WA_TransparentForMouseEvents);
        box->setFocusPolicy(Qt::NoFocus);
        box->setGeometry(
            du.rect(kBoxLeft[index % 3], kGroupTop + 11 + (index / 3) * 12, kBoxWidth[index % 3], 10));
        ++index;
    }
    auto* note =
        addText(QString::fromLatin1(kReportRatingNote), QRect(kLeft + 6, kGroupTop + 48, kWide - 12, 17));
    note->setTextFormat(Qt::PlainText);

    auto* close = addButton(kClose, QStringLiteral("Close"), QRect(kLeft + kWide - 50, 229, 50, 14));
    close->setDefault(true);
    close->setEnabled(false);  // until the worker is done
    finishLayout(264, 250);
    useStatusLine(kReportComments);

    const std::shared_ptr<ActivityReport> report = report_;
    startWhenShown([report](WorkerTask& task) { return reportWorker(task, *report); });
}

void Report::addField(const ReportField& field, const QRect& place) {
    const DialogUnits du(*this);
    auto* label = new QLabel(QString::fromLatin1(field.label), this);
    label->setGeometry(du.rect(place.x(), place.y() + 2, kLabel, 8));
    // Read-only line edits: sunken, plain text whatever the device sends, and selectable.
    auto* value =
        ControlId::tag(new QLineEdit(QString::fromStdString(report_.get()->*(field.value)), this), field.id);
    value->setReadOnly(true);
    value->setFocusPolicy(Qt::ClickFocus);
    value->setGeometry(
        du.rect(place.x() + kLabel + 2, place.y(), place.width() - kLabel - 2, place.height()));
    label->setBuddy(value);
}

}  // namespace lm::gui
