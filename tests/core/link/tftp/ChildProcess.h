#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

#include "core/platform/Timing.h"
#include "core/platform/UniqueFd.h"

namespace lm::test {

// A program started by a test or a benchmark, in a process group of its own, with its input and
// output on /dev/null. The group is killed and the program reaped at the latest on destruction.
class ChildProcess {
public:
    static std::optional<ChildProcess> start(const std::vector<std::string>& argv);
    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&&) = delete;
    ~ChildProcess() { stop(); }

    // The exit status once the program has ended; nullopt if it still runs when the time is up.
    std::optional<int> wait(Milliseconds limit);
    void stop();

private:
    ChildProcess(pid_t pid, UniqueFd pidfd) : pid_(pid), pidfd_(std::move(pidfd)) {}
    pid_t pid_ = -1;
    UniqueFd pidfd_;
    std::optional<int> status_;
};

// The program's full path when it is found on PATH.
std::optional<std::string> findOnPath(const std::string& program);

}  // namespace lm::test
