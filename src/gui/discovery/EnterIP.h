#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;

namespace lm::gui {

class Ipv4Field;

// "Manual IP Entry": the address of a device to add by hand and, optionally, its HTTP port.
class EnterIP : public QDialog {
    Q_OBJECT
public:
    enum class Control { None = 0, Ok = 1, Cancel = 2, Port = 1086, Address = 1190 };

    explicit EnterIP(QWidget* parent = nullptr);

    // What OK produced: the address, with ":" and the port unless that is "80" or empty; empty
    // when there is nothing to add (or before OK).
    QString address() const { return address_; }

    // The address field as an IP address control reports it: four dotted numbers, a blank field
    // reading as 0, so an empty field reads "0.0.0.0".
    QString addressText() const;

    void accept() override;

private:
    Ipv4Field* addressEdit_;
    QLineEdit* portEdit_;
    QString address_;
};

}  // namespace lm::gui
