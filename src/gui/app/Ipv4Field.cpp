#include "gui/app/Ipv4Field.h"

#include <QRegularExpressionValidator>

namespace lm::gui {

namespace {

// Up to four dotted numbers of 0 to 255; parts may still be blank while typing.
const QRegularExpression kDottedAddress(QStringLiteral(
    R"(^((25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])?)(\.((25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])?)){0,3}$)"));

}  // namespace

Ipv4Field::Ipv4Field(QWidget* parent) : QLineEdit(parent) {
    setValidator(new QRegularExpressionValidator(kDottedAddress, this));
    setMaxLength(15);
    setPlaceholderText(QStringLiteral("0.0.0.0"));
}

QString Ipv4Field::addressText() const {
    QStringList parts = text().split(QLatin1Char('.'));
    parts.resize(4);
    for (QString& part : parts)
        part = QString::number(part.toUInt());  // blank reads as 0
    return parts.join(QLatin1Char('.'));
}

}  // namespace lm::gui
