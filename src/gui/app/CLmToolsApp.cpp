#include "app/CLmToolsApp.h"

#include <fcntl.h>
#include <malloc.h>
#include <signal.h>
#include <unistd.h>

#include <QCommandLineParser>
#include <QDir>
#include <QSettings>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "DemoNetwork.h"
#include "app/BrandArt.h"
#include "app/CLmToolsDlg.h"
#include "app/Desktop.h"
#include "app/ScreenshotTour.h"
#include "link/SerialLink.h"
#include "link/Session.h"
#include "platform/EchoRequests.h"

namespace lm::gui {

namespace {

void report(const QString& text) {
    std::fprintf(stderr, "lmtools: %s\n", qPrintable(text));
}

// Written by the signal handler, read on the GUI thread.
int signalPipe[2] = {-1, -1};

void onTerminationSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

}  // namespace

CLmToolsApp::CLmToolsApp(int& argc, char** argv) : QApplication(argc, argv) {
#ifdef __GLIBC__
    // glibc gives threads that allocate at the same time arenas of their own, up to 16 here, and
    // each keeps what the picture fetches freed in it: refreshes of 500 devices grew the program
    // by hundreds of megabytes. Two arenas serve all the threads with room to spare.
    ::mallopt(M_ARENA_MAX, 2);
#endif
    setApplicationName(QStringLiteral("Lumetra Tools"));
    setOrganizationName(QStringLiteral("Lumetra"));
    setApplicationVersion(QStringLiteral("%1.%2.%3")
                              .arg(LMTOOLS_VERSION_MAJOR)
                              .arg(LMTOOLS_VERSION_MINOR)
                              .arg(LMTOOLS_VERSION_PATCH));
    setWindowIcon(BrandArt::windowIcon());
    serialBitRate_ = serialBitRateFromCommandLine(argc, argv);
}

CLmToolsApp::~CLmToolsApp() = default;

void CLmToolsApp::parseOptions() {
    // The serial switch ("-b 1200", "-b 1200 300") is not an option of Qt's: it was read above.
    std::vector<std::string> rest;
    for (const QString& arg : arguments().mid(1))
        rest.push_back(arg.toStdString());
    takeSerialBitRateSwitch(rest);
    QStringList args{arguments().value(0)};
    for (const std::string& arg : rest)
        args.push_back(QString::fromStdString(arg));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Lumetra Tools: finds and maintains Lumetra network cameras and video servers.\n"
                       "The serial bit rate is 38400; \"-b 1200\" selects 1200 and \"-b 1200 300\" 300."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption demo(
        QStringLiteral("demo"),
        QStringLiteral("Work on simulated devices on this machine instead of the network."));
    QCommandLineOption screenshots(QStringLiteral("screenshot-dir"),
                                   QStringLiteral("Save the window in each view to DIR, then exit."),
                                   QStringLiteral("DIR"));
    screenshots.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(demo);
    parser.addOption(screenshots);
    parser.process(args);  // --help, --version and bad options end the program here

    screenshotDir_ = parser.value(screenshots);
    demo_ = parser.isSet(demo) || !screenshotDir_.isEmpty();
}

bool CLmToolsApp::prepare(NetworkProfile& profile, SerialPortMap& serialPorts) {
    parseOptions();
    std::string problem;
    profile = NetworkProfile::fromEnvironment(&problem);
    serialPorts = SerialPortMap::fromEnvironment(&problem);
    if (!problem.empty())
        report(QStringLiteral("ignoring bad settings:\n") + QString::fromStdString(problem));
    if (!demo_) return true;
    problem.clear();
    demoNetwork_ = sim::DemoNetwork::start(profile, &serialPorts, &problem);
    if (demoNetwork_) return true;
    report(QStringLiteral("cannot start the simulated devices: ") + QString::fromStdString(problem));
    exitCode_ = 1;
    return false;
}

int CLmToolsApp::run(Session& session) {
    desktop_ = std::make_unique<Desktop>();
    if (screenshotDir_.isEmpty()) {
        settings_ = std::make_unique<QSettings>(QStringLiteral("Lumetra"), QStringLiteral("Lumetra Tools"));
    } else {
        // Pictures for documentation show the default views and leave the user's settings alone.
        scratch_ = std::make_unique<QTemporaryDir>();
        settings_ = std::make_unique<QSettings>(scratch_->filePath(QStringLiteral("settings.ini")),
                                                QSettings::IniFormat);
        if (!QDir().mkpath(screenshotDir_)) {
            report(QStringLiteral("cannot create ") + screenshotDir_);
            return 1;
        }
    }

    window_ = std::make_unique<CLmToolsDlg>(session, *settings_, *desktop_);
    closeOnTerminationSignals();
    ScreenshotTour* tour = nullptr;
    if (!screenshotDir_.isEmpty()) {
        tour = new ScreenshotTour(*window_, screenshotDir_, sim::DemoNetwork::kDevices);
        tour->start();
    }
    window_->exec();
    return tour && !tour->succeeded() ? 1 : 0;
}

void CLmToolsApp::closeOnTerminationSignals() {
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        while (::read(signalPipe[0], &byte, 1) > 0) {
        }
        window_->close();
    });
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGHUP, &action, nullptr);
}

void CLmToolsApp::exitNow(int code) {
    // An upgrade worker let go by its closed dialog may still hold the echo allowance: the PC's
    // setting goes back before the process does.
    EchoAllowance::restoreFromSignal();
    demoNetwork_.reset();
    scratch_.reset();
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(code);
}

}  // namespace lm::gui
