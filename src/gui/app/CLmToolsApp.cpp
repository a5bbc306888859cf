#include "gui/app/CLmToolsApp.h"

#include <fcntl.h>
#include <malloc.h>
#include <signal.h>
#include <unistd.h>

#include <QCommandLineParser>
#include <QDir>
#include <QSettings>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/ProgramVersion.h"
#include "core/link/SerialLink.h"
#include "core/link/Session.h"
#include "core/platform/EchoRequests.h"
#include "devsim/DemoNetwork.h"
#include "gui/app/BrandArt.h"
#include "gui/app/CLmToolsDlg.h"
#include "gui/app/Desktop.h"
#include "gui/app/ScreenshotTour.h"

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

// The program's options; --help and bad options end the program when processed.
struct CommandLine {
    QCommandLineParser parser;
    QCommandLineOption demo{
        QStringLiteral("demo"),
        QStringLiteral("Work on simulated devices on this machine instead of the network.")};
    QCommandLineOption screenshots{QStringLiteral("screenshot-dir"),
                                   QStringLiteral("Save the window in each view to DIR, then exit."),
                                   QStringLiteral("DIR")};

    CommandLine() {
        parser.setApplicationDescription(QStringLiteral(
            "Lumetra Tools: finds and maintains Lumetra network cameras and video servers.\n"
            "The serial bit rate is 38400; \"-b 1200\" selects 1200 and \"-b 1200 300\" 300."));
        parser.addHelpOption();
        parser.addVersionOption();
        screenshots.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(demo);
        parser.addOption(screenshots);
    }
};

// The serial switch ("-b 1200", "-b 1200 300") is not an option of Qt's: the constructor reads it.
QStringList commandLineWithoutSerialSwitch(const QString& program, std::vector<std::string> words) {
    takeSerialBitRateSwitch(words);
    QStringList args{program};
    for (const std::string& word : words)
        args.push_back(QString::fromStdString(word));
    return args;
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
    setApplicationVersion(QString::fromLatin1(kProgramVersion));
    // the installed entry's icon and name on Wayland (its file name, in packaging/CMakeLists.txt)
    setDesktopFileName(QStringLiteral("com.lumetra.lmtools"));
    setWindowIcon(BrandArt::windowIcon());
    serialBitRate_ = serialBitRateFromCommandLine(argc, argv);
}

CLmToolsApp::~CLmToolsApp() = default;

void CLmToolsApp::answerHelpOrVersion(int argc, char** argv) {
    std::vector<std::string> words(argv + 1, argv + argc);
    const auto end = std::find(words.begin(), words.end(), "--");
    // -V as lmtools-cli and lmsim take it.
    std::replace(words.begin(), end, std::string("-V"), std::string("--version"));
    const auto asked = [](const std::string& word) {
        return word == "-h" || word == "-?" || word == "--help" || word == "--help-all" || word == "-v" ||
               word == "--version";
    };

    // Named by its program name, so the usage line reads the same wherever it was started from.
    char name[] = "lmtools";
    char* nameOnly[] = {name, nullptr};
    int count = 1;
    QCoreApplication app(count, nameOnly);
    QCoreApplication::setApplicationName(QString::fromLatin1(name));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(kProgramVersion));
    CommandLine commandLine;
    if (std::any_of(words.begin(), end, asked))
        commandLine.parser.process(commandLineWithoutSerialSwitch(name, words));

    // An unknown option is refused before a display is opened: without one, Qt would end the program
    // before saying what was wrong. Qt's own options (-platform, -style, ...) are Qt's to judge.
    const QStringList qtOptions = {QStringLiteral("platform"),        QStringLiteral("platformpluginpath"),
                                   QStringLiteral("platformtheme"),   QStringLiteral("plugin"),
                                   QStringLiteral("qwindowgeometry"), QStringLiteral("qwindowicon"),
                                   QStringLiteral("qwindowtitle"),    QStringLiteral("reverse"),
                                   QStringLiteral("session"),         QStringLiteral("display"),
                                   QStringLiteral("geometry"),        QStringLiteral("style"),
                                   QStringLiteral("stylesheet"),      QStringLiteral("widgetcount"),
                                   QStringLiteral("qmljsdebugger"),   QStringLiteral("nograb"),
                                   QStringLiteral("dograb"),          QStringLiteral("sync")};
    commandLine.parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    if (commandLine.parser.parse(commandLineWithoutSerialSwitch(name, words))) return;
    for (const QString& option : commandLine.parser.unknownOptionNames()) {
        if (qtOptions.contains(option)) continue;
        report(QStringLiteral("unknown option \"%1%2\"; lmtools --help lists the options")
                   .arg(option.size() == 1 ? QStringLiteral("-") : QStringLiteral("--"), option));
        std::exit(64);
    }
}

void CLmToolsApp::parseOptions() {
    std::vector<std::string> words;
    for (const QString& arg : arguments().mid(1))
        words.push_back(arg.toStdString());
    CommandLine commandLine;
    commandLine.parser.process(commandLineWithoutSerialSwitch(arguments().value(0), words));

    screenshotDir_ = commandLine.parser.value(commandLine.screenshots);
    demo_ = commandLine.parser.isSet(commandLine.demo) || !screenshotDir_.isEmpty();
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
