#pragma once

#include <string>

namespace lm {

// Whether this PC answers incoming echo requests (ping) is the kernel setting
// net.ipv4.icmp_echo_ignore_all: "1" blocks them. A setting that cannot be read counts as allowing them.
bool echoRequestsBlocked(const std::string& settingPath);

// Allows incoming echo requests for as long as it lives, or until restore(): writes "0" to the
// setting and puts the original value back once. Only one allowance is in force at a time in a
// process, so that a signal handler can put it back too.
class EchoAllowance {
public:
    explicit EchoAllowance(std::string settingPath);
    ~EchoAllowance();
    EchoAllowance(const EchoAllowance&) = delete;
    EchoAllowance& operator=(const EchoAllowance&) = delete;

    // Whether the setting was changed; when not, problem() tells the user why and what to do.
    bool held() const { return held_; }
    const std::string& problem() const { return problem_; }
    // Writes the original value back; does nothing the second time.
    void restore();

    // Puts back the allowance in force, if any, with async-signal-safe calls only: for a handler of
    // SIGINT or SIGTERM that ends the process.
    static void restoreFromSignal() noexcept;

private:
    std::string path_;
    std::string original_;
    bool held_ = false;
    std::string problem_;
};

}  // namespace lm
