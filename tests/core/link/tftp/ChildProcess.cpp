#include "ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <sstream>
#include <utility>

#include "core/platform/Socket.h"

extern char** environ;

namespace lm::test {

std::optional<ChildProcess> ChildProcess::start(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    posix_spawn_file_actions_t files;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&files);
    for (int fd : {0, 1, 2})
        posix_spawn_file_actions_addopen(&files, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    pid_t pid = -1;
    const int failed = posix_spawnp(&pid, args[0], &files, &attributes, args.data(), environ);
    posix_spawn_file_actions_destroy(&files);
    posix_spawnattr_destroy(&attributes);
    if (failed) return std::nullopt;
    // Through syscall(): this glibc's own declaration lacks C linkage.
    return ChildProcess(pid, UniqueFd(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0))));
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : pid_(std::exchange(other.pid_, -1)), pidfd_(std::move(other.pidfd_)), status_(other.status_) {}

std::optional<int> ChildProcess::wait(Milliseconds limit) {
    if (status_ || pid_ < 0) return status_;
    const std::array fds{pidfd_.get()};
    const auto ended = waitReadable(fds, static_cast<int>(limit.count()));
    if (!ended || !(*ended)[0]) return std::nullopt;
    int status = 0;
    if (::waitpid(pid_, &status, 0) == pid_) status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return status_;
}

void ChildProcess::stop() {
    if (pid_ < 0) return;
    if (!status_) {
        // The whole group, while its leader still holds the id: a server may have forked helpers.
        ::kill(-pid_, SIGKILL);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        status_ = -1;
    }
    pid_ = -1;
}

std::optional<std::string> findOnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::istringstream folders(path ? path : "");
    for (std::string folder; std::getline(folders, folder, ':');) {
        const auto candidate = (folder.empty() ? "." : folder) + "/" + program;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return std::nullopt;
}

}  // namespace lm::test
