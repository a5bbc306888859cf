#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;

namespace lm::gui {

// "Enter Network Password": asks for the admin password after a device refused the one tried.
class Login : public QDialog {
    Q_OBJECT
public:
    enum class Control { None = 0, Ok = 1, Cancel = 2, Password = 1130, Site = 1143, Message = 1144 };

    // currentPassword is the password just tried: when empty, the prompt says a password is
    // needed and beeps. siteText is shown as it stands.
    Login(const QString& currentPassword, const QString& siteText, QWidget* parent = nullptr);

    // The password field's text, even when empty.
    QString password() const;

    // OK: a password with a control character cannot be sent to a device; says so and stays open.
    void accept() override;

private:
    QLineEdit* password_;
    QLabel* message_;
};

}  // namespace lm::gui
