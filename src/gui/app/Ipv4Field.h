#pragma once

#include <QLineEdit>

namespace lm::gui {

// A field for a dotted IPv4 address that reads like the platform's IP address control: four
// numbers of 0 to 255, a blank part reading as 0, so an empty field reads "0.0.0.0".
class Ipv4Field : public QLineEdit {
    Q_OBJECT
public:
    explicit Ipv4Field(QWidget* parent = nullptr);

    QString addressText() const;
};

}  // namespace lm::gui
