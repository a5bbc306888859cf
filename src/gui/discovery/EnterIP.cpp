#include "gui/discovery/EnterIP.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

#include "core/discovery/ManualEntry.h"
#include "gui/app/DialogControls.h"
#include "gui/app/Ipv4Field.h"

namespace lm::gui {

namespace {

using C = EnterIP::Control;
using K = ControlKind;

constexpr DialogRect kClient{0, 0, 162, 90};
// clang-format off
constexpr DialogControl kControls[] = {
    {K::Text, C::None, "Enter the IP address of the device you wish to add to your list.  ", {7, 7, 148, 18}},
    {K::Address, C::Address, nullptr, {7, 28, 90, 13}},
    {K::Label, C::None, "&HTTP Port:", {7, 50, 40, 8}, kBuddyOfNext},
    {K::LineEdit, C::Port, "80", {50, 48, 40, 13}},
    {K::Button, C::Ok, "OK", {51, 70, 50, 14}, kDefaultButton},
    {K::Button, C::Cancel, "Cancel", {105, 70, 50, 14}},
};
// clang-format on

}  // namespace

EnterIP::EnterIP(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Manual IP Entry"));
    const DialogControls controls(*this, std::span(kControls));
    setFixedSize(controls.units().x(kClient.width), controls.units().y(kClient.height));

    addressEdit_ = controls.get<Ipv4Field>(C::Address);
    portEdit_ = controls.get<QLineEdit>(C::Port);
    // Digits only: the port ends up in URLs and in the generated page.
    portEdit_->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("^[0-9]{0,5}$")), portEdit_));
    connect(controls.get<QPushButton>(C::Ok), &QPushButton::clicked, this, &EnterIP::accept);
    connect(controls.get<QPushButton>(C::Cancel), &QPushButton::clicked, this, &EnterIP::reject);

    addressEdit_->setFocus();
}

QString EnterIP::addressText() const {
    return addressEdit_->addressText();
}

void EnterIP::accept() {
    address_ = QString::fromStdString(
        manualEntryAddress(addressText().toStdString(), portEdit_->text().toStdString()));
    QDialog::accept();
}

}  // namespace lm::gui
