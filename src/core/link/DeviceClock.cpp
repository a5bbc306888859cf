#include "core/link/DeviceClock.h"

#include <array>
#include <iomanip>
#include <locale>
#include <sstream>

#include "core/link/ShellInput.h"

namespace lm {

namespace {

constexpr std::size_t kMaxClockText = 127;
constexpr Milliseconds kResyncPause{1000};
// What a device says when a command failed. An ordinary reply (the date echoed back) holds none.
constexpr std::array<const char*, 6> kRefusals{"invalid",           "Invalid", "not found",
                                               "Permission denied", "can't",   "Bad command"};

const char* hardwareClockCommand(const std::string& seen) {
    return seen.find("# ") != std::string::npos ? "hwclock -w\n" : "clock -S\n";
}

// The date command for this moment; empty when the time gave no text fit for a shell line.
std::string dateCommand() {
    const std::string text = localClockText();
    std::string problem;
    const std::string line = shellCommandLine({"date", "-s", "\"" + text + "\""}, problem);
    return text.empty() || !problem.empty() ? std::string() : line + "\n";
}

// Ok, NoAnswer (no prompt after a command) or Refused (the device's line in words).
Outcome attemptOverTelnet(TelnetLink& telnet, std::string& words) {
    telnet.drain();
    const std::string date = dateCommand();
    if (date.empty() || !telnet.send(date) || !telnet.expect(20, {"> ", "# "})) return Outcome::NoAnswer;
    if (!(words = clockRefusal(telnet.transcript())).empty()) return Outcome::Refused;
    if (!telnet.send(hardwareClockCommand(telnet.transcript())) || !telnet.expect(20, {"> ", "# "}))
        return Outcome::NoAnswer;
    if (!(words = clockRefusal(telnet.transcript())).empty()) return Outcome::Refused;
    return Outcome::Ok;
}

// Waits for a prompt or a refusal on the console: Ok, NoAnswer or Refused (its line in words).
Outcome awaitSerialPrompt(SerialLink& serial, std::string& words) {
    const int found = serial.expect(
        10, {"> ", "# ", kRefusals[0], kRefusals[1], kRefusals[2], kRefusals[3], kRefusals[4], kRefusals[5]});
    if (found == 0) return Outcome::NoAnswer;
    if (found <= 2) return Outcome::Ok;
    words = serial.currentLine;
    while (!words.empty() && (words.back() == '\n' || words.back() == '\r'))
        words.pop_back();
    return Outcome::Refused;
}

}  // namespace

std::string clockText(const std::tm& localTime) {
    std::ostringstream text;
    text.imbue(std::locale::classic());
    text << std::put_time(&localTime, "%B %d %H:%M:%S  %Y");
    std::string result = text.str();
    return result.size() > kMaxClockText ? std::string() : result;
}

std::string localClockText() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (now == static_cast<std::time_t>(-1) || localtime_r(&now, &local) == nullptr) return {};
    return clockText(local);
}

std::string clockRefusal(const std::string& reply) {
    for (const char* refusal : kRefusals) {
        const auto at = reply.find(refusal);
        if (at == std::string::npos) continue;
        const auto start = reply.rfind('\n', at);
        const auto begin = start == std::string::npos ? 0 : start + 1;
        const auto end = reply.find_first_of("\r\n", at);
        return reply.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
    }
    return {};
}

Outcome setClockOverTelnet(TelnetLink& telnet, const Timing& timing, int attempts, std::string& deviceWords) {
    deviceWords.clear();
    Outcome outcome = Outcome::NoAnswer;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (attempt > 0) {
            timing.pause(kResyncPause);
            telnet.drain();
            telnet.send("\n");
            telnet.expect(20, {"> ", "# "});
        }
        outcome = attemptOverTelnet(telnet, deviceWords);
        // A refusal is the device's answer; asking again gets the same one.
        if (outcome != Outcome::NoAnswer) return outcome;
    }
    return outcome;
}

Outcome setClockOverSerial(SerialLink& serial, std::string& deviceWords) {
    deviceWords.clear();
    const std::string date = dateCommand();
    if (date.empty() || !serial.write(date)) return Outcome::NoAnswer;
    if (const Outcome seen = awaitSerialPrompt(serial, deviceWords); seen != Outcome::Ok) return seen;
    if (!serial.write(hardwareClockCommand(serial.currentLine))) return Outcome::NoAnswer;
    return awaitSerialPrompt(serial, deviceWords);
}

}  // namespace lm
