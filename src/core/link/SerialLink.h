#pragma once

#include <atomic>
#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "core/link/SerialPortMap.h"
#include "core/platform/Timing.h"
#include "core/platform/UniqueFd.h"

namespace lm {

// A device's console over an RS-232 cable: 8N1 without flow control, DTR and RTS on, written one
// byte at a time and read line by line with a silence budget.
class SerialLink {
public:
    enum class OpenError { None, NotFound, InUse, Other };

    // A line longer than this ends there; the rest of the bytes continue as the next line.
    static constexpr std::size_t kMaxLineLength = 64 * 1024;
    // A turn of expect also ends after this many bytes, so a device that never stops talking
    // cannot hold a wait forever.
    static constexpr std::size_t kTurnByteBudget = 64 * 1024;

    SerialLink(const Timing& timing, SerialPortMap ports);
    ~SerialLink();
    SerialLink(const SerialLink&) = delete;
    SerialLink& operator=(const SerialLink&) = delete;

    const Timing& timing() const { return timing_; }
    void setBitRate(int bitsPerSecond) { bitRate_ = bitsPerSecond; }
    int bitRate() const { return bitRate_; }

    // 0 when the port ("COM3") is open with the line settings, 1 otherwise; lastOpenError() says why.
    // The port is held exclusively: a second opener, in this process or another, is refused.
    int open(const std::string& portName);
    OpenError lastOpenError() const { return lastOpenError_; }
    void close();
    // Safe to ask from another thread (a page waiting for its worker to let the port go).
    bool isOpen() const { return open_.load(); }

    bool write(std::string_view text);
    bool readLine();
    bool readNonEmptyLine();
    // 1-based position of the first pattern found in the current line, or 0.
    int expect(int turns, std::initializer_list<std::string_view> patterns);

    // Whether the last read or wait was ended by the overall bound (Timing::waitBound) while the
    // device was still sending.
    bool lastWaitCut() const { return waitCut_; }

    std::string currentLine;

private:
    bool readLineWithin(const Deadline& bound);
    bool readNonEmptyLineWithin(const Deadline& bound);
    enum class ReadResult { Byte, Silent, Failed };
    ReadResult readByte(char& byte);
    bool writeByte(unsigned char byte);
    int failOpen(OpenError error);

    Timing timing_;  // a copy: callers may pass a temporary
    SerialPortMap ports_;
    int bitRate_ = 38400;
    OpenError lastOpenError_ = OpenError::None;
    UniqueFd port_;
    std::atomic<bool> open_{false};
    std::size_t bytesRead_ = 0;
    bool waitCut_ = false;  // every byte taken from the port; bounds loops over blank lines
};

// The rate chosen on the command line (the arguments after the program name, joined with single
// blanks): 1200 after "-b 1200", 300 when " 300" follows it too, otherwise 38400.
int serialBitRateFromCommandLine(int argc, const char* const* argv);

// Takes the switch in that form ("-b 1200", "-b 1200 300", before any "--") out of the arguments
// (without the program name) before the rest is parsed, and returns the rate it selects.
int takeSerialBitRateSwitch(std::vector<std::string>& args);

}  // namespace lm
