#include "gui/discovery/EnterIP.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

#include "gui/app/ControlId.h"
#include "gui/app/DialogUnits.h"
#include "gui/app/Ipv4Field.h"
#include "core/discovery/ManualEntry.h"

namespace lm::gui {

EnterIP::EnterIP(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Manual IP Entry"));
    const DialogUnits du(*this);
    setFixedSize(du.x(162), du.y(90));

    auto* prompt = new QLabel(
        QStringLiteral("Enter the IP address of the device you wish to add to your list.  "), this);
    prompt->setWordWrap(true);
    prompt->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    prompt->setGeometry(du.rect(7, 7, 148, 18));

    addressEdit_ = ControlId::tag(new Ipv4Field(this), 1190);
    addressEdit_->setGeometry(du.rect(7, 28, 90, 13));

    auto* portLabel = new QLabel(QStringLiteral("&HTTP Port:"), this);
    portLabel->setGeometry(du.rect(7, 50, 40, 8));
    portEdit_ = ControlId::tag(new QLineEdit(QStringLiteral("80"), this), 1086);
    // Digits only: the port ends up in URLs and in the generated page.
    portEdit_->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("^[0-9]{0,5}$")), portEdit_));
    portEdit_->setGeometry(du.rect(50, 48, 40, 13));
    portLabel->setBuddy(portEdit_);

    auto* ok = ControlId::tag(new QPushButton(QStringLiteral("OK"), this), 1);
    ok->setDefault(true);
    ok->setGeometry(du.rect(51, 70, 50, 14));
    auto* cancel = ControlId::tag(new QPushButton(QStringLiteral("Cancel"), this), 2);
    cancel->setGeometry(du.rect(105, 70, 50, 14));
    connect(ok, &QPushButton::clicked, this, &EnterIP::accept);
    connect(cancel, &QPushButton::clicked, this, &EnterIP::reject);

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
