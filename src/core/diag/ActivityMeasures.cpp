#include "core/diag/ActivityMeasures.h"

#include "core/platform/Scanner.h"
#include "core/platform/TextMatch.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>

namespace lm {

namespace {

// Beyond this a device's number is no longer a count of anything; saturating keeps the sums exact.
constexpr long long kNumberLimit = Scanner::kNumberLimit;

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string_view skipBlanks(std::string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    return text;
}

std::string_view withoutLineEnd(std::string_view text) {
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n'))
        text.remove_suffix(1);
    return text;
}

long long clampTo(long long value, long long low, long long high) {
    return std::clamp(value, low, high);
}

std::string nthWord(std::string_view text, int n) {
    std::string rest(text);
    for (int i = 0; i < n; ++i)
        rest = skipWord(rest);
    return firstWord(rest);
}

}  // namespace

LineValue findLineValue(const OutputLines& lines, std::string_view key) {
    if (key.empty() || lines.empty()) return {};
    const std::string wanted = asciiLower(key);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto at = asciiLower(lines[i]).find(wanted);
        if (at == std::string::npos) continue;
        return {std::string(withoutLineEnd(std::string_view(lines[i]).substr(at + wanted.size()))), i};
    }
    return {};
}

std::string firstWord(std::string_view text) {
    text = skipBlanks(text);
    return std::string(text.substr(0, text.find(' ')));
}

std::string skipWord(std::string_view text) {
    text = skipBlanks(text);
    const auto space = text.find(' ');
    if (space == std::string_view::npos) return {};
    return std::string(skipBlanks(text.substr(space)));
}

std::string findWordFrom(const OutputLines& lines, std::string_view k1, std::string_view k2,
                         std::string_view k3) {
    for (const std::string& line : lines) {
        for (const std::string_view key : {k1, k2, k3}) {
            if (key.empty()) continue;
            const auto at = line.find(key);
            if (at == std::string::npos) continue;
            std::string_view word = std::string_view(line).substr(at);
            word = word.substr(0, word.find(' '));
            return contains(word, ".") ? std::string(word) : std::string();
        }
    }
    return {};
}

std::optional<long long> readInteger(std::string_view text, int base) {
    return Scanner(text).integer(base);
}

std::optional<float> readFloat(std::string_view text) {
    text = skipBlanks(text);
    if (text.size() > 1 && text.front() == '+' && text[1] != '-') text.remove_prefix(1);
    float value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc()) return std::nullopt;
    return value;
}

VersionReading readVersion(const OutputLines& lines, FirmwareVersion previous) {
    VersionReading reading;
    reading.firmware = previous;
    const LineValue value = findLineValue(lines, "version");
    if (!value.text.empty()) reading.line = withoutLineEnd(lines[value.line]);
    reading.versionBad = value.text.empty();
    reading.videoServer = !lines.empty() && contains(lines[value.line], "Draviel");
    Scanner scan(value.text);
    const auto part = [&scan](int& into) {
        const auto number = scan.integer(10);
        if (number) into = static_cast<int>(clampTo(*number, INT_MIN, INT_MAX));
        return number.has_value();
    };
    FirmwareVersion& f = reading.firmware;
    if (part(f.major) && scan.literal('.') && part(f.minor) && scan.literal('.')) part(f.patch);
    if (f.major == 0) reading.versionBad = true;
    return reading;
}

bool isNewFirmware(const FirmwareVersion& firmware) {
    return firmware.major > 1 || firmware.minor > 0 || firmware.patch > 10;
}

std::string addressMode(const OutputLines& lines) {
    const std::string value = asciiLower(skipBlanks(findLineValue(lines, "BOOTPROTO=").text));
    return value == "dhcp" ? "DHCP" : "Static IP";
}

std::optional<float> readUptime(const OutputLines& lines) {
    const LineValue value = findLineValue(lines, ".");
    if (value.text.empty() || value.line != 0) return std::nullopt;
    const auto seconds = readFloat(firstWord(lines[0]));
    // A negative, endless or absurd uptime is no uptime: it could not be split or divided by.
    if (!seconds || !std::isfinite(*seconds) || *seconds < 0 || *seconds > kMaxUptime) return std::nullopt;
    return seconds;
}

long long wholePart(double value) {
    if (!std::isfinite(value)) return 0;
    // Clamped before the cast: a float beyond the integer's range has no defined conversion.
    return static_cast<long long>(
        std::clamp(value, -static_cast<double>(kNumberLimit), static_cast<double>(kNumberLimit)));
}

std::string uptimeText(float seconds) {
    double rest = seconds;
    const long long days = wholePart(rest) / 86400;
    rest -= static_cast<double>(days) * 86400;
    const long long hours = wholePart(rest) / 3600;
    rest -= static_cast<double>(hours) * 3600;
    const long long minutes = wholePart(rest) / 60;
    rest -= static_cast<double>(minutes) * 60;
    char text[96];
    std::snprintf(text, sizeof text, "%lld days, %lld hrs, %lld min, %lld sec", days, hours, minutes,
                  wholePart(rest));
    return text;
}

bool testDurationSufficient(float seconds) {
    return seconds > 28800.0f;
}

std::optional<ProcessStats> readProcessStats(const OutputLines& lines) {
    const LineValue value = findLineValue(lines, "127:0");
    if (value.text.empty() || value.line != 1) return std::nullopt;
    ProcessStats stats;
    stats.version = nthWord(value.text, 0);
    stats.exposure = nthWord(value.text, 2);
    stats.errors = nthWord(value.text, 4);
    stats.frames = nthWord(value.text, 5);
    stats.exposureValue = readFloat(stats.exposure).value_or(0.0f);
    stats.errorCount = readCount(stats.errors);
    stats.frameCount = readFloat(stats.frames).value_or(0.0f);
    return stats;
}

bool processVersionBad(std::string_view version) {
    return version < std::string_view("10.16");
}

bool isCcdVersion(std::string_view version) {
    return version > std::string_view("10.54") && version < std::string_view("11.00");
}

bool isMegaPix(std::string_view version) {
    return contains(version, "M");
}

bool exposureOk(float exposure) {
    return exposure > 416.0f && exposure < 1667.0f;
}

bool framesPlausible(float frames, float uptime) {
    return std::isfinite(frames) && frames >= 0.0f && frames <= uptime * kMaxFrameRate;
}

std::optional<float> frameRate(float frames, float uptime) {
    if (uptime == 0.0f || !framesPlausible(frames, uptime)) return std::nullopt;
    return frames / uptime;
}

std::string rateText(std::optional<float> rate) {
    if (!rate) return "n/a";
    char text[64];
    const auto [end, error] = std::to_chars(text, text + sizeof text, *rate, std::chars_format::fixed, 6);
    return error == std::errc() ? std::string(text, end) : "n/a";
}

bool frameRateOk(std::optional<float> rate) {
    return rate && *rate > 0.4f;
}

std::optional<long long> adjustedErrors(std::optional<long long> errors, float frames, float uptime) {
    if (!errors) return std::nullopt;
    // Frames the device cannot have captured earn no allowance.
    const long long allowed = framesPlausible(frames, uptime) ? wholePart(frames) / 25000 : 0;
    return clampErrors(*errors - allowed);
}

std::optional<ProcessEntry> findCameraProcess(const OutputLines& lines) {
    const LineValue value = findLineValue(lines, "zelvix");
    if (value.line == 0) return std::nullopt;  // not found, or only in the header
    const std::string_view line = withoutLineEnd(lines[value.line]);
    ProcessEntry entry;
    entry.pid = nthWord(line, 0);
    entry.share = nthWord(line, 4) + "%";
    entry.pidValue = readCount(entry.pid);
    return entry;
}

bool pidInRange(long long pid, std::string_view shellPrompt, int firmwareMinor) {
    // Behind the root shell the camera process starts later, after the shell's own helpers.
    if (shellPrompt == "# ") return pid >= 100 && pid <= 150;
    return firmwareMinor == 0 ? pid < 40 : pid < 80;
}

std::string watchdogCommand(bool newFirmware) {
    return newFirmware ? "mbus -tx1 /dev/watchdog w 0 r 3" : "mbus /dev/watchdog w 0 r 3";
}

WatchdogReading readWatchdog(const OutputLines& lines, bool ccd) {
    if (!findLineValue(lines, "No such devi").text.empty()) return {ccd ? "(CCD)" : "No chip!", false};
    const LineValue value = findLineValue(lines, "read: ");
    long long a = 0, b = 0, c = 0;
    Scanner scan = Scanner(value.text);
    int base = 10;
    if (contains(value.text, "x")) {
        if (value.line == 0) return {"none", false};
    } else {
        if (lines.empty() || lines[0].size() < 8) return {"none", false};
        scan = Scanner(lines[0]);
        base = 16;
    }
    for (long long* part : {&a, &b, &c}) {
        const auto number = scan.integer(base);
        if (!number) break;
        *part = *number;
    }
    char text[64];
    std::snprintf(text, sizeof text, "%lld.%02lld", b, a);
    std::string shown = text;
    // The revision letter; a code that is no printable character is left out.
    if (c > ' ' && c < 0x7f) shown += static_cast<char>(c);
    return {shown, !(b == 1 && a >= 5)};
}

BusReading readBus(const OutputLines& lines, bool camera) {
    BusReading bus;
    const auto add = [&bus](const std::string& value) {
        ++bus.count;
        bus.errors = addErrors(bus.errors, busDeviceErrors(value));
    };
    if (camera) {
        // "0.1" also starts 0.124 and 0.127: a digit after it means another address.
        const std::string value = findLineValue(lines, "0.1").text;
        if (!value.empty() && value.find_first_of("0123456789") != 0) add(value);
    }
    if (const std::string value = findLineValue(lines, "0.79").text; !value.empty()) {
        add(value);
        bus.thermometer = true;
    }
    if (const std::string value = findLineValue(lines, "0.124").text; !value.empty()) add(value);
    return bus;
}

std::optional<long long> busDeviceErrors(std::string_view entry) {
    const std::string errors = nthWord(entry, 3);
    return contains(errors, ":") ? 0 : readCount(errors);
}

std::string temperatureCommand(bool newFirmware) {
    return newFirmware ? "mbus -tx1 /dev/ds1629 w 0xEE w 0xAA,0 r 2" : "mbus /dev/ds1629 w 0xEE w 0xAA,0 r 2";
}

std::optional<long long> readTemperatureRaw(const OutputLines& lines) {
    std::string value = findLineValue(lines, "read: ").text;
    if (value.empty() && !lines.empty()) value = lines[0];
    Scanner scan(value);
    const auto high = scan.integer(16);
    const auto low = high ? scan.integer(16) : std::nullopt;
    // The register is two bytes: anything else would wrap into a plausible temperature.
    const auto isByte = [](long long v) { return v >= 0 && v <= 0xFF; };
    if (!low || !isByte(*high) || !isByte(*low)) return std::nullopt;
    return *high * 256 + *low;
}

int halfDegreesFahrenheit(long long raw) {
    // Bits 15..7 hold the temperature in half degrees Celsius, two's complement.
    int t = static_cast<int>((raw >> 7) & 0x1FF);
    if ((t & 0x100) != 0) t -= 512;
    return 18 * t / 10 + 64;
}

std::string temperatureText(long long raw) {
    const int d = halfDegreesFahrenheit(raw);
    // The sign is the reading's own: a whole part of 0 would lose it.
    char text[32];
    std::snprintf(text, sizeof text, "%c%d.%dF", d < 0 ? '-' : '+', std::abs(d) / 2, std::abs(d) % 2 * 5);
    return text;
}

bool temperatureOk(long long raw) {
    return halfDegreesFahrenheit(raw) < 248;  // below 124.0 F
}

long long clampErrors(long long value) {
    return std::clamp<long long>(value, INT_MIN, INT_MAX);
}

std::optional<long long> addErrors(std::optional<long long> a, std::optional<long long> b) {
    if (!a || !b) return std::nullopt;
    return clampErrors(*a + *b);
}

std::optional<long long> readCount(std::string_view text) {
    const auto value = readInteger(text);
    if (!value || *value < 0) return std::nullopt;
    return value;
}

std::string errorsText(std::optional<long long> errors) {
    return errors ? std::to_string(*errors) : "?";
}

}  // namespace lm
