#pragma once

#include <memory>
#include <string>

#include "core/ops/OperationState.h"
#include "core/ops/WorkerChannel.h"

namespace lm {

// A wizard worker's view of its page: every request is skipped once the run is closing, so after
// Back or Cancel the worker changes nothing on the page or the sheet. Also keeps the progress step
// count.
class WizardPage {
public:
    WizardPage(WorkerChannel& channel, std::shared_ptr<OperationState> state);

    bool aborted() const { return state_->closing.load(); }

    void status(const std::string& text);
    void progressRange(int low, int high);
    void progress(int position);
    void showNotice(Notice notice, bool shown);
    void allowMoves(Moves moves);
    void moveNext();
    void cancelRun();
    void allowCancel(bool allowed);
    void beep();

    // The bar at 1 with the next step at 2, then each finished step moves the bar to the next
    // position, never past the end of its range.
    void startSteps();
    void step();
    int position() const { return position_; }

private:
    WorkerChannel& channel_;
    std::shared_ptr<OperationState> state_;
    int position_ = 0;
    int high_ = 0;
};

}  // namespace lm
