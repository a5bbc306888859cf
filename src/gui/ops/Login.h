#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;

namespace lm::gui {

// "Enter Network Password": asks for the admin password after a device refused the one tried.
class Login : public QDialog {
    Q_OBJECT
public:
    static constexpr int kMessage = 1144;
    static constexpr int kSite = 1143;
    static constexpr int kPassword = 1130;

    // currentPassword is the password just tried: when empty, the prompt says a password is
    // needed and beeps. siteText is shown as it stands.
    Login(const QString& currentPassword, const QString& siteText, QWidget* parent = nullptr);

    // The password field's text, even when empty.
    QString password() const;

private:
    QLineEdit* password_;
};

}  // namespace lm::gui
