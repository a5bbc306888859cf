#pragma once

#include <QString>
#include <QUrl>
#include <cstdint>

class QWidget;

namespace lm::gui {

// What the main window asks of the desktop around it: the browser, a terminal running telnet,
// information boxes, the Shift key and the screen width. Tests replace it to record the requests
// instead of launching programs or waiting on modal boxes.
class Desktop {
public:
    virtual ~Desktop() = default;

    // Opens a URL (a web page, or a local file) in the default application; the outcome is not
    // examined.
    virtual void openUrl(const QUrl& url);
    // Starts "telnet HOST" in a terminal emulator, with PORT after the host unless it is the standard
    // 23, each one argument, never through a shell. Returns what kept it from starting, for the user
    // (the terminal emulator or the telnet client missing); empty once it has started.
    virtual QString startTelnet(const QString& host, uint16_t port);
    // A modal message box with the information icon and an OK button.
    virtual void information(QWidget* parent, const QString& title, const QString& text);
    // The same with the warning icon.
    virtual void warning(QWidget* parent, const QString& title, const QString& text);
    // A file dialog for a file to save: filters as "CSV (*.csv);;JSON (*.json)", and the filter
    // chosen goes to selectedFilter. Empty when cancelled.
    virtual QString saveFileName(QWidget* parent, const QString& title, const QString& filters,
                                 QString* selectedFilter);
    // A file dialog for a file to open. Empty when cancelled.
    virtual QString openFileName(QWidget* parent, const QString& title, const QString& filters);
    // Whether Shift is held as the command arrives.
    virtual bool shiftHeld() const;
    // The primary screen's usable width in pixels.
    virtual int availableScreenWidth() const;
};

}  // namespace lm::gui
