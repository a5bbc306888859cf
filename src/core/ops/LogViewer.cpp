#include "core/ops/LogViewer.h"

#include "core/link/DeviceSession.h"
#include "core/platform/TextMatch.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <utility>

namespace lm {

namespace {

constexpr int kPromptTurns = 30;
constexpr int kLineTicks = 30;
constexpr int kRetries = 3;
constexpr Milliseconds kRetryPause{1000};
// How a device says it cannot run the command at all: asking again gets the same answer.
constexpr std::array<const char*, 5> kCannotRun{"No such file", "can't open", "not found",
                                                "Permission denied", "not permitted"};

// The first output line says the device could not run the command: it names the command's last
// word (the file, or the program) and says why.
bool cannotRun(std::string_view line, std::string_view command) {
    const std::string_view subject = command.substr(command.rfind(' ') + 1);
    return contains(line, subject) && std::any_of(kCannotRun.begin(), kCannotRun.end(),
                                                  [&](const char* why) { return contains(line, why); });
}

enum class Read { Complete, NoAnswer, Refused, CannotRun, Overflow, Closing };

// One attempt: the prompt, the command, and its output into window up to the next prompt.
Read readOnce(WorkerTask& task, const std::string& command, LogWindow& window) {
    DeviceSession device(task.session());
    window.clear();
    device.drain();
    if (!device.sendLine("") || !device.expect(kPromptTurns, {"> ", "# "})) return Read::NoAnswer;
    const std::string prompt = contains(device.seenText(), "# ") ? "# " : "> ";
    if (!device.sendLine(command)) return Read::NoAnswer;
    bool echoPossible = true, firstOutput = true;
    for (std::string line = device.readUntil(kLineTicks, prompt); !line.empty();
         line = device.readUntil(kLineTicks, prompt)) {
        if (task.closing()) return Read::Closing;
        // A log line may hold the prompt's characters; the kernel's own lines say "KERNEL".
        if (contains(line, prompt) && !contains(line, "KERNEL")) return Read::Complete;
        if (contains(line, command) && contains(line, "Invalid argument")) return Read::Refused;
        if (std::exchange(echoPossible, false) && contains(line, command)) continue;
        if (std::exchange(firstOutput, false) && cannotRun(line, command)) {
            window.add(line);
            return Read::CannotRun;
        }
        if (!window.add(line)) return Read::Overflow;
    }
    return Read::NoAnswer;
}

Outcome readLog(WorkerTask& task, const LogSource& log, LogWindow& window) {
    const std::string title = asciiLower(log.title);
    const std::string command = log.command;
    task.status("Reading " + title + "...");
    DeviceSession device(task.session());
    const auto failWith = [&](const std::string& text, Outcome outcome) {
        if (auto* ui = task.ui()) ui->beep();
        task.status(text);
        return outcome;
    };
    for (int retries = kRetries;; --retries) {
        switch (readOnce(task, command, window)) {
            case Read::Complete:
                task.status(window.truncated() ? "Log file exceeds capacity, early entries truncated."
                                               : "Log read and displayed.");
                return Outcome::Ok;
            case Read::Closing:
                return Outcome::Cancelled;
            case Read::Overflow:
                return failWith("Log file size exceeds window capacity!", Outcome::Failed);
            case Read::CannotRun:
                return failWith("Can't read " + title + "!", Outcome::Failed);
            case Read::Refused:
                if (retries == 0) return failWith("Can't read " + title + "!", Outcome::Refused);
                break;
            case Read::NoAnswer:
                if (retries == 0) return failWith("Can't read " + title + "!", Outcome::NoAnswer);
                break;
        }
        task.session().timing().pause(kRetryPause);
        device.drain();
        device.sendLine("");
        device.expect(kPromptTurns, {"> ", "# "});
    }
}

}  // namespace

bool LogWindow::add(std::string_view line) {
    std::string_view body = line;
    const bool ended = body.ends_with('\n');
    while (!body.empty() && (body.back() == '\n' || body.back() == '\r'))
        body.remove_suffix(1);
    text_ += body;
    if (ended) text_ += '\n';
    while (text_.size() > kCapacity) {
        const auto end = text_.find('\n');
        if (end == std::string::npos) return false;
        text_.erase(0, end + 1);
        truncated_ = true;
    }
    return true;
}

LogResult debugFileWorker(WorkerTask& task, const LogRequest& request) {
    if (task.closing()) return {Outcome::Cancelled, {}};
    task.status("Establishing telnet session...");
    const Outcome opened = task.openAsOpened(request.startPassword);
    if (opened == Outcome::Failed) return {opened, {}};  // busy: already said
    if (opened != Outcome::Ok) {
        task.status(task.loginFailureText());
        return {opened, {}};
    }
    LogWindow window;
    const Outcome read = readLog(task, request.log, window);
    if (read != Outcome::Cancelled && request.show && task.ui() != nullptr) request.show(window.text());
    // The device's shell simply sees the connection go.
    DeviceSession(task.session()).logout(false);
    return {read, window.text()};
}

}  // namespace lm
