#include "gui/app/Desktop.h"

#include "gui/app/SaveText.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>

namespace lm::gui {

void Desktop::openUrl(const QUrl& url) {
    QDesktopServices::openUrl(url);
}

QString Desktop::startTelnet(const QString& host, uint16_t port) {
    // Debian's x-terminal-emulator takes the program and its arguments after -e. The terminal would
    // open and close at once without telnet, so both are looked for first.
    const QString terminal = QStringLiteral("x-terminal-emulator");
    const QString telnet = QStringLiteral("telnet");
    if (QStandardPaths::findExecutable(terminal).isEmpty())
        return QStringLiteral(
                   "Telnet cannot be started: no terminal emulator (%1) was found.\n"
                   "Install one, for example: sudo apt install xterm")
            .arg(terminal);
    if (QStandardPaths::findExecutable(telnet).isEmpty())
        return QStringLiteral(
                   "Telnet cannot be started: no telnet client (%1) was found.\n"
                   "Install it: sudo apt install telnet")
            .arg(telnet);
    QStringList arguments{QStringLiteral("-e"), telnet, host};
    if (port != 23) arguments << QString::number(port);
    if (!QProcess::startDetached(terminal, arguments))
        return QStringLiteral("Telnet cannot be started: %1 could not be run.").arg(terminal);
    return {};
}

void Desktop::information(QWidget* parent, const QString& title, const QString& text) {
    QMessageBox::information(parent, title, text);
}

void Desktop::warning(QWidget* parent, const QString& title, const QString& text) {
    QMessageBox::warning(parent, title, text);
}

QString Desktop::saveFileName(QWidget* parent, const QString& title, const QString& filters,
                              QString* selectedFilter) {
    return chooseSaveFile(parent, title, filters, selectedFilter);
}

QString Desktop::openFileName(QWidget* parent, const QString& title, const QString& filters) {
    return QFileDialog::getOpenFileName(parent, title, QString(), filters);
}

bool Desktop::shiftHeld() const {
    return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ShiftModifier);
}

int Desktop::availableScreenWidth() const {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry().width() : 0;
}

}  // namespace lm::gui
