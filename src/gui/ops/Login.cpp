#include "gui/ops/Login.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "core/link/ShellInput.h"
#include "gui/app/DialogControls.h"

namespace lm::gui {

namespace {

using C = Login::Control;
using K = ControlKind;

constexpr DialogRect kClient{0, 0, 232, 90};
// clang-format off
constexpr DialogControl kControls[] = {
    {K::Label, C::Message, "Invalid Password.  Please enter the admin password.", {7, 7, 218, 10}},
    {K::Label, C::None, "Site:", {7, 23, 48, 8}},
    // The realm the device named: its own words, never markup.
    {K::Label, C::Site, nullptr, {58, 23, 167, 8}, kPlainText},
    {K::Label, C::None, "User Name:", {7, 37, 48, 8}},
    {K::Label, C::None, "admin", {58, 37, 100, 8}},
    {K::Label, C::None, "Password:", {7, 52, 48, 8}},
    {K::Password, C::Password, nullptr, {58, 50, 100, 13}, kFocus},
    {K::Button, C::Ok, "OK", {121, 70, 50, 14}, kDefaultButton},
    {K::Button, C::Cancel, "Cancel", {175, 70, 50, 14}},
};
// clang-format on

}  // namespace

Login::Login(const QString& currentPassword, const QString& siteText, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Enter Network Password"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    const DialogControls controls(*this, kControls);
    setFixedSize(controls.units().x(kClient.width), controls.units().y(kClient.height));

    message_ = controls.get<QLabel>(C::Message);
    if (currentPassword.isEmpty()) {
        message_->setText(QStringLiteral("You must enter a password!"));
        QApplication::beep();
    }
    controls.get<QLabel>(C::Site)->setText(siteText);
    password_ = controls.get<QLineEdit>(C::Password);
    auto* cancel = controls.get<QPushButton>(C::Cancel);
    cancel->setAutoDefault(false);
    connect(controls.get<QPushButton>(C::Ok), &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void Login::accept() {
    if (hasControlCharacter(password_->text().toStdString())) {
        message_->setText(QStringLiteral("A password cannot hold control characters."));
        QApplication::beep();
        return;
    }
    QDialog::accept();
}

QString Login::password() const {
    return password_->text();
}

}  // namespace lm::gui
