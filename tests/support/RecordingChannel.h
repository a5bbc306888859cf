#pragma once

#include <algorithm>
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/ops/OperationState.h"
#include "core/ops/WorkerChannel.h"
#include "core/wizard/WizardPage.h"

namespace lm::test {

// A window for the workers: every call is recorded as one line ("status:...", "box:TITLE|TEXT",
// "moves:Back|Next", ...). Safe to use
// from the worker's thread while the test reads it. Its state closes when a status line starting
// with closeOnStatus is shown, as a window closed at that moment would.
class RecordingChannel : public WorkerChannel {
public:
    void status(const std::string& text) override {
        record("status:" + text);
        if (!closeOnStatus.empty() && text.starts_with(closeOnStatus)) state->closing = true;
        if (onStatus) onStatus(text);
    }
    void progressRange(int low, int high) override {
        record("range:" + std::to_string(low) + "-" + std::to_string(high));
    }
    void progress(int position) override {
        {
            std::lock_guard lock(mutex_);
            lastProgress_ = position;
        }
        if (recordProgress) record("progress:" + std::to_string(position));
        if (onProgress) onProgress(position);
    }
    void beep() override { record("beep"); }
    Answer ask(const Question& question) override {
        record("box:" + question.title + "|" + question.text);
        return answer;
    }
    void finish() override { record("finish"); }
    void allowStart(bool allowed) override { record(allowed ? "start:on" : "start:off"); }
    void allowClose(bool allowed) override { record(allowed ? "close:on" : "close:off"); }

    void allowMoves(Moves moves) override {
        std::string line;
        for (const auto& [move, name] :
             {std::pair{Moves::Back, "Back"}, {Moves::Next, "Next"}, {Moves::Finish, "Finish"}})
            if (moves & move) line += (line.empty() ? "" : "|") + std::string(name);
        record("moves:" + line);
    }
    void moveNext() override { record("next"); }
    void cancelRun() override { record("cancel"); }
    void allowCancel(bool allowed) override { record(allowed ? "cancel on" : "cancel off"); }
    void showNotice(Notice notice, bool shown) override {
        record(std::string(shown ? "show:" : "hide:") +
               (notice == Notice::RomWarning ? "RomWarning" : "CannotProceed"));
    }

    void record(const std::string& call) {
        std::lock_guard lock(mutex_);
        calls_.push_back(call);
    }
    std::vector<std::string> calls() const {
        std::lock_guard lock(mutex_);
        return calls_;
    }
    bool called(const std::string& call) const {
        const auto all = calls();
        return std::find(all.begin(), all.end(), call) != all.end();
    }
    bool saw(const std::string& call) const { return called(call); }
    std::vector<std::string> statuses() const {
        std::vector<std::string> result;
        for (const auto& call : calls())
            if (call.starts_with("status:")) result.push_back(call.substr(7));
        return result;
    }
    int lastProgress() const {
        std::lock_guard lock(mutex_);
        return lastProgress_;
    }

    // Run on the worker's thread after a status line or a progress position was recorded.
    std::function<void(const std::string&)> onStatus;
    std::function<void(int)> onProgress;
    // What every question answers.
    std::atomic<Answer> answer{Answer::Ok};
    // Wizard tests read the bar's last position only, not every step.
    bool recordProgress = true;
    std::shared_ptr<OperationState> state = std::make_shared<OperationState>();
    std::string closeOnStatus;

private:
    mutable std::mutex mutex_;
    std::vector<std::string> calls_;
    int lastProgress_ = 0;
};

// A wizard worker's page over a recording channel, with the run's state.
struct RecordingPage : RecordingChannel {
    RecordingPage() { recordProgress = false; }
    WizardPage page{*this, state};
};

}  // namespace lm::test
