#include "gui/ops/AssignAddresses.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <chrono>
#include <fstream>
#include <future>

#include "core/wizard/PlanBatch.h"
#include "gui/app/DialogControls.h"
#include "gui/app/Ipv4Field.h"

namespace lm::gui {

namespace {

using K = ControlKind;
using C = AssignAddresses::Id;

constexpr DialogRect kClient{0, 0, 240, 170};
// clang-format off
constexpr DialogControl kControls[] = {
    {K::Text, C::Heading, "Each selected device gets a static address: the range's in the order of the "
                          "devices' IDs, or the one its row of the plan file gives.", {7, 7, 226, 18}},
    {K::Label, {}, "&First Address:", {7, 32, 66, 8}, kBuddyOfNext},
    {K::Address, C::FirstAddress, nullptr, {76, 30, 90, 13}, kFocus},
    {K::Label, {}, "&Last Address:", {7, 48, 66, 8}, kBuddyOfNext},
    {K::Address, C::LastAddress, nullptr, {76, 46, 90, 13}},
    {K::Label, {}, "or &Plan File:", {7, 66, 66, 8}, kBuddyOfNext},
    {K::LineEdit, C::PlanFile, nullptr, {76, 64, 134, 13}},
    {K::Button, C::Browse, "...", {213, 64, 20, 13}},
    {K::Label, {}, "&Netmask:", {7, 84, 66, 8}, kBuddyOfNext},
    {K::Address, C::Netmask, nullptr, {76, 82, 90, 13}},
    {K::Label, {}, "&Gateway:", {7, 100, 66, 8}, kBuddyOfNext},
    {K::Address, C::Gateway, nullptr, {76, 98, 90, 13}},
    {K::Label, {}, "&Hostname Pattern:", {7, 118, 66, 8}, kBuddyOfNext},
    {K::LineEdit, C::HostnamePattern, nullptr, {76, 116, 90, 13}},
    {K::Text, {}, "{n} is the device's number, {n:02} the same two digits wide; empty keeps the names.",
     {76, 131, 157, 16}},
    {K::Button, C::Ok, "OK", {129, 150, 50, 14}, kDefaultButton},
    {K::Button, C::Cancel, "Cancel", {183, 150, 50, 14}},
};
// clang-format on

// An address field left empty (or all zero) gives no address.
std::string given(const Ipv4Field& field) {
    const QString text = field.addressText();
    return text == QStringLiteral("0.0.0.0") ? std::string() : text.toStdString();
}

}  // namespace

AssignAddresses::AssignAddresses(const NetworkProfile& profile, std::vector<BatchDevice> devices,
                                 QWidget* parent)
    : QDialog(parent), profile_(profile), devices_(std::move(devices)) {
    setWindowTitle(QStringLiteral("Assign Addresses"));
    const DialogControls controls(*this, std::span(kControls));
    setFixedSize(controls.units().x(kClient.width), controls.units().y(kClient.height));
    first_ = controls.get<Ipv4Field>(C::FirstAddress);
    last_ = controls.get<Ipv4Field>(C::LastAddress);
    planFile_ = controls.get<QLineEdit>(C::PlanFile);
    netmask_ = controls.get<Ipv4Field>(C::Netmask);
    gateway_ = controls.get<Ipv4Field>(C::Gateway);
    pattern_ = controls.get<QLineEdit>(C::HostnamePattern);
    connect(controls.get<QPushButton>(C::Browse), &QPushButton::clicked, this, &AssignAddresses::browse);
    connect(controls.get<QPushButton>(C::Ok), &QPushButton::clicked, this, &AssignAddresses::accept);
    connect(controls.get<QPushButton>(C::Cancel), &QPushButton::clicked, this, &AssignAddresses::reject);
}

QWidget* AssignAddresses::control(Id id) const {
    return findChild<QWidget*>(QStringLiteral("id%1").arg(static_cast<int>(id)));
}

void AssignAddresses::browse() {
    const QString chosen = QFileDialog::getOpenFileName(this, QString(), planFile_->text(),
                                                        QStringLiteral("Plans (*.csv);;All files (*)"));
    if (!chosen.isEmpty()) planFile_->setText(chosen);
}

QString AssignAddresses::checkPlan() {
    const std::string first = given(*first_);
    const std::string last = given(*last_);
    const std::string file = planFile_->text().trimmed().toStdString();
    const bool range = !first.empty() || !last.empty();
    if (range == !file.empty())
        return QStringLiteral("Give a range of addresses or a plan file (one of them).");
    PlanSource source;
    if (range) {
        source.range = parseAddressRange(first + "-" + last);
        if (!source.range)
            return QStringLiteral("The range takes two addresses with the first not after the last.");
    } else {
        std::ifstream in(file, std::ios::binary);
        const std::string problem = in ? readPlanFile(in, source.rows) : "cannot be read";
        if (!problem.empty()) return QString::fromStdString(file + ": " + problem);
        source.fileName = file;
    }
    const PlanDefaults defaults{given(*netmask_), given(*gateway_), pattern_->text().trimmed().toStdString()};
    if (!defaults.hostnamePattern.empty()) {
        std::string why;
        hostnameFromPattern(defaults.hostnamePattern, 1, why);
        if (!why.empty()) return QString::fromStdString(why);
    }
    // The probes of the new addresses take a while: the window keeps painting meanwhile.
    auto pending = std::async(std::launch::async, [devices = devices_, source, defaults, profile = profile_] {
        std::vector<PlannedAddress> plan;
        std::string problem = checkedPlan(devices, source, defaults,
                                          profile.interfaceTable().value_or(std::vector<InterfaceRow>{}),
                                          answersDiscoveryProbe(profile), plan);
        return std::make_pair(std::move(problem), std::move(plan));
    });
    while (pending.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready)
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
    auto [problem, plan] = pending.get();
    plan_ = std::move(plan);
    return QString::fromStdString(problem);
}

void AssignAddresses::refuse(const QString& why) {
    const QString title = windowTitle();
    const QString text = QStringLiteral("%1\n\nNothing was sent.").arg(why);
    if (messageBoxHandler_)
        messageBoxHandler_(this, text, title, Question::Icon::Warning, Choices::Ok);
    else
        showOwnedMessageBox(this, text, title, Question::Icon::Warning, Choices::Ok);
}

void AssignAddresses::accept() {
    if (checking_) return;
    checking_ = true;
    setEnabled(false);
    const QString problem = checkPlan();
    setEnabled(true);
    checking_ = false;
    if (!problem.isEmpty()) {
        plan_.clear();
        refuse(problem);
        return;
    }
    QDialog::accept();
}

void AssignAddresses::reject() {
    if (!checking_) QDialog::reject();
}

}  // namespace lm::gui
