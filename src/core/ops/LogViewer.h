#pragma once

#include <cstddef>
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

// The control that shows the log.
constexpr int kLogText = 1189;

// The end of a log, at most kCapacity characters: whole lines are dropped from its start as lines
// arrive, so however long the device's log is, what is kept stays bounded.
class LogWindow {
public:
    static constexpr std::size_t kCapacity = 32000;

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

// The log viewer's worker: logs in with startPassword (the default one, unless a front end was
// given another), asking when the device refuses it, reads the log up to the shell's next prompt,
// and puts the end of it into the log control. Every outcome is told in the status line; the link
// is closed without "quit".
Outcome debugFileWorker(WorkerTask& task, const LogSource& log,
                        const std::string& startPassword = Session::kDefaultPassword);

}  // namespace lm
