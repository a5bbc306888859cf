#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "core/link/Outcome.h"
#include "core/link/Session.h"
#include "core/ops/WorkerTask.h"

namespace lm {

// One of a device's logs: the window's title and the command that prints it.
struct LogSource {
    const char* title;
    const char* command;
};
inline constexpr LogSource kSystemLog{"System Log", "cat /var/log/syslog"};
inline constexpr LogSource kDebugLog{"Debug Log", "dmesg"};

// The end of a log, at most kCapacity characters: whole lines are dropped from its start as lines
// arrive, so however long the device's log is, what is kept stays bounded.
class LogWindow {
public:
    static constexpr std::size_t kCapacity = 32'000;

    // Appends a line, its "\r\n" or "\n" kept as "\n". False when the text has grown past the
    // capacity without a line end left to cut at: nothing more can be shown.
    bool add(std::string_view line);
    // Starts again empty; truncated still tells of the whole read.
    void clear() { text_.clear(); }
    const std::string& text() const { return text_; }
    bool truncated() const { return truncated_; }

private:
    std::string text_;
    bool truncated_ = false;
};

struct LogRequest {
    LogSource log;
    // The password tried first; the device's refusal is asked about.
    std::string startPassword = Session::kDefaultPassword;
    // Shows the end of the log read, the part read before a failure included, unless the window
    // is closing. May be empty.
    std::function<void(const std::string&)> show;
};

struct LogResult {
    Outcome outcome = Outcome::Failed;
    std::string text;  // the end of the log, as shown
};

// The log viewer's worker: logs in, asking when the device refuses the start password, reads the
// log up to the shell's next prompt and shows the end of it. Every outcome is told in the status
// line; the link is closed without "quit".
LogResult debugFileWorker(WorkerTask& task, const LogRequest& request);

}  // namespace lm
