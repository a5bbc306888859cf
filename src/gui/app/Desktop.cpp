#include "app/Desktop.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QMessageBox>
#include <QProcess>
#include <QScreen>

namespace lm::gui {

void Desktop::openUrl(const QUrl& url) {
    QDesktopServices::openUrl(url);
}

void Desktop::startTelnet(const QString& host) {
    // Debian's x-terminal-emulator takes the program and its arguments after -e.
    QProcess::startDetached(QStringLiteral("x-terminal-emulator"),
                            {QStringLiteral("-e"), QStringLiteral("telnet"), host});
}

void Desktop::information(QWidget* parent, const QString& title, const QString& text) {
    QMessageBox::information(parent, title, text);
}

bool Desktop::shiftHeld() const {
    return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ShiftModifier);
}

int Desktop::availableScreenWidth() const {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry().width() : 0;
}

}  // namespace lm::gui
