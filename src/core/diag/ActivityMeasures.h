#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/link/Session.h"

namespace lm {

// The measurements of a device's health, read from the output lines of its shell commands (each
// line with its line end, as the command runner collects them). Pure functions: no I/O, and any
// bytes a device prints give a bounded, well-defined answer.
using OutputLines = std::vector<std::string>;

// The text after key in the first line that holds key (case-insensitive), with its line end cut,
// and that line's index; empty text and index 0 when no line holds it or key is empty.
struct LineValue {
    std::string text;
    std::size_t line = 0;
};
LineValue findLineValue(const OutputLines& lines, std::string_view key);

// Words are separated by the space character only; leading white space is skipped.
std::string firstWord(std::string_view text);
std::string skipWord(std::string_view text);
// The text from the first match of k1, k2 or k3 (empty keys skipped; tried in that order in each
// line) up to its first space, when it holds "."; else empty.
std::string findWordFrom(const OutputLines& lines, std::string_view k1, std::string_view k2,
                         std::string_view k3);

// Numbers as a C scanner reads them ("%d", "%x", "%f"), but locale-independent and saturating
// instead of overflowing: nullopt when text does not start (after white space) with one.
std::optional<long long> readInteger(std::string_view text, int base = 10);
std::optional<float> readFloat(std::string_view text);

// /etc/version.
struct VersionReading {
    std::string line;  // the version line without its line end; empty when none was found
    bool videoServer = false;
    FirmwareVersion firmware;  // starts from the caller's numbers; only parsed parts change
    bool versionBad = false;
};
VersionReading readVersion(const OutputLines& lines, FirmwareVersion previous);
// Whether the bus tool takes "-tx1": firmware after 1.0.10.
bool isNewFirmware(const FirmwareVersion& firmware);

// /etc/config/ifcfg-eth0: "DHCP" or "Static IP".
std::string addressMode(const OutputLines& lines);

// /proc/uptime: seconds since start, when line 0 holds it and it is at most kMaxUptime.
std::optional<float> readUptime(const OutputLines& lines);
constexpr float kMaxUptime = 20.0f * 365.25f * 86400.0f;  // 20 years: no device runs longer
// The whole part of value, cut toward zero into the range of a count; 0 for a value that is no number.
long long wholePart(double value);
std::string uptimeText(float seconds);  // "1 days, 1 hrs, 1 min, 1 sec"
bool testDurationSufficient(float seconds);

// /proc/zelvix: the camera process's statistics line.
struct ProcessStats {
    std::string version;  // compared as text
    std::string exposure, errors, frames;
    float exposureValue = 0;
    std::optional<long long> errorCount;  // none when the device printed no count (or a negative one)
    float frameCount = 0;
};
std::optional<ProcessStats> readProcessStats(const OutputLines& lines);
bool processVersionBad(std::string_view version);
bool isCcdVersion(std::string_view version);
bool isMegaPix(std::string_view version);
bool exposureOk(float exposure);
// Whether frames could have been captured in uptime seconds: none or more, at most kMaxFrameRate a second.
bool framesPlausible(float frames, float uptime);
constexpr float kMaxFrameRate = 120.0f;
// Frames per second; nullopt when the uptime is unknown (0) or the frames are not plausible.
std::optional<float> frameRate(float frames, float uptime);
std::string rateText(std::optional<float> rate);  // "%f", or "n/a"
bool frameRateOk(std::optional<float> rate);
// One error is allowed per 25000 frames, when the frames are plausible for the uptime; unknown
// errors stay unknown.
std::optional<long long> adjustedErrors(std::optional<long long> errors, float frames, float uptime);

// ps: the camera process's line.
struct ProcessEntry {
    std::string pid;                    // as printed
    std::string share;                  // processor share, "12.5%"
    std::optional<long long> pidValue;  // none when pid is no process id
};
std::optional<ProcessEntry> findCameraProcess(const OutputLines& lines);
bool pidInRange(long long pid, std::string_view shellPrompt, int firmwareMinor);

// The watchdog chip's reply to the bus tool.
struct WatchdogReading {
    std::string text;  // "1.05A", "none", "No chip!", "(CCD)"
    bool versionBad = false;
};
WatchdogReading readWatchdog(const OutputLines& lines, bool ccd);
std::string watchdogCommand(bool newFirmware);

// /proc/mbus: the expected bus devices present, their error total (unknown when one device's count
// cannot be read), and whether the thermometer is.
struct BusReading {
    int count = 0;
    std::optional<long long> errors = 0;
    bool thermometer = false;
};
// The errors of one bus device's entry (its fourth word): 0 for a word with ":", which is no count.
std::optional<long long> busDeviceErrors(std::string_view entry);
BusReading readBus(const OutputLines& lines, bool camera);

// The DS1629 thermometer: one reading of its register, nullopt when the reply holds no two bytes.
std::optional<long long> readTemperatureRaw(const OutputLines& lines);
std::string temperatureCommand(bool newFirmware);
// Half degrees Fahrenheit of a register value.
int halfDegreesFahrenheit(long long raw);
std::string temperatureText(long long raw);  // "+77.0F"
bool temperatureOk(long long raw);
constexpr int kTemperatureReadings = 7;

// Error totals stay in this range however large the device's numbers; a sum with an unknown part
// is unknown.
long long clampErrors(long long value);
std::optional<long long> addErrors(std::optional<long long> a, std::optional<long long> b);
// A count as the device printed it: nullopt when the text holds no number or a negative one.
std::optional<long long> readCount(std::string_view text);
// An error count as a field shows it: the number, or "?" when unknown.
std::string errorsText(std::optional<long long> errors);

}  // namespace lm
