#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <QtTest>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "core/link/Session.h"
#include "gui/ops/GuiThreadChannel.h"
#include "gui/ops/OperationDialog.h"
#include "support/RecordingChannel.h"

using namespace lm;

namespace {

// Runs work on a thread of its own while this (the GUI) thread answers its requests; a worker
// stuck in a request ends the suite by its time limit.
void runOnWorker(const std::function<void()>& work) {
    std::atomic<bool> done{false};
    std::thread worker([&] {
        work();
        done = true;
    });
    while (!done)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    worker.join();
}

// An operation dialog with nothing on it but the frame's own controls.
class PlainDialog : public gui::OperationDialog {
public:
    explicit PlainDialog(Session& session)
        : OperationDialog(session, nullptr, QStringLiteral("127.0.0.1"), std::string(), nullptr) {
        build({0, 0, 100, 40}, {});
    }
};

}  // namespace

class GuiThreadChannelTest : public QObject {
    Q_OBJECT
private slots:
    // Every request reaches the window on the GUI thread, and what the window answers comes back.
    void requestsReachTheWindowOnTheGuiThread() {
        QObject window;
        test::RecordingChannel target;
        target.answer = Answer::Yes;
        std::vector<bool> onGuiThread;
        target.onStatus = [&](const std::string&) {
            onGuiThread.push_back(QThread::currentThread() == QCoreApplication::instance()->thread());
        };
        gui::GuiThreadChannel channel(&window, &target, std::make_shared<OperationState>());
        Answer answer = Answer::Cancel;
        runOnWorker([&] {
            channel.status("Connecting...");
            channel.progressRange(0, 3);
            channel.progress(2);
            channel.allowStart(true);
            channel.allowClose(false);
            channel.allowMoves(Moves::Back | Moves::Next);
            channel.moveNext();
            channel.cancelRun();
            channel.allowCancel(false);
            channel.showNotice(Notice::RomWarning, true);
            answer = channel.ask({"Go on?", "Upgrade", Question::Icon::Question, Choices::YesNo});
            channel.showResult("Done.", "Reboot");
            channel.beep();
            channel.finish();
        });
        QCOMPARE(onGuiThread, std::vector<bool>{true});
        QCOMPARE(answer, Answer::Yes);
        const std::vector<std::string> expected{"status:Connecting...",
                                                "range:0-3",
                                                "progress:2",
                                                "start:on",
                                                "close:off",
                                                "moves:Back|Next",
                                                "next",
                                                "cancel",
                                                "cancel off",
                                                "show:RomWarning",
                                                "box:Upgrade|Go on?",
                                                "box:Reboot|Done.",
                                                "beep",
                                                "finish"};
        QCOMPARE(target.calls(), expected);
    }

    // Once the run is closing, or its window gone, nothing reaches the window and every question
    // gets the answer that does nothing, whatever the window would have said.
    void closingOrGoneWindowIsLeftAlone() {
        for (const bool gone : {false, true}) {
            auto window = std::make_unique<QObject>();
            test::RecordingChannel target;
            target.answer = Answer::Yes;
            auto state = std::make_shared<OperationState>();
            gui::GuiThreadChannel channel(window.get(), &target, state);
            if (gone)
                window.reset();
            else
                state->closing = true;
            const struct {
                Choices choices;
                Answer neutral;
            } cases[] = {
                {Choices::Ok, Answer::Ok}, {Choices::OkCancel, Answer::Cancel}, {Choices::YesNo, Answer::No}};
            std::vector<Answer> answers;
            runOnWorker([&] {
                channel.status("Connecting...");
                channel.allowStart(true);
                channel.moveNext();
                channel.finish();
                for (const auto& c : cases)
                    answers.push_back(
                        channel.ask({"Go on?", "Upgrade", Question::Icon::Question, c.choices}));
            });
            QVERIFY2(target.calls().empty(), gone ? "window gone" : "closing");
            for (std::size_t i = 0; i < std::size(cases); ++i)
                QCOMPARE(answers[i], cases[i].neutral);
        }
    }

    // The dialog's own message box: the button pressed is the answer, by name.
    void messageBoxButtonsAreNamedAnswers() {
        Session session;
        PlainDialog dialog(session);
        const struct {
            Choices choices;
            QMessageBox::StandardButton pressed;
            Answer expected;
        } cases[] = {
            {Choices::Ok, QMessageBox::Ok, Answer::Ok},
            {Choices::OkCancel, QMessageBox::Ok, Answer::Ok},
            {Choices::OkCancel, QMessageBox::Cancel, Answer::Cancel},
            {Choices::YesNo, QMessageBox::Yes, Answer::Yes},
            {Choices::YesNo, QMessageBox::No, Answer::No},
        };
        for (const auto& c : cases) {
            QTimer presser;
            QStringList offered;
            connect(&presser, &QTimer::timeout, [&] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                if (box == nullptr) return;
                for (QAbstractButton* button : box->buttons())
                    offered << button->text();
                if (QAbstractButton* button = box->button(c.pressed)) button->click();
            });
            presser.start(10);
            const Answer answer = dialog.ask({"Go on?", "Upgrade", Question::Icon::Question, c.choices});
            presser.stop();
            QCOMPARE(answer, c.expected);
            QCOMPARE(offered.size(), c.choices == Choices::Ok ? 1 : 2);
        }
    }
};

QTEST_MAIN(GuiThreadChannelTest)
#include "GuiThreadChannelTest.moc"
