#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <deque>
#include <future>
#include <optional>
#include <set>
#include <vector>

#include "ChildById.h"
#include "core/link/Session.h"
#include "devsim/Simulator.h"
#include "gui/diag/Production.h"
#include "gui/diag/Report.h"
#include "gui/ops/DebugFile.h"
#include "gui/ops/EraseConfig.h"
#include "gui/ops/FixTime.h"
#include "gui/ops/GuiPasswordPrompt.h"
#include "gui/ops/Login.h"
#include "gui/ops/Reboot.h"
#include "gui/ops/RomUpgrade.h"
#include "support/LoopbackPeer.h"

using namespace lm;
using namespace lm::gui;

namespace {

// What the operation dialogs showed in their message boxes; a question gets `answer`, the rest OK.
struct MessageBoxes {
    QList<QStringList> shown;  // {title, text, owner name}
    QList<Question::Icon> icons;
    Answer answer = Answer::No;

    OperationDialog::MessageBoxHandler handler() {
        return [this](QWidget* owner, const QString& text, const QString& title, Question::Icon icon,
                      Choices buttons) {
            shown << QStringList{title, text, owner ? owner->objectName() : QString()};
            icons << icon;
            return buttons == Choices::YesNo ? answer : Answer::Ok;
        };
    }
};

// Answers Login prompts as they come up. The prompt runs in a nested modal loop entered from
// whatever event processing the test is doing, so it is answered from a timer inside that loop.
class LoginAnswers : public QObject {
public:
    // Each answer: a password typed before OK, or nullopt for Cancel.
    explicit LoginAnswers(std::deque<std::optional<QString>> answers) : answers_(std::move(answers)) {
        connect(&timer_, &QTimer::timeout, this, [this] { answer(); });
        timer_.start(20);
    }

    QStringList messages;  // the message line of every prompt seen
    QStringList sites;
    QList<QWidget*> parents;

private:
    void answer() {
        auto* login = qobject_cast<Login*>(QApplication::activeModalWidget());
        if (login == nullptr || answers_.empty() || login->property("answered").toBool()) return;
        login->setProperty("answered", true);
        messages << child<QLabel>(*login, Login::Control::Message)->text();
        sites << child<QLabel>(*login, Login::Control::Site)->text();
        parents << login->parentWidget();
        const std::optional<QString> next = answers_.front();
        answers_.pop_front();
        if (next) {
            QTest::keyClicks(child<QLineEdit>(*login, Login::Control::Password), *next);
            QTest::mouseClick(child<QPushButton>(*login, 1), Qt::LeftButton);
        } else {
            QTest::mouseClick(child<QPushButton>(*login, 2), Qt::LeftButton);
        }
    }

    std::deque<std::optional<QString>> answers_;
    QTimer timer_;
};

DeviceRecord record(std::string id, std::string address) {
    DeviceRecord device;
    device.id = std::move(id);
    device.address = std::move(address);
    return device;
}

constexpr const char* kInvalidPassword = "Invalid Password.  Please enter the admin password.";
constexpr const char* kZelvixXlId = "0012AB-C80001";  // model code 200

}  // namespace

class OperationDialogsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        sim::SimulatorConfig config;
        config.devices = sim::demoDevices(2, *parseIpv4("127.0.93.21"));
        for (auto& device : config.devices)
            device.shell.rebootDelayMs = 100;
        config.devices[kGuarded].shell.password = "s3cret";
        config.tftpPort = test::freeUdpPort();
        simulator_ = std::make_unique<sim::Simulator>(std::move(config));
        std::string error;
        QVERIFY2(simulator_->start(&error), error.c_str());
        for (const auto& device : simulator_->devices())
            addresses_ << QString::fromStdString(dotted(device.address));
        NetworkProfile profile;
        profile.telnetPort = simulator_->telnetPort();
        profile.tftpPort = simulator_->tftpPort();
        // This PC as the upgrade sees it; its echo setting unreadable, so echo requests are allowed.
        profile.interfaces = NetworkProfile::parseInterfaces(
            "127.0.93.1/255.0.0.0,10.0.0.5/255.0.0.0,192.168.1.7/255.255.255.0");
        profile.echoSettingPath = dir_.filePath("none").toStdString();
        session_ = std::make_unique<Session>(profile, Timing::fast());
    }

    void cleanupTestCase() { simulator_->stop(); }

    // Each test starts with the devices up and the default password, as the program does.
    void init() {
        for (std::size_t i = 0; i < 2; ++i)
            QVERIFY(simulator_->waitUntilUp(i, Milliseconds(5000)));
        QCOMPARE(session_->password(), std::string(Session::kDefaultPassword));
    }

    // Which input is missing and its message are the workers' tests' concern; here the address
    // field left with its blank parts reads as none, and Start comes back.
    void missingInputFailsAndReenablesStart() {
        const std::unique_ptr<OperationDialog> dialog = make(false, addresses_[kPlain]);
        child<QLineEdit>(*dialog, 1195)->setText(QStringLiteral("..."));
        QTest::keyClicks(child<QLineEdit>(*dialog, 1192), QStringLiteral("vorna"));
        auto* start = child<QPushButton>(*dialog, Reboot::Id::Yes);
        const int before = int(simulator_->counters(kPlain).reboots);
        QTest::mouseClick(start, Qt::LeftButton);
        QVERIFY(!start->isEnabled());
        QTRY_COMPARE(child<QLabel>(*dialog, 1018)->text(),
                     QStringLiteral("You must specify the IP address."));
        QTRY_VERIFY(start->isEnabled());
        QTRY_VERIFY(!dialog->state()->running);
        QVERIFY(dialog->isVisible());
        QVERIFY(boxes_.shown.isEmpty());
        QCOMPARE(int(simulator_->counters(kPlain).reboots), before);
    }

    // The password field has the focus and hides what is typed, and Cancel is the default. The
    // reboot afterwards is offered checked; unchecked, even after Proceed, the device is not rebooted.
    void eraseWithoutRebootSucceeds() {
        const std::unique_ptr<OperationDialog> dialog = make(true, addresses_[kPlain]);
        QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
        auto* password = child<QLineEdit>(*dialog, 1192);
        QCOMPARE(password->echoMode(), QLineEdit::Password);
        QCOMPARE(QApplication::focusWidget(), password);
        QVERIFY(child<QPushButton>(*dialog, 2)->isDefault());
        QVERIFY(child<QCheckBox>(*dialog, EraseConfig::Id::RebootAfterwards)->isChecked());
        QSignalSpy accepted(dialog.get(), &QDialog::accepted);
        const int before = int(simulator_->counters(kPlain).reboots);
        QTest::keyClicks(password, QStringLiteral("vorna"));
        QTest::mouseClick(child<QPushButton>(*dialog, EraseConfig::Id::Proceed), Qt::LeftButton);
        // The worker asks on this thread, so it cannot have asked before this.
        child<QCheckBox>(*dialog, EraseConfig::Id::RebootAfterwards)->setChecked(false);
        QTRY_COMPARE_WITH_TIMEOUT(accepted.count(), 1, 15000);
        // The erase's commands and texts are the workers' tests' concern.
        QCOMPARE(boxes_.shown.size(), 1);
        QCOMPARE(boxes_.shown[0][0], QStringLiteral("Erase Config"));
        QCOMPARE(int(simulator_->counters(kPlain).reboots), before);
        QTRY_VERIFY(!dialog->state()->running);
    }

    // The device refuses the typed password: the prompt over the dialog takes the right one, and
    // the reboot ends with its message box over the dialog.
    void refusedPasswordIsAskedFor() {
        const std::unique_ptr<OperationDialog> dialog = make(false, addresses_[kGuarded], "site text");
        QSignalSpy accepted(dialog.get(), &QDialog::accepted);
        const int before = int(simulator_->counters(kGuarded).reboots);
        LoginAnswers answers({QStringLiteral("s3cret")});
        QTest::keyClicks(child<QLineEdit>(*dialog, 1192), QStringLiteral("wrong"));
        QTest::mouseClick(child<QPushButton>(*dialog, Reboot::Id::Yes), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(accepted.count(), 1, 15000);
        QCOMPARE(answers.messages, QStringList{QString::fromLatin1(kInvalidPassword)});
        QCOMPARE(answers.sites, QStringList{QStringLiteral("site text")});
        QCOMPARE(answers.parents, QList<QWidget*>{dialog.get()});
        QCOMPARE(boxes_.shown,
                 (QList<QStringList>{{QStringLiteral("Reboot Camera"),
                                      QStringLiteral("The device will take\na few seconds to reboot."),
                                      dialog->objectName()}}));
        QVERIFY(!dialog->isVisible());
        QCOMPARE(int(simulator_->counters(kGuarded).reboots), before + 1);
        QTRY_VERIFY(!dialog->state()->running);
        QCOMPARE(session_->password(), std::string(Session::kDefaultPassword));
    }

    // Closing while the worker sits in its pause after "reboot": the dialog goes at once the
    // worker is done, and the final message box is never shown.
    void closingWhileRunningShowsNothingMore() {
        Timing slow = Timing::fast();
        slow.pauseScale = 1.0;  // the worker's 2 s pause, long enough to close in
        NetworkProfile profile;
        profile.telnetPort = simulator_->telnetPort();
        Session session(profile, slow);
        Reboot dialog(session, nullptr, addresses_[kPlain], {});
        dialog.setMessageBoxHandler(boxes_.handler());
        dialog.show();
        QTest::keyClicks(child<QLineEdit>(dialog, 1192), QStringLiteral("vorna"));
        QTest::mouseClick(child<QPushButton>(dialog, Reboot::Id::Yes), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(child<QLabel>(dialog, 1018)->text(), QStringLiteral("Rebooting..."), 10000);
        QVERIFY(dialog.state()->running);
        dialog.close();
        QVERIFY(!dialog.isVisible());
        QVERIFY(dialog.state()->closing);
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.state()->running, 15000);
        QVERIFY(boxes_.shown.isEmpty());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(child<QLabel>(dialog, 1018)->text(), QStringLiteral("Rebooting..."));
    }

    // The prompt asked from a worker thread blocks only that thread and hands back what was typed,
    // even nothing; Cancel leaves the password alone.
    void promptFromWorkerThread() {
        QDialog owner;
        owner.show();
        auto state = std::make_shared<OperationState>();
        GuiPasswordPrompt prompt(&owner, "site", state);
        LoginAnswers answers({QString(), std::nullopt, QStringLiteral("next")});
        // Asked on a thread of its own; what it gave back: accepted, and the password.
        const auto ask = [&prompt](std::string password) {
            return std::async(std::launch::async, [&prompt, password]() mutable {
                const bool accepted = prompt.askPassword(password);
                return std::pair(accepted, password);
            });
        };
        const auto ready = [](const auto& asked) {
            return asked.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
        };
        auto empty = ask("wrong");
        QTRY_VERIFY(ready(empty));
        QVERIFY(empty.get() == std::pair(true, std::string()));
        auto cancelled = ask("");
        QTRY_VERIFY(ready(cancelled));
        QVERIFY(cancelled.get() == std::pair(false, std::string()));
        QCOMPARE(answers.messages, (QStringList{QString::fromLatin1(kInvalidPassword),
                                                QStringLiteral("You must enter a password!")}));

        // Once the dialog is closing, no prompt comes up: the answer is Cancel.
        state->closing = true;
        auto typed = ask("x");
        QTRY_VERIFY(ready(typed));
        QVERIFY(!typed.get().first);
        QCOMPARE(answers.messages.size(), 2);
    }

    // Set Time works as soon as it opens, and OK waits for the worker. Its end, good or bad: the texts
    // no longer say the update is in progress, OK is the way out and Cancel is off; nothing else is
    // switched. The guarded device refuses the default password and the prompt is cancelled, so the
    // time cannot be set.
    void setTimeEndsWithItsFinalStatus() {
        const struct {
            std::size_t device;
            QString status;
        } cases[] = {{kPlain, QStringLiteral("Time is set.")},
                     {kGuarded, QString::fromLatin1(gui::FixTime::kFailed)}};
        for (const auto& [device, status] : cases) {
            boxes_ = {};
            LoginAnswers answers({std::nullopt, std::nullopt, std::nullopt, std::nullopt});
            gui::FixTime setTime(*session_, addresses_[device]);
            setTime.setMessageBoxHandler(boxes_.handler());
            auto* cancel = child<QPushButton>(setTime, OperationDialog::kCancel);
            auto* ok = child<QPushButton>(setTime, gui::FixTime::kOk);
            setTime.show();
            QVERIFY(cancel->isEnabled());
            QVERIFY(!ok->isEnabled());
            QTRY_VERIFY_WITH_TIMEOUT(ok->isEnabled(), 10000);
            QTRY_COMPARE(child<QLabel>(setTime, 1018)->text(), status);
            QVERIFY(!cancel->isEnabled());
            QStringList texts;
            for (const QLabel* label : setTime.findChildren<QLabel*>()) {
                texts << label->text();
                QVERIFY2(label->isEnabled(), qPrintable(label->text()));
            }
            QVERIFY(texts.contains(QString::fromLatin1(gui::FixTime::kEndedIntro)));
            QVERIFY(!texts.join(' ').contains(QStringLiteral("in progress")));
            if (device == kPlain) {
                QCOMPARE(child<QProgressBar>(setTime, gui::FixTime::Id::Progress)->value(), 2);
                QCOMPARE(simulator_->commands(kPlain).back(), std::string("clock -S"));
            }
            QCOMPARE(boxes_.shown.size(), device == kPlain ? 0 : 1);
            QTRY_VERIFY(!session_->busy());
            session_->resetPassword();
        }
    }

    // A log window reads as soon as it opens, asks for the password the device wants, and shows the
    // log as plain fixed-pitch text. It saves what it shows, copies the selection or else the whole
    // log, and finds text in any case, round the end; a file that cannot be written and text that is
    // not there are said.
    void logWindowReadsSavesCopiesAndFinds() {
        DebugFile log(*session_, addresses_[kGuarded], kDebugLog);
        QCOMPARE(log.windowTitle(), "Debug Log for " + addresses_[kGuarded]);
        QString offered;
        QString target = dir_.filePath(QStringLiteral("dmesg.txt"));
        log.setSaveChooser([&](QWidget*, const QString&, const QString& filters, QString*) {
            offered = filters;
            return target;
        });
        LoginAnswers answers({QStringLiteral("s3cret")});
        log.show();
        auto* status = child<QLineEdit>(log, 1018);
        QTRY_COMPARE_WITH_TIMEOUT(status->text(), QStringLiteral("Log read and displayed."), 10000);
        QCOMPARE(answers.messages, QStringList{QString::fromLatin1(kInvalidPassword)});
        auto* text = child<QPlainTextEdit>(log, DebugFile::Id::Log);
        QTRY_VERIFY(text->toPlainText().startsWith(QStringLiteral("Linux version")));
        QVERIFY(text->isReadOnly() && status->isReadOnly());
        QCOMPARE(text->lineWrapMode(), QPlainTextEdit::NoWrap);
        QVERIFY(QFontInfo(text->font()).fixedPitch());
        QVERIFY(child<QPushButton>(log, 1)->isDefault());

        log.activateWindow();  // the prompt had it
        QVERIFY(QTest::qWaitForWindowActive(&log));
        QTest::keySequence(&log, QKeySequence::Save);
        QFile saved(target);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(saved.readAll()), text->toPlainText());
        QVERIFY(offered.contains(QStringLiteral("*.txt")));
        QCOMPARE(status->text(), "Saved to " + target + ".");
        target = dir_.filePath(QStringLiteral("missing/dmesg.txt"));
        QTest::mouseClick(child<QPushButton>(log, DebugFile::Id::SaveAs), Qt::LeftButton);
        QVERIFY(status->text().startsWith("Could not save to " + target + ": "));

        QApplication::clipboard()->clear();
        QTest::mouseClick(child<QPushButton>(log, DebugFile::Id::Copy), Qt::LeftButton);
        QCOMPARE(QApplication::clipboard()->text(), text->toPlainText());

        auto* find = child<QLineEdit>(log, DebugFile::Id::Find);
        QTest::keyClicks(find, QStringLiteral("lINUX VERSION"));
        QTest::keyClick(find, Qt::Key_Return);
        QCOMPARE(text->textCursor().selectedText(), QStringLiteral("Linux version"));
        const int first = text->textCursor().position();
        for (int i = 0; i < 20 && text->textCursor().position() == first; ++i)
            QTest::mouseClick(child<QPushButton>(log, DebugFile::Id::FindNext), Qt::LeftButton);
        // However many times it appears, going on comes back round to the first.
        for (int i = 0; i < 20 && text->textCursor().position() != first; ++i)
            QTest::mouseClick(child<QPushButton>(log, DebugFile::Id::FindNext), Qt::LeftButton);
        QCOMPARE(text->textCursor().position(), first);
        QTest::mouseClick(child<QPushButton>(log, DebugFile::Id::Copy), Qt::LeftButton);
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("Linux version"));

        find->setText(QStringLiteral("no such words"));
        QTest::keyClick(find, Qt::Key_Return);
        QCOMPARE(status->text(), QStringLiteral("\"no such words\" is not in the log."));
        QTRY_VERIFY(!session_->busy());
        session_->resetPassword();
    }

    // Closed while its worker waits on a silent device, Set Time goes at once; a second one opened
    // meanwhile starts no worker of its own and never gets the first one's result.
    void setTimeClosedMidRunAndOpenedAgain() {
        test::LoopbackPeer silent;
        NetworkProfile profile;
        profile.telnetPort = silent.port();
        Session session(profile, Timing::fast());
        auto first = std::make_unique<gui::FixTime>(session, QStringLiteral("127.0.0.1"));
        first->setMessageBoxHandler(boxes_.handler());
        first->show();
        QTRY_VERIFY(session.busy());
        first->reject();
        QVERIFY(!first->isVisible());
        first.reset();

        gui::FixTime second(session, QStringLiteral("127.0.0.1"));
        second.setMessageBoxHandler(boxes_.handler());
        second.show();
        const QString busy = QString::fromLatin1(Session::kBusyText);
        QCOMPARE(child<QLabel>(second, 1018)->text(), busy);
        QVERIFY(child<QPushButton>(second, gui::FixTime::kOk)->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!session.busy(), 10000);
        QTest::qWait(50);
        QCOMPARE(silent.taken(), 2);  // the first worker's login and its retry, nothing more
        QCOMPARE(child<QLabel>(second, 1018)->text(), busy);
        QCOMPARE(child<QProgressBar>(second, gui::FixTime::Id::Progress)->value(), 0);
        QVERIFY(boxes_.shown.isEmpty());
    }

    // The report fills every field and box as its worker reads them, with Close disabled until it
    // is done; closed mid run and destroyed, it is left alone while the device is still logged out.
    void reportShowsEveryFieldAndClosesMidRun() {
        const QString id = QStringLiteral("0012AB-<b>C80001</b>");  // device text is never markup
        {
            Report report(*session_, id, addresses_[kPlain]);
            auto* close = child<QPushButton>(report, Report::kClose);
            QCOMPARE(report.windowTitle(), QStringLiteral("Activity Summary Report"));
            // The ids the window has always had: 1216 the comments, 1200 the MAC.
            QCOMPARE(child<QLineEdit>(report, 1216)->text(), QStringLiteral("Static"));
            report.show();
            QVERIFY(!close->isEnabled());
            QTRY_VERIFY_WITH_TIMEOUT(close->isEnabled(), 20000);
            QTRY_VERIFY(!session_->busy());
            QCOMPARE(report.report().comments, std::string("Report Complete."));
            for (const ReportField& field : kReportFields) {
                auto* value = child<QLineEdit>(report, int(Report::controlOf(field.field)));
                QVERIFY(value->isReadOnly());
                QCOMPARE(value->text().toStdString(), report.report().*(field.value));
                QVERIFY2(!value->text().isEmpty(), field.key);
            }
            QCOMPARE(child<QLineEdit>(report, 1200)->text(), id);
            int checked = 0;
            for (const ReportRating& rating : kReportRatings) {
                const bool on = child<QCheckBox>(report, int(Report::controlOf(rating.check)))->isChecked();
                QCOMPARE(on, report.report().ratings.*(rating.value));
                checked += on;
            }
            QVERIFY(checked > 0);
            // The boxes show the worker's verdict: a click on one, as the window gets it, changes none.
            auto* box = child<QCheckBox>(report, int(Report::controlOf(ActivityCheck::TempOk)));
            const bool verdict = box->isChecked();
            QTest::mouseClick(report.windowHandle(), Qt::LeftButton, {}, box->geometry().center());
            QCOMPARE(box->isChecked(), verdict);
            QVERIFY(!session_->telnet().isOpen());
        }

        const sim::DeviceCounters before = simulator_->counters(kPlain);
        auto report = std::make_unique<Report>(*session_, id, addresses_[kPlain]);
        // Closed while the worker waits for the window to show its progress: surely mid run.
        bool closed = false;
        connect(child<QLineEdit>(*report, int(ReportControl::Comments)), &QLineEdit::textChanged,
                report.get(), [&](const QString& text) {
                    if (text != QStringLiteral("Running cat /proc/uptime...")) return;
                    closed = true;
                    report->reject();
                });
        report->show();
        QTRY_VERIFY_WITH_TIMEOUT(closed, 20000);
        report.reset();  // the worker runs on with no window to touch
        QTRY_VERIFY_WITH_TIMEOUT(!session_->busy(), 20000);
        QCOMPARE(simulator_->counters(kPlain).logins, before.logins + 1);
        QVERIFY(!session_->telnet().isOpen());
    }

    // A report that cannot log in says why in its comments and still lets the user close it.
    void reportThatCannotLogInEnablesClose() {
        Report report(*session_, QStringLiteral("024C55-C80099"), QStringLiteral("127.0.93.99"));
        auto* close = child<QPushButton>(report, Report::kClose);
        report.show();
        QTRY_VERIFY_WITH_TIMEOUT(close->isEnabled(), 20000);
        const QString failure = QStringLiteral("Unable to establish telnet session.");
        QCOMPARE(child<QLineEdit>(report, int(ReportControl::Comments))->text(), failure);
        QCOMPARE(QString::fromStdString(report.report().comments), failure);
        QCOMPARE(child<QLineEdit>(report, int(ReportControl::Uptime))->text(), QString());
        QTRY_VERIFY(!session_->busy());
    }

    // The production test lists the devices by id under the criteria row and fills each row as it
    // goes: the refused device by its reason, the other by its cells and verdict.
    void productionFillsRowsInIdOrder() {
        ProductionSettings settings;
        settings.profile = session_->profile();
        settings.timing = session_->timing();
        Production production({record("ZZ-plain", addresses_[kPlain].toStdString()),
                               record("AA-guarded", addresses_[kGuarded].toStdString())},
                              settings);
        auto* list = child<QTreeWidget>(production, Production::kList);
        auto* status = child<QLabel>(production, Production::kStatus);
        QCOMPARE(production.windowTitle(), QStringLiteral("Production Test Summary"));
        QCOMPARE(status->text(), QStringLiteral("Working..."));
        QCOMPARE(list->topLevelItemCount(), 3);
        QCOMPARE(list->topLevelItem(1)->text(0), QStringLiteral("??  AA-guarded"));
        production.show();
        QTRY_COMPARE_WITH_TIMEOUT(status->text(), QStringLiteral("Report Complete."), 30000);
        QTRY_VERIFY(!production.shared()->running);

        // Each cell's rule is the production rules' tests' concern.
        const auto widths = productionColumnWidths(list->viewport()->width());
        for (std::size_t c = 0; c < kProductionColumns; ++c) {
            QCOMPARE(list->topLevelItem(0)->text(int(c)), QString::fromLatin1(kProductionCriteria[c]));
            QCOMPARE(list->columnWidth(int(c)), widths[c]);
        }
        QCOMPARE(list->topLevelItem(1)->text(0), QStringLiteral("No  AA-guarded"));
        QCOMPARE(list->topLevelItem(1)->text(1), QStringLiteral("Password"));
        QCOMPARE(list->topLevelItem(2)->text(0), QStringLiteral("OK  ZZ-plain"));
        QCOMPARE(list->topLevelItem(2)->text(9), QStringLiteral(" 4.2.1"));

        // Export: CSV under the list's own titles, or JSON by the file's name; the ID stands alone.
        QString target;
        QString filter = QStringLiteral("CSV (*.csv)");
        production.setSaveChooser([&](QWidget*, const QString&, const QString&, QString* chosen) {
            *chosen = filter;
            return target;
        });
        auto* exportButton = child<QPushButton>(production, ProductionControl::Export);
        target = dir_.filePath(QStringLiteral("production"));
        QTest::mouseClick(exportButton, Qt::LeftButton);
        QFile csv(target);
        QVERIFY(csv.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = csv.readAll().split('\n');
        QVERIFY(lines[0].startsWith("MAC,Duration,Rate,Exposure,PID,Devices,Temperature,"));
        QVERIFY(lines[0].endsWith("Verdict\r"));
        QVERIFY(lines[1].startsWith("AA-guarded,Password,"));
        QVERIFY(lines[1].endsWith(",No\r"));
        QVERIFY(lines[2].startsWith("ZZ-plain,"));
        QVERIFY(lines[2].endsWith(",OK\r"));
        QCOMPARE(status->text(), "Results saved to " + target + ".");

        target = dir_.filePath(QStringLiteral("production.json"));
        QTest::mouseClick(exportButton, Qt::LeftButton);
        QFile json(target);
        QVERIFY(json.open(QIODevice::ReadOnly));
        const QJsonArray rows = QJsonDocument::fromJson(json.readAll()).array();
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0].toObject()[QStringLiteral("id")].toString(), QStringLiteral("AA-guarded"));
        QCOMPARE(rows[0].toObject()[QStringLiteral("verdict")].toString(), QStringLiteral("No"));
        QCOMPARE(rows[1].toObject()[QStringLiteral("firmware")].toString(), QStringLiteral("4.2.1"));

        target = dir_.filePath(QStringLiteral("missing/production.csv"));
        QTest::mouseClick(exportButton, Qt::LeftButton);
        QVERIFY(status->text().startsWith("The results could not be saved to " + target + ": "));
    }

    // Closed while the first of three devices keeps it waiting, the window goes at once and the
    // worker stops without trying the others.
    void productionClosedMidRunStops() {
        test::LoopbackPeer silent;
        ProductionSettings settings;
        settings.profile.telnetPort = silent.port();
        settings.timing = Timing::fast();
        const std::vector<DeviceRecord> devices = {record("a", "127.0.0.1"), record("b", "127.0.0.1"),
                                                   record("c", "127.0.0.1")};
        auto production = std::make_unique<Production>(devices, settings);
        const auto shared = production->shared();
        production->show();
        const auto* status = child<QLabel>(*production, Production::kStatus);
        QTRY_COMPARE(status->text(), QStringLiteral("Checking device 1: Establishing Telnet session..."));
        // The status comes before the connection: close only once the first device is reached.
        int connections = 0;
        QTRY_VERIFY((connections += silent.taken()) == 1);
        production->reject();
        production.reset();
        QTRY_VERIFY_WITH_TIMEOUT(!shared->running, 20000);
        QCOMPARE(connections + silent.taken(), 1);
    }

    // The upgrade dialog: this computer's address, nothing clipped, and the file dialog's start and
    // filter (which filter a model gets is the firmware family's tests' concern).
    void upgradeOpeningAndBrowse() {
        const std::unique_ptr<RomUpgrade> dialog = upgrade(kZelvixXlId);
        QCOMPARE(child<QLineEdit>(*dialog, RomUpgrade::Id::PcAddress)->text(), QStringLiteral("192.168.1.7"));
        for (const QWidget* text : dialog->findChildren<QWidget*>()) {
            if (qobject_cast<const QLabel*>(text) || qobject_cast<const QCheckBox*>(text))
                QVERIFY2(text->sizeHint().width() <= text->width(), qPrintable(text->objectName()));
        }
        QStringList asked;  // start path, filter
        dialog->setFileChooser([&](QWidget*, const QString& start, const QString& offered) {
            asked = {start, offered};
            return QStringLiteral("/fw/chosen.bin");
        });
        QTest::mouseClick(child<QPushButton>(*dialog, RomUpgrade::Id::Browse), Qt::LeftButton);
        QCOMPARE(asked, (QStringList{QDir::currentPath() + "/",
                                     "Zelvix XL Binary Files (zelvixxl-*.bin);;All Binary Files (*.bin)"}));
        QCOMPARE(child<QLineEdit>(*dialog, RomUpgrade::Id::RomFile)->text(),
                 QStringLiteral("/fw/chosen.bin"));
    }

    // The path in the field, chosen or typed, must carry the model's prefix in any case; otherwise
    // only Yes to the question starts the worker (which then stops at the empty password).
    void upgradeNameCheckBeforeStarting() {
        const struct {
            const char* id;
            QString path;
            Answer answer;
            bool asked, started;
        } cases[] = {
            {kZelvixXlId, "/fw/ZELVIXXL-1.2.bin", Answer::No, false, true},
            {kZelvixXlId, "/fw/draviel-1.2.bin", Answer::No, true, false},
            {kZelvixXlId, "/fw/draviel-1.2.bin", Answer::Yes, true, true},
            {kZelvixXlId, "/fw/zelvixxl-4.3/draviel-1.2.bin", Answer::No, true, false},
            {"Device  1", "/fw/anything.BIN", Answer::No, false, true},
        };
        for (const auto& [id, path, answer, asked, started] : cases) {
            boxes_ = {};
            boxes_.answer = answer;
            const std::unique_ptr<RomUpgrade> dialog = upgrade(id);
            child<QLineEdit>(*dialog, RomUpgrade::Id::RomFile)->setText(path);
            QTest::mouseClick(child<QPushButton>(*dialog, RomUpgrade::Id::Upgrade), Qt::LeftButton);
            // The question names the files the device takes.
            const QString expected = QString::fromStdString(mismatchQuestion(firmwareFamily(200)));
            QVERIFY(expected.contains("zelvixxl-*.bin"));
            const QStringList question{kMismatchTitle, expected, "operation"};
            QCOMPARE(boxes_.shown, asked ? QList<QStringList>{question} : QList<QStringList>{});
            QCOMPARE(boxes_.icons, asked ? QList{Question::Icon::Warning} : QList<Question::Icon>{});
            QTRY_COMPARE(child<QLabel>(*dialog, 1018)->text(),
                         started ? "You must specify the administrator password."
                                 : "Please enter the password and file name to use...");
            QTRY_VERIFY(!dialog->state()->running);
        }
    }

    // Clearing the erase box warns; the network box is enabled exactly while the erase box is checked.
    void upgradeEraseBoxRule() {
        const std::unique_ptr<RomUpgrade> dialog = upgrade(kZelvixXlId);
        auto* erase = child<QCheckBox>(*dialog, RomUpgrade::Id::EraseConfig);
        auto* saveNetwork = child<QCheckBox>(*dialog, RomUpgrade::Id::SaveNetwork);
        QVERIFY(erase->isChecked() && !saveNetwork->isChecked() && saveNetwork->isEnabled());
        QTest::mouseClick(erase, Qt::LeftButton);
        QCOMPARE(boxes_.shown, (QList<QStringList>{{"Warning!", kKeepConfigWarning, "operation"}}));
        QCOMPARE(boxes_.icons, QList{Question::Icon::Question});
        QVERIFY(!saveNetwork->isEnabled());
        QTest::mouseClick(erase, Qt::LeftButton);
        QCOMPARE(boxes_.shown.size(), 1);
        QVERIFY(saveNetwork->isEnabled());
    }

    // A small image to a simulated device: the bar fills and the final box ends the dialog.
    void upgradeRunsToTheEnd() {
        QFile file(dir_.filePath("zelvixxl-test.bin"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QByteArray(40000, 'x')) == 40000);
        file.close();
        const std::unique_ptr<RomUpgrade> dialog = upgrade(kZelvixXlId, addresses_[kPlain]);
        child<QLineEdit>(*dialog, RomUpgrade::Id::RomFile)->setText(file.fileName());
        QTest::keyClicks(child<QLineEdit>(*dialog, 1192), QStringLiteral("vorna"));
        QSignalSpy accepted(dialog.get(), &QDialog::accepted);
        QTest::mouseClick(child<QPushButton>(*dialog, RomUpgrade::Id::Upgrade), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(accepted.count(), 1, 20000);
        auto* bar = child<QProgressBar>(*dialog, RomUpgrade::Id::Progress);
        QCOMPARE(bar->maximum(), 3);  // 79 blocks of 512 bytes, a step every 32
        QCOMPARE(bar->value(), 3);
        QCOMPARE(boxes_.shown.size(), 1);
        QCOMPARE(boxes_.shown[0][0], QStringLiteral("Firmware Upgrade"));
        // Behind the final box the dialog says it is done, not "in progress", and has nothing to cancel.
        QCOMPARE(child<QLabel>(*dialog, 1018)->text(),
                 QStringLiteral("The ROM file has been sent: the upgrade is complete."));
        QVERIFY(!child<QPushButton>(*dialog, OperationDialog::kCancel)->isEnabled());
        QTRY_VERIFY(!dialog->state()->running);
    }

    // Each table puts every control inside its dialog, gives an id to one control only, and follows
    // every field label with the field it names.
    void tablesPlaceEveryControlInsideOnce() {
        std::vector<std::unique_ptr<OperationDialog>> dialogs;
        dialogs.push_back(std::make_unique<Reboot>(*session_, nullptr, addresses_[kPlain], std::string()));
        dialogs.push_back(
            std::make_unique<EraseConfig>(*session_, nullptr, addresses_[kPlain], std::string()));
        dialogs.push_back(std::make_unique<gui::FixTime>(*session_, addresses_[kPlain]));
        dialogs.push_back(std::make_unique<DebugFile>(*session_, addresses_[kPlain], kSystemLog));
        dialogs.push_back(std::make_unique<RomUpgrade>(*session_, nullptr, QStringLiteral("024C55-C81234"),
                                                       addresses_[kPlain], std::string()));
        for (const auto& dialog : dialogs) {
            const QString name = dialog->windowTitle();
            std::set<int> ids;
            for (QWidget* widget : dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
                if (widget->isHidden()) continue;  // the hidden OK button has no place
                QVERIFY2(dialog->rect().contains(widget->geometry()), qPrintable(name));
                if (const QVariant id = widget->property("controlId"); id.isValid())
                    QVERIFY2(ids.insert(id.toInt()).second, qPrintable(name + QString::number(id.toInt())));
                if (auto* label = qobject_cast<QLabel*>(widget);
                    label && label->text().endsWith(QLatin1Char(':')))
                    QVERIFY2(label->buddy() != nullptr, qPrintable(name + label->text()));
            }
            QVERIFY2(ids.contains(OperationDialog::kStatusLine), qPrintable(name));
        }
    }

    void cleanup() { boxes_ = {}; }

private:
    static constexpr std::size_t kPlain = 0;    // admin password "vorna"
    static constexpr std::size_t kGuarded = 1;  // admin password "s3cret"

    // A Reboot or Erase Configuration dialog, shown, whose message boxes are recorded.
    std::unique_ptr<OperationDialog> make(bool erase, const QString& address, std::string site = {}) {
        std::unique_ptr<OperationDialog> dialog;
        if (erase)
            dialog = std::make_unique<EraseConfig>(*session_, &scanInProgress_, address, std::move(site));
        else
            dialog = std::make_unique<Reboot>(*session_, &scanInProgress_, address, std::move(site));
        dialog->setObjectName(QStringLiteral("operation"));
        dialog->setMessageBoxHandler(boxes_.handler());
        dialog->show();
        return dialog;
    }

    std::unique_ptr<RomUpgrade> upgrade(const char* id,
                                        const QString& address = QStringLiteral("192.168.1.50")) {
        auto dialog = std::make_unique<RomUpgrade>(*session_, &scanInProgress_, id, address, "");
        dialog->setObjectName(QStringLiteral("operation"));
        dialog->setMessageBoxHandler(boxes_.handler());
        dialog->show();
        return dialog;
    }

    QTemporaryDir dir_;
    std::unique_ptr<sim::Simulator> simulator_;
    std::unique_ptr<Session> session_;
    QStringList addresses_;
    std::atomic<bool> scanInProgress_{false};
    MessageBoxes boxes_;
};

QTEST_MAIN(OperationDialogsTest)
#include "OperationDialogsTest.moc"
