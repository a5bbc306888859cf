#pragma once

#include <algorithm>
#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/ops/OperationUi.h"
#include "support/ScriptedPrompt.h"

namespace lm::test {

// A window for the workers: fields and check boxes answer from the script, every call is recorded
// as one line ("status:...", "field:1195", "box:TITLE|TEXT", ...). Safe to use from the worker's
// thread while the test reads it.
class RecordingUi : public OperationUi {
public:
    RecordingUi(std::string address, std::string password) {
        fields[1195] = std::move(address);
        fields[1192] = std::move(password);
    }

    void setStatus(const std::string& text) override {
        record("status:" + text);
        if (onStatus) onStatus(text);
    }
    void setProgressRange(int low, int high) override {
        record("range:" + std::to_string(low) + "-" + std::to_string(high));
    }
    void setProgress(int position) override {
        record("progress:" + std::to_string(position));
        if (onProgress) onProgress(position);
    }
    void enableControl(int id, bool enabled) override {
        record("enable:" + std::to_string(id) + (enabled ? ":on" : ":off"));
    }
    int messageBox(const std::string& text, const std::string& title, Icon, Buttons) override {
        record("box:" + title + "|" + text);
        return answer;
    }
    void beep() override { record("beep"); }
    void enableStart() override { record("enable:start"); }
    void finish() override { record("finish"); }
    std::string fieldText(int id) override {
        record("field:" + std::to_string(id));
        std::lock_guard lock(mutex_);
        return fields[id];
    }
    void setFieldText(int id, const std::string& text) override {
        record("text:" + std::to_string(id));
        std::lock_guard lock(mutex_);
        texts_[id] = text;
    }
    std::string text(int id) const {
        std::lock_guard lock(mutex_);
        const auto found = texts_.find(id);
        return found == texts_.end() ? std::string() : found->second;
    }
    bool isChecked(int id) override {
        record("checked:" + std::to_string(id));
        std::lock_guard lock(mutex_);
        return boxes[id];
    }

    void setField(int id, std::string text) {
        std::lock_guard lock(mutex_);
        fields[id] = std::move(text);
    }
    void setChecked(int id, bool checked) override {
        std::lock_guard lock(mutex_);
        boxes[id] = checked;
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

    // Run on the worker's thread after a status line or a progress position was recorded.
    std::function<void(const std::string&)> onStatus;
    std::function<void(int)> onProgress;
    // What every message box answers.
    std::atomic<int> answer{kOk};

private:
    mutable std::mutex mutex_;
    std::map<int, std::string> fields;
    std::map<int, bool> boxes{{1234, true}};
    std::vector<std::string> calls_;
    std::map<int, std::string> texts_;
};

}  // namespace lm::test
