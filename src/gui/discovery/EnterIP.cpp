#include "discovery/EnterIP.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

#include "app/ControlId.h"
#include "app/DialogUnits.h"
#include "discovery/ManualEntry.h"

namespace lm::gui {

namespace {

// Up to four dotted numbers of 0 to 255; fields may still be blank while typing.
const QRegularExpression kDottedAddress(QStringLiteral(
    R"(^((25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])?)(\.((25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])?)){0,3}$)"));

}  // namespace

EnterIP::EnterIP(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Manual IP Entry"));
    const DialogUnits du(*this);
    setFixedSize(du.x(162), du.y(90));

    auto* prompt = new QLabel(
        QStringLiteral("Enter the IP address of the device you wish to add to your list.  "), this);
    prompt->setWordWrap(true);
    prompt->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    prompt->setGeometry(du.rect(7, 7, 148, 18));

    addressEdit_ = ControlId::tag(new QLineEdit(this), 1190);
    addressEdit_->setValidator(new QRegularExpressionValidator(kDottedAddress, addressEdit_));
    addressEdit_->setMaxLength(15);
    addressEdit_->setPlaceholderText(QStringLiteral("0.0.0.0"));
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
    QStringList fields = addressEdit_->text().split(QLatin1Char('.'));
    fields.resize(4);
    for (QString& field : fields)
        field = QString::number(field.toUInt());  // blank reads as 0
    return fields.join(QLatin1Char('.'));
}

void EnterIP::accept() {
    address_ = QString::fromStdString(
        manualEntryAddress(addressText().toStdString(), portEdit_->text().toStdString()));
    QDialog::accept();
}

}  // namespace lm::gui
