#include "gui/diag/SiteReport.h"

#include <QCheckBox>
#include <QDateTime>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <system_error>
#include <thread>

#include "core/discovery/SiteReportHtml.h"
#include "core/discovery/SiteSummary.h"
#include "gui/app/DialogControls.h"
#include "gui/ops/GuiThread.h"

namespace lm::gui {

namespace {

using K = ControlKind;
using C = SiteReportControl;

// clang-format off
constexpr DialogRect kClient{0, 0, 262, 124};
constexpr DialogControl kControls[] = {
    {K::Text, C::None, "Write a handover report of every listed device to one HTML file: its picture, its "
                       "network and upload settings and, with the tests, its activity report ratings and "
                       "production verdict.", {7, 7, 248, 26}},
    {K::CheckBox, C::WithTests, "Include the activity report and production &test", {7, 37, 248, 10}},
    {K::Label, C::None, "&Password:", {7, 53, 46, 8}, kBuddyOfNext},
    {K::Password, C::Password, nullptr, {56, 51, 90, 12}},
    {K::Label, C::None, "(empty: the factory default)", {150, 53, 105, 8}},
    {K::Progress, C::Progress, nullptr, {7, 70, 248, 10}},
    {K::Label, C::Status, "Press Write to choose the file.", {7, 85, 248, 10}, kPlainText},
    {K::Button, C::Write, "&Write...", {151, 103, 50, 14}, kDefaultButton | kFocus},
    {K::Button, C::Close, "Close", {205, 103, 50, 14}},
};
// clang-format on

QString takenAt() {
    return QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyy-MM-dd HH:mm 'UTC'"));
}

}  // namespace

SiteReport::SiteReport(std::vector<DeviceRecord> devices, SiteGatherRequest request, QWidget* parent)
    : QDialog(parent),
      devices_(siteRecords(devices)),
      request_(std::move(request)),
      shared_(std::make_shared<Shared>()) {
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("Site Report"));
    const DialogControls controls(*this, kControls);
    withTests_ = controls.get<QCheckBox>(C::WithTests);
    password_ = controls.get<QLineEdit>(C::Password);
    write_ = controls.get<QPushButton>(C::Write);
    progress_ = controls.get<QProgressBar>(C::Progress);
    status_ = controls.get<QLabel>(C::Status);
    progress_->setRange(0, static_cast<int>(devices_.size()));
    write_->setEnabled(!devices_.empty());
    connect(write_, &QPushButton::clicked, this, &SiteReport::write);
    connect(controls.get<QPushButton>(C::Close), &QPushButton::clicked, this, &QDialog::reject);
    setFixedSize(controls.units().x(kClient.width), controls.units().y(kClient.height));
}

SiteReport::~SiteReport() {
    shared_->closing = true;
}

void SiteReport::done(int result) {
    shared_->closing = true;
    QDialog::done(result);
}

QString SiteReport::statusText() const {
    return status_->text();
}

void SiteReport::write() {
    QString filter;
    const QString path =
        chooseFile_(this, QStringLiteral("Save Site Report"), QStringLiteral("HTML (*.html *.htm)"), &filter);
    if (path.isEmpty()) return;
    SiteGatherRequest request = request_;
    request.withTests = withTests_->isChecked();
    if (!password_->text().isEmpty()) request.password = password_->text().toStdString();
    for (QWidget* control : std::initializer_list<QWidget*>{write_, withTests_, password_})
        control->setEnabled(false);
    progress_->setValue(0);
    status_->setText(QStringLiteral("Reading %1 devices...").arg(devices_.size()));
    shared_->running = true;

    QPointer<SiteReport> window(this);
    const auto onWindow = [window, shared = shared_](auto work) {
        GuiThread::call([&] {
            if (window && !shared->closing) work(*window);
        });
    };
    try {
        std::thread([onWindow, shared = shared_, devices = devices_, request, path,
                     withTests = request.withTests, taken = takenAt().toStdString()] {
            const auto read = gatherSite(
                devices, request,
                [&](std::size_t done, const SiteDevice& device) {
                    onWindow([&](SiteReport& w) { w.showProgress(done, device); });
                },
                &shared->closing);
            if (!shared->closing) {
                const std::string html = siteReportHtml(read, {"Site Report", taken, withTests});
                const std::size_t failing = siteSummary(read).failing.size();
                onWindow([&](SiteReport& w) { w.writeFile(path, html, read.size(), failing); });
            }
            shared->running = false;
        }).detach();
    } catch (const std::system_error&) {
        shared_->running = false;
        status_->setText(QStringLiteral("The site report could not be started."));
        emit finished();
    }
}

void SiteReport::showProgress(std::size_t done, const SiteDevice& device) {
    progress_->setValue(static_cast<int>(done));
    status_->setText(QStringLiteral("Read %1 of %2: %3")
                         .arg(done)
                         .arg(devices_.size())
                         .arg(QString::fromStdString(device.id.empty() ? device.address : device.id)));
}

void SiteReport::writeFile(const QString& path, const std::string& html, std::size_t devices,
                           std::size_t failing) {
    const QString failure = saveText(path, html);
    status_->setText(failure.isEmpty()
                         ? QStringLiteral("Site report saved to %1 (%2 devices, %3 failing).")
                               .arg(path)
                               .arg(devices)
                               .arg(failing)
                         : QStringLiteral("The site report could not be saved to %1: %2").arg(path, failure));
    for (QWidget* control : std::initializer_list<QWidget*>{write_, withTests_, password_})
        control->setEnabled(true);
    emit finished();
}

}  // namespace lm::gui
