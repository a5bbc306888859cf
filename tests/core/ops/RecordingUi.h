#pragma once

#include <sys/socket.h>

#include <algorithm>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "link/PasswordPrompt.h"
#include "ops/OperationUi.h"
#include "platform/Ipv4.h"
#include "platform/UniqueFd.h"

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
    void setProgress(int position) override { record("progress:" + std::to_string(position)); }
    void enableControl(int id, bool enabled) override {
        record("enable:" + std::to_string(id) + (enabled ? ":on" : ":off"));
    }
    int messageBox(const std::string& text, const std::string& title, Icon, Buttons) override {
        record("box:" + title + "|" + text);
        return kOk;
    }
    void beep() override { record("beep"); }
    void finish() override { record("finish"); }
    std::string fieldText(int id) override {
        record("field:" + std::to_string(id));
        std::lock_guard lock(mutex_);
        return fields[id];
    }
    bool isChecked(int id) override {
        record("checked:" + std::to_string(id));
        std::lock_guard lock(mutex_);
        return boxes[id];
    }

    void setChecked(int id, bool checked) {
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

    // Runs on the worker's thread after a status line was recorded.
    std::function<void(const std::string&)> onStatus;

private:
    mutable std::mutex mutex_;
    std::map<int, std::string> fields;
    std::map<int, bool> boxes{{1234, true}};
    std::vector<std::string> calls_;
};

// Answers with the scripted passwords in turn; nullopt (or running out) cancels.
class ScriptedPrompt : public PasswordPrompt {
public:
    explicit ScriptedPrompt(std::vector<std::optional<std::string>> answers = {})
        : answers_(std::move(answers)) {}
    bool askPassword(std::string& password) override {
        ++asked;
        if (asked > answers_.size() || !answers_[asked - 1]) return false;
        password = *answers_[asked - 1];
        return true;
    }
    std::size_t asked = 0;

private:
    std::vector<std::optional<std::string>> answers_;
};

// A telnet port on 127.0.0.1 that takes connections and never says a word; counts them afterwards.
class SilentListener {
public:
    SilentListener() : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0)) {
        const auto address = makeSockaddr(*parseIpv4("127.0.0.1"), 0);
        ::bind(fd_.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
        ::listen(fd_.get(), 16);
        sockaddr_in bound{};
        socklen_t size = sizeof bound;
        ::getsockname(fd_.get(), reinterpret_cast<sockaddr*>(&bound), &size);
        port = ntohs(bound.sin_port);
    }
    // Connections made so far (each taken off the queue once).
    int taken() {
        int count = 0;
        while (UniqueFd(::accept4(fd_.get(), nullptr, nullptr, SOCK_CLOEXEC)).valid())
            ++count;
        return count;
    }
    uint16_t port = 0;

private:
    UniqueFd fd_;
};

}  // namespace lm::test
