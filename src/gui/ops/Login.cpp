#include "gui/ops/Login.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "core/link/ShellInput.h"
#include "gui/app/ControlId.h"
#include "gui/app/DialogUnits.h"

namespace lm::gui {

Login::Login(const QString& currentPassword, const QString& siteText, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Enter Network Password"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    const DialogUnits du(*this);

    auto* message = message_ = ControlId::tag(
        new QLabel(QStringLiteral("Invalid Password.  Please enter the admin password."), this), kMessage);
    message->setGeometry(du.rect(7, 7, 218, 10));
    if (currentPassword.isEmpty()) {
        message->setText(QStringLiteral("You must enter a password!"));
        QApplication::beep();
    }

    const auto addLine = [&](const QString& label, int top) {
        (new QLabel(label, this))->setGeometry(du.rect(7, top, 48, 8));
    };
    addLine(QStringLiteral("Site:"), 23);
    auto* site = ControlId::tag(new QLabel(siteText, this), kSite);
    site->setGeometry(du.rect(58, 23, 167, 8));
    addLine(QStringLiteral("User Name:"), 37);
    (new QLabel(QStringLiteral("admin"), this))->setGeometry(du.rect(58, 37, 100, 8));
    addLine(QStringLiteral("Password:"), 52);
    password_ = ControlId::tag(new QLineEdit(this), kPassword);
    password_->setEchoMode(QLineEdit::Password);
    password_->setGeometry(du.rect(58, 50, 100, 13));

    auto* ok = ControlId::tag(new QPushButton(QStringLiteral("OK"), this), 1);
    ok->setDefault(true);
    ok->setGeometry(du.rect(121, 70, 50, 14));
    auto* cancel = ControlId::tag(new QPushButton(QStringLiteral("Cancel"), this), 2);
    cancel->setAutoDefault(false);
    cancel->setGeometry(du.rect(175, 70, 50, 14));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    setFixedSize(du.x(232), du.y(90));
    password_->setFocus();
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
