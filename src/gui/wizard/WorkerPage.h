#pragma once

#include <functional>
#include <memory>

#include "core/link/Outcome.h"
#include "core/link/PasswordPrompt.h"
#include "core/ops/OperationState.h"
#include "core/wizard/WizardPage.h"
#include "gui/wizard/SetupWizardPage.h"

namespace lm {
class WizardSession;
}

namespace lm::gui {

// A page whose first Next runs a core worker on a thread of its own: Back and Next go off, the
// status and the bar show, and the worker presses Next itself when it is done (or leaves only
// Back). Each run has its own state, so Back or Cancel stops exactly that run, and nothing the
// stopped worker asks for reaches the page afterwards. The page is the channel its worker's
// requests drive, on the GUI thread.
class WorkerPage : public SetupWizardPage, public WorkerChannel {
    Q_OBJECT
public:
    using Work = std::function<Outcome(WizardSession&, WizardPage&, PasswordPrompt*)>;
    // work: what every run does, unless a page makes it from what the user chose (work()).
    WorkerPage(SetupWizard& wizard, int page, wizard::Field status, wizard::Field progress, Work work = {});

    void initializePage() override;
    void activate() override;
    void leave() override;
    bool validatePage() override;

    // The worker's requests, on the GUI thread.
    void status(const std::string& text) override;
    void progressRange(int low, int high) override;
    void progress(int position) override;
    void beep() override;
    Answer ask(const Question& question) override { return neutralAnswer(question.choices); }  // none asks
    void allowMoves(Moves moves) override { setButtons(moves); }
    void moveNext() override;
    void cancelRun() override;
    void allowCancel(bool allowed) override;
    void showNotice(Notice notice, bool shown) override;

    // Worker threads of every sheet that have not ended yet, cancelled ones included.
    static int runningWorkers();

protected:
    // What the next run does, with what it needs from the page taken now.
    virtual Work work() { return work_; }
    // Waits for the run's worker to end, processing the requests it may be blocked in; at most
    // `polls` times pollMs.
    void waitForWorker(int polls, int pollMs);

private:
    void start();
    void showStatus(const QString& text);
    void showControl(wizard::Field field, bool shown);

    wizard::Field status_;
    wizard::Field progress_;
    Work work_;
    QString firstStatus_;                  // what the status says before a worker has said anything
    std::shared_ptr<OperationState> run_;  // closing tells the worker and its password prompt
    bool workerStarted_ = false;
    bool workerDone_ = false;  // the worker pressed Next
};

}  // namespace lm::gui
