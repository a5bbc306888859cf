#include "core/platform/EchoRequests.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <optional>

#include "core/platform/UniqueFd.h"

namespace lm {

namespace {

// The setting is one short line; anything longer is not a value we wrote or can write back.
constexpr std::size_t kMaxValue = 16;
constexpr std::size_t kMaxPath = 512;

// The allowance in force, readable from a signal handler: plain buffers and a flag set last.
char gPath[kMaxPath];
char gOriginal[kMaxValue];
std::size_t gOriginalLength = 0;
std::atomic<bool> gInForce{false};

bool writeValue(const char* path, const char* value, std::size_t length) {
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC | O_TRUNC);
    if (fd < 0) return false;
    bool written = true;
    for (std::size_t done = 0; written && done < length;) {
        const ssize_t n = ::write(fd, value + done, length - done);
        if (n > 0)
            done += static_cast<std::size_t>(n);
        else if (n < 0 && errno != EINTR)
            written = false;
    }
    return ::close(fd) == 0 && written;
}

std::optional<std::string> readValue(const std::string& path) {
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) return std::nullopt;
    char buffer[kMaxValue + 1];
    ssize_t n;
    do {
        n = ::read(fd.get(), buffer, sizeof buffer);
    } while (n < 0 && errno == EINTR);
    if (n <= 0 || static_cast<std::size_t>(n) > kMaxValue) return std::nullopt;
    std::string value(buffer, static_cast<std::size_t>(n));
    while (!value.empty() && (value.back() == '\n' || value.back() == ' '))
        value.pop_back();
    return value;
}

}  // namespace

bool echoRequestsBlocked(const std::string& settingPath) {
    return readValue(settingPath) == "1";
}

EchoAllowance::EchoAllowance(std::string settingPath) : path_(std::move(settingPath)) {
    const auto original = readValue(path_);
    if (!original || path_.size() >= kMaxPath) {
        problem_ = "Cannot read " + path_ + " to change it.";
        return;
    }
    if (gInForce.load()) {
        problem_ = "Incoming echo requests are being allowed for another upgrade already.";
        return;
    }
    if (!writeValue(path_.c_str(), "0\n", 2)) {
        const int error = errno;
        problem_ = "Allowing incoming echo requests means writing 0 to " + path_ + ", which was refused (" +
                   std::strerror(error) +
                   "). Run the upgrade as root or with the CAP_NET_ADMIN capability, or allow them yourself "
                   "first: sudo sysctl -w net.ipv4.icmp_echo_ignore_all=0";
        return;
    }
    original_ = *original + "\n";
    std::memcpy(gPath, path_.c_str(), path_.size() + 1);
    std::memcpy(gOriginal, original_.data(), original_.size());
    gOriginalLength = original_.size();
    gInForce.store(true);
    held_ = true;
}

EchoAllowance::~EchoAllowance() {
    restore();
}

void EchoAllowance::restore() {
    if (!held_) return;
    held_ = false;
    // Once put back (here or by a signal handler) it is not written again, whatever changed it since.
    if (gInForce.exchange(false)) writeValue(path_.c_str(), original_.data(), original_.size());
}

void EchoAllowance::restoreFromSignal() noexcept {
    if (gInForce.exchange(false)) writeValue(gPath, gOriginal, gOriginalLength);
}

}  // namespace lm
