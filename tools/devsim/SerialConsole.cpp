#include "devsim/SerialConsole.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/eventfd.h>
#include <termios.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "devsim/Shell.h"

namespace lm::sim {

namespace {

constexpr int kWriteWaitMs = 200;
constexpr char kEditedFile[] = "/var/tmp/boa.conf";

// Output to the console. Nobody may be listening: what the port cannot take within a short wait is
// dropped, as a UART drops what no cable carries away.
class ConsoleTerminal : public Terminal {
public:
    explicit ConsoleTerminal(int fd) : fd_(fd) {}

    void write(std::string_view bytes) override {
        while (!bytes.empty()) {
            const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
            if (n > 0) {
                bytes.remove_prefix(static_cast<std::size_t>(n));
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && errno != EAGAIN) return;
            pollfd writable{fd_, POLLOUT, 0};
            if (::poll(&writable, 1, kWriteWaitMs) <= 0) return;
        }
    }

private:
    int fd_;
};

}  // namespace

SerialConsole::SerialConsole(DeviceState& device) : device_(device) {}

SerialConsole::~SerialConsole() {
    stop();
}

bool SerialConsole::open(std::string* error) {
    int master = -1, slave = -1;
    char name[128] = {};
    termios raw{};
    cfmakeraw(&raw);
    cfsetispeed(&raw, B38400);
    cfsetospeed(&raw, B38400);
    if (::openpty(&master, &slave, name, &raw, nullptr) != 0) {
        if (error) *error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    master_.reset(master);
    slave_.reset(slave);
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    wake_.reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!wake_) {
        if (error) *error = "cannot create the console's wake-up descriptor";
        return false;
    }
    path_ = name;
    return true;
}

void SerialConsole::start() {
    if (!master_ || thread_.joinable()) return;
    stopping_.store(false);
    thread_ = std::thread([this] { run(); });
}

void SerialConsole::stop() {
    if (!thread_.joinable()) return;
    stopping_.store(true);
    const uint64_t one = 1;
    [[maybe_unused]] const auto written = ::write(wake_.get(), &one, sizeof one);
    thread_.join();
}

void SerialConsole::rebooted() {
    rebooting_.store(true);
    const uint64_t one = 1;
    [[maybe_unused]] const auto written = ::write(wake_.get(), &one, sizeof one);
}

void SerialConsole::run() {
    ConsoleTerminal terminal(master_.get());
    auto shell = std::make_unique<Shell>(device_, terminal, Shell::Kind::Console);
    if (device_.config().shell.consoleInEditor) shell->enterEditor(kEditedFile);
    bool booting = false;
    char buffer[4096];
    while (!stopping_.load()) {
        if (rebooting_.exchange(false)) {
            booting = true;
            shell.reset();
        }
        if (booting && device_.up()) {
            booting = false;
            shell = std::make_unique<Shell>(device_, terminal, Shell::Kind::Console);
            terminal.write(
                "\r\nLinux version 2.4.27-uc0\r\nMounting filesystems... done\r\n"
                "Starting services... done\r\n");
            shell->showLogin();
        }
        const int waitMs = booting ? std::max(1, static_cast<int>(device_.downRemaining().count())) : -1;
        pollfd polls[2] = {{wake_.get(), POLLIN, 0}, {master_.get(), POLLIN, 0}};
        if (::poll(polls, 2, waitMs) < 0 && errno != EINTR) return;
        if (polls[0].revents & POLLIN) {
            uint64_t count = 0;
            [[maybe_unused]] const auto got = ::read(wake_.get(), &count, sizeof count);
        }
        if (!(polls[1].revents & POLLIN)) continue;
        const ssize_t got = ::read(master_.get(), buffer, sizeof buffer);
        if (got <= 0 || booting || !shell) continue;  // typed while the device restarts: lost
        shell->feed(std::string_view(buffer, static_cast<std::size_t>(got)));
        // A console shell ends only by a reboot, which rebooted() has announced.
    }
}

}  // namespace lm::sim
