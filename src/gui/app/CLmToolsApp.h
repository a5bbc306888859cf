#pragma once

#include <QApplication>
#include <QString>
#include <memory>

#include "core/link/SerialPortMap.h"
#include "core/platform/NetworkProfile.h"

class QSettings;
class QTemporaryDir;

namespace lm {
class Session;
namespace sim {
class DemoNetwork;
}
}  // namespace lm

namespace lm::gui {

class CLmToolsDlg;
class Desktop;

// The application object: reads the command line, starts the simulated devices for --demo, runs
// the main window for the whole life of the program and leaves the process when it closes.
//
//   lmtools [--demo] [-b 1200 [300]] [--help] [--version]
//   --demo                 work on simulated devices on loopback instead of the network
//   --screenshot-dir DIR   (for documentation; implies --demo) save each view as DIR/view-<name>.png
//                          once every device shows its picture, then exit
class CLmToolsApp : public QApplication {
    Q_OBJECT
public:
    CLmToolsApp(int& argc, char** argv);
    ~CLmToolsApp() override;

    // Answers --help and --version and ends the program when either is asked for; returns
    // otherwise. Call it before making the application: it needs no display.
    static void answerHelpOrVersion(int argc, char** argv);

    // The settings of this run's session: the standard ports and places with the environment's
    // overrides, pointed at the simulated devices with --demo (COM1 then reaches the first
    // device's console). False once the reason is reported (the devices cannot start); the program
    // then ends with exitCode().
    bool prepare(NetworkProfile& profile, SerialPortMap& serialPorts);
    int serialBitRate() const { return serialBitRate_; }
    int exitCode() const { return exitCode_; }

    // Opens the main window on the session and runs it until "Close" or the close box.
    int run(Session& session);

    // Ends the process. Scan and thumbnail threads are never waited for and may still be using the
    // window's inventory, so nothing the threads reach is destroyed: only the simulated devices
    // are stopped (their threads are joined and their files removed), and the scratch files removed,
    // before std::_Exit.
    [[noreturn]] void exitNow(int code);

private:
    void parseOptions();
    // Ctrl+C or a polite kill closes the window as the close box does.
    void closeOnTerminationSignals();

    int serialBitRate_ = 38400;
    int exitCode_ = 0;
    bool demo_ = false;
    QString screenshotDir_;
    std::unique_ptr<sim::DemoNetwork> demoNetwork_;
    std::unique_ptr<QTemporaryDir> scratch_;
    std::unique_ptr<QSettings> settings_;
    std::unique_ptr<Desktop> desktop_;
    std::unique_ptr<CLmToolsDlg> window_;
};

}  // namespace lm::gui
