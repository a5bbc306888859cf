#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/wizard/WizardPageUi.h"

namespace lm::test {

// A wizard page that records what a worker asked of it, one text per request ("status: Reading...",
// "buttons: 1", "next"), and can abort the run after a given status text appears.
class RecordingPage : public WizardPageUi {
public:
    std::shared_ptr<WizardRunState> state = std::make_shared<WizardRunState>();
    WizardPage page{*this, state};
    std::string abortOnStatus;  // aborts the run when a status starting with this is shown

    void setStatus(const std::string& text) override {
        add("status: " + text);
        if (!abortOnStatus.empty() && text.starts_with(abortOnStatus)) state->abortRequested = true;
    }
    void setProgressRange(int low, int high) override {
        add("range: " + std::to_string(low) + "-" + std::to_string(high));
    }
    void setProgress(int position) override {
        std::lock_guard lock(mutex_);
        lastProgress_ = position;
    }
    void showText(int id, bool shown) override { add((shown ? "show: " : "hide: ") + std::to_string(id)); }
    void setButtons(int buttons) override { add("buttons: " + std::to_string(buttons)); }
    void pressNext() override { add("next"); }
    void pressCancel() override { add("cancel"); }
    void enableCancel(bool enabled) override { add(enabled ? "cancel on" : "cancel off"); }
    void beep() override { add("beep"); }

    std::vector<std::string> calls() const {
        std::lock_guard lock(mutex_);
        return calls_;
    }
    int lastProgress() const {
        std::lock_guard lock(mutex_);
        return lastProgress_;
    }
    bool saw(const std::string& call) const {
        for (const auto& c : calls())
            if (c == call) return true;
        return false;
    }
    std::vector<std::string> statuses() const {
        std::vector<std::string> result;
        for (const auto& c : calls())
            if (c.starts_with("status: ")) result.push_back(c.substr(8));
        return result;
    }

private:
    void add(std::string call) {
        std::lock_guard lock(mutex_);
        calls_.push_back(std::move(call));
    }
    mutable std::mutex mutex_;
    std::vector<std::string> calls_;
    int lastProgress_ = 0;
};

}  // namespace lm::test
