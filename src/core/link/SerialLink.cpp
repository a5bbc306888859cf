#include "core/link/SerialLink.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>

#include <cerrno>
#include <optional>
#include <utility>

namespace lm {

namespace {

constexpr int kSilenceBudget = 6;

std::optional<speed_t> speedFor(int bitsPerSecond) {
    static constexpr std::pair<int, speed_t> kRates[] = {
        {300, B300},     {1200, B1200},   {2400, B2400},   {4800, B4800},     {9600, B9600},
        {19200, B19200}, {38400, B38400}, {57600, B57600}, {115200, B115200},
    };
    for (const auto& [rate, speed] : kRates)
        if (rate == bitsPerSecond) return speed;
    return std::nullopt;
}

SerialLink::OpenError openErrorFromErrno(int error) {
    switch (error) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return SerialLink::OpenError::NotFound;
        case EBUSY:  // another holder set TIOCEXCL
            return SerialLink::OpenError::InUse;
        default:
            return SerialLink::OpenError::Other;
    }
}

// Unix98 pty slaves (majors 136..143) and the old BSD ones (major 3).
bool isPseudoTerminal(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) return false;
    const unsigned int number = major(st.st_rdev);
    return number == 3 || (number >= 136 && number <= 143);
}

// Raw 8N1 at the given rate: no flow control of any kind, modem status ignored, DTR and RTS on.
bool applyLineSettings(int fd, int bitsPerSecond) {
    const auto speed = speedFor(bitsPerSecond);
    termios wanted{};
    if (!speed || ::tcgetattr(fd, &wanted) != 0) return false;
    ::cfmakeraw(&wanted);
    wanted.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    wanted.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    wanted.c_cflag |= CS8 | CLOCAL | CREAD;
    // Reads are paced by poll, never by the driver's timers.
    wanted.c_cc[VMIN] = 0;
    wanted.c_cc[VTIME] = 0;
    if (::cfsetispeed(&wanted, *speed) != 0 || ::cfsetospeed(&wanted, *speed) != 0) return false;
    if (::tcsetattr(fd, TCSANOW, &wanted) != 0) return false;

    // tcsetattr succeeds when any one change took; check the ones the console depends on.
    termios applied{};
    if (::tcgetattr(fd, &applied) != 0) return false;
    constexpr tcflag_t kFrame = CSIZE | PARENB | CSTOPB | CRTSCTS | CLOCAL | CREAD;
    if ((applied.c_cflag & kFrame) != (wanted.c_cflag & kFrame) || ::cfgetospeed(&applied) != *speed)
        return false;

    // A pty has no modem lines to raise; any real port must take them.
    int lines = TIOCM_DTR | TIOCM_RTS;
    return ::ioctl(fd, TIOCMBIS, &lines) == 0 || isPseudoTerminal(fd);
}

bool endsWithPrompt(const std::string& line) {
    return line.size() >= 2 && (line.ends_with("> ") || line.ends_with("# "));
}

}  // namespace

SerialLink::SerialLink(const Timing& timing, SerialPortMap ports)
    : timing_(timing), ports_(std::move(ports)) {}

SerialLink::~SerialLink() {
    close();
}

int SerialLink::failOpen(OpenError error) {
    lastOpenError_ = error;
    return 1;
}

int SerialLink::open(const std::string& portName) {
    close();
    const auto path = ports_.devicePath(portName);
    if (!path) return failOpen(OpenError::NotFound);

    // Non-blocking so the open does not wait for carrier; every read and write waits in poll.
    UniqueFd fd(::open(path->c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK));
    if (!fd) return failOpen(openErrorFromErrno(errno));
    // The lock refuses every other opener that locks too, root included; TIOCEXCL below
    // refuses the ones that do not.
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0)
        return failOpen(errno == EWOULDBLOCK ? OpenError::InUse : OpenError::Other);
    if (!applyLineSettings(fd.get(), bitRate_) || ::ioctl(fd.get(), TIOCEXCL) != 0)
        return failOpen(OpenError::Other);

    port_ = std::move(fd);
    open_ = true;
    lastOpenError_ = OpenError::None;
    return 0;
}

void SerialLink::close() {
    if (!port_.valid()) return;
    // A pty keeps its tty, and with it the exclusive flag, while the other side stays open.
    ::ioctl(port_.get(), TIOCNXCL);
    open_ = false;
    port_.reset();
}

SerialLink::ReadResult SerialLink::readByte(char& byte) {
    if (!port_.valid()) return ReadResult::Failed;
    const Deadline deadline(timing_.serialByteWait);
    for (;;) {
        pollfd p{port_.get(), POLLIN, 0};
        const int ready = ::poll(&p, 1, deadline.remainingMs());
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0 || (p.revents & POLLNVAL)) return ReadResult::Failed;
        if (ready == 0) return ReadResult::Silent;

        unsigned char c = 0;
        const ssize_t n = ::read(port_.get(), &c, 1);
        if (n == 1) {
            ++bytesRead_;
            byte = c == 0 ? ' ' : static_cast<char>(c);
            return ReadResult::Byte;
        }
        if (n == 0) return ReadResult::Failed;  // hung up: the pty's other side or the adapter is gone
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) return ReadResult::Failed;
        if (p.revents & (POLLHUP | POLLERR)) return ReadResult::Failed;
        if (deadline.expired()) return ReadResult::Silent;
    }
}

bool SerialLink::writeByte(unsigned char byte) {
    if (!port_.valid()) return false;
    const Deadline deadline(timing_.serialByteWait);
    for (;;) {
        const ssize_t n = ::write(port_.get(), &byte, 1);
        if (n == 1) return true;
        if (n < 0 && errno == EINTR) continue;
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK) || deadline.expired()) return false;
        // The output queue is full: wait for room as long as one byte may take.
        pollfd p{port_.get(), POLLOUT, 0};
        const int ready = ::poll(&p, 1, deadline.remainingMs());
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0 || (p.revents & (POLLERR | POLLHUP | POLLNVAL))) return false;
    }
}

bool SerialLink::write(std::string_view text) {
    for (const char c : text) {
        if (!writeByte(static_cast<unsigned char>(c))) return false;
        timing_.pause(Milliseconds(1));
    }
    return true;
}

bool SerialLink::readLine() {
    waitCut_ = false;
    return readLineWithin(Deadline(timing_.waitBound));
}

bool SerialLink::readLineWithin(const Deadline& bound) {
    currentLine.clear();
    int silence = kSilenceBudget;
    for (;;) {
        if (bound.expired()) {
            waitCut_ = true;
            return false;
        }
        char byte = 0;
        switch (readByte(byte)) {
            case ReadResult::Failed:
                return false;
            case ReadResult::Silent:
                // A prompt is not followed by a line end; it ends the line at the first silence.
                if (endsWithPrompt(currentLine) || --silence == 0) return !currentLine.empty();
                break;
            case ReadResult::Byte:
                if (byte == '\r' || byte == '\n') return true;
                currentLine += byte;
                if (currentLine.size() >= kMaxLineLength) return true;
                silence = kSilenceBudget;
                break;
        }
    }
}

bool SerialLink::readNonEmptyLine() {
    waitCut_ = false;
    return readNonEmptyLineWithin(Deadline(timing_.waitBound));
}

bool SerialLink::readNonEmptyLineWithin(const Deadline& bound) {
    // Bounded so that a stream of bare line ends cannot keep the caller here forever.
    const std::size_t start = bytesRead_;
    while (readLineWithin(bound)) {
        if (!currentLine.empty()) return true;
        if (bytesRead_ - start >= kMaxLineLength) return false;
    }
    return false;
}

int SerialLink::expect(int turns, std::initializer_list<std::string_view> patterns) {
    waitCut_ = false;
    const Deadline bound(timing_.waitBound);
    for (int turn = 0; turn < turns && !waitCut_; ++turn) {
        const std::size_t start = bytesRead_;
        while (bytesRead_ - start < kTurnByteBudget && readNonEmptyLineWithin(bound)) {
            int position = 1;
            for (const std::string_view pattern : patterns) {
                if (currentLine.find(pattern) != std::string::npos) return position;
                ++position;
            }
        }
    }
    currentLine.clear();
    return 0;
}

int serialBitRateFromCommandLine(int argc, const char* const* argv) {
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) commandLine += ' ';
        if (argv[i]) commandLine += argv[i];
    }
    const auto at = commandLine.find("-b 1200");
    if (at == std::string::npos) return 38400;
    return commandLine.find(" 300", at) != std::string::npos ? 300 : 1200;
}

int takeSerialBitRateSwitch(std::vector<std::string>& args) {
    for (std::size_t i = 0; i + 1 < args.size() && args[i] != "--"; ++i) {
        if (args[i] != "-b" || args[i + 1] != "1200") continue;
        std::size_t end = i + 2;
        if (end < args.size() && args[end] == "300") ++end;
        const int rate = end - i == 3 ? 300 : 1200;
        args.erase(args.begin() + static_cast<std::ptrdiff_t>(i),
                   args.begin() + static_cast<std::ptrdiff_t>(end));
        return rate;
    }
    return 38400;
}

}  // namespace lm
