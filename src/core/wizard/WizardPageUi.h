#pragma once

#include <atomic>
#include <memory>
#include <string>

namespace lm {

// How a wizard worker (serial detection, reading, writing) reaches its page and the wizard sheet.
// Every request is synchronous. The desktop program carries each to the GUI thread and waits; the
// command line program prints; tests record.
class WizardPageUi {
public:
    // The sheet's buttons, for setButtons.
    static constexpr int kBack = 1, kNext = 2, kFinish = 4;

    virtual ~WizardPageUi() = default;

    virtual void setStatus(const std::string& text) = 0;
    virtual void setProgressRange(int low, int high) = 0;
    virtual void setProgress(int position) = 0;
    // Shows or hides a text of the page by control id (the failure line, the ROM-version warning).
    virtual void showText(int id, bool shown) = 0;
    // Enables exactly these of the sheet's Back, Next and Finish buttons.
    virtual void setButtons(int buttons) = 0;
    virtual void pressNext() = 0;
    virtual void pressCancel() = 0;
    // The sheet's Cancel button: disabled while the device saves and reboots, so nothing cuts it short.
    virtual void enableCancel(bool enabled) = 0;
    virtual void beep() = 0;
};

// What one worker run shares with its page. Each run has its own, so a page that clears its flags
// for a new run cannot revive a worker it told to stop. Lives in a shared_ptr held by both.
struct WizardRunState {
    std::atomic<bool> abortRequested{false};
    std::atomic<bool> running{false};
};

// A worker's view of its page: every request is skipped once the run is aborted, so after Back or
// Cancel the worker changes nothing on the page or the sheet. Also keeps the progress step count.
class WizardPage {
public:
    WizardPage(WizardPageUi& ui, std::shared_ptr<WizardRunState> state);

    bool aborted() const { return state_->abortRequested.load(); }

    void status(const std::string& text);
    void progressRange(int low, int high);
    void progress(int position);
    void showText(int id, bool shown);
    void buttons(int buttons);
    void pressNext();
    void pressCancel();
    void enableCancel(bool enabled);
    void beep();

    // The bar at 1 with the next step at 2, then each finished step moves the bar to the next
    // position, never past the end of its range.
    void startSteps();
    void step();
    int position() const { return position_; }

private:
    WizardPageUi& ui_;
    std::shared_ptr<WizardRunState> state_;
    int position_ = 0;
    int high_ = 0;
};

}  // namespace lm
