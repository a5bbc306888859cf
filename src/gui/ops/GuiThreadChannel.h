#pragma once

#include <QObject>
#include <QPointer>
#include <memory>
#include <optional>

#include "core/ops/OperationState.h"
#include "core/ops/WorkerChannel.h"
#include "gui/ops/GuiThread.h"

namespace lm::gui {

// A worker's way to its window: each request runs on the GUI thread while the worker waits, and is
// skipped (a question with its neutral answer) once the run is closing or the window is gone. The
// window is itself the channel this one drives, on the GUI thread only: an operation dialog, a
// wizard worker page.
class GuiThreadChannel : public WorkerChannel {
public:
    GuiThreadChannel(QObject* window, WorkerChannel* target, std::shared_ptr<OperationState> state)
        : window_(window), target_(target), state_(std::move(state)) {}
    template <typename Window>
    GuiThreadChannel(Window* window, std::shared_ptr<OperationState> state)
        : GuiThreadChannel(window, window, std::move(state)) {}

    void status(const std::string& text) override {
        send([&](WorkerChannel& to) { to.status(text); });
    }
    void progressRange(int low, int high) override {
        send([&](WorkerChannel& to) { to.progressRange(low, high); });
    }
    void progress(int position) override {
        send([&](WorkerChannel& to) { to.progress(position); });
    }
    void beep() override {
        send([](WorkerChannel& to) { to.beep(); });
    }
    Answer ask(const Question& question) override {
        return answer(neutralAnswer(question.choices), [&](WorkerChannel& to) { return to.ask(question); });
    }
    void showResult(const std::string& text, const std::string& title) override {
        send([&](WorkerChannel& to) { to.showResult(text, title); });
    }
    void finish() override {
        send([](WorkerChannel& to) { to.finish(); });
    }
    void allowStart(bool allowed) override {
        send([&](WorkerChannel& to) { to.allowStart(allowed); });
    }
    void allowClose(bool allowed) override {
        send([&](WorkerChannel& to) { to.allowClose(allowed); });
    }
    void allowMoves(Moves moves) override {
        send([&](WorkerChannel& to) { to.allowMoves(moves); });
    }
    void moveNext() override {
        send([](WorkerChannel& to) { to.moveNext(); });
    }
    void cancelRun() override {
        send([](WorkerChannel& to) { to.cancelRun(); });
    }
    void allowCancel(bool allowed) override {
        send([&](WorkerChannel& to) { to.allowCancel(allowed); });
    }
    void showNotice(Notice notice, bool shown) override {
        send([&](WorkerChannel& to) { to.showNotice(notice, shown); });
    }

private:
    // Checked on the GUI thread: Back, Cancel or closing may have come between the worker's look
    // and now.
    bool open() const { return !window_.isNull() && !state_->closing; }

    template <typename F>
    void send(F work) {
        GuiThread::call([&] {
            if (open()) work(*target_);
        });
    }
    // A call never run (the application going away) answers neutral too.
    template <typename R, typename F>
    R answer(R neutral, F work) {
        const std::optional<R> result = GuiThread::call([&]() -> std::optional<R> {
            if (!open()) return std::nullopt;
            return work(*target_);
        });
        return result.value_or(neutral);
    }

    QPointer<QObject> window_;  // read on the GUI thread only
    WorkerChannel* target_;
    std::shared_ptr<OperationState> state_;
};

}  // namespace lm::gui
