#include "core/diag/ProductionRules.h"
#include "core/platform/TextMatch.h"

#include <cstdio>

namespace lm {

namespace {

bool holds(const std::string& text, std::string_view part) {
    return text.find(part) != std::string::npos;
}

char characterAt(std::string_view text, std::size_t index) {
    return index < text.size() ? text[index] : '\0';
}

}  // namespace

DeviceKind deviceKindOf(const OutputLines& versionLines) {
    if (versionLines.empty()) return DeviceKind::Unknown;
    const std::string line = asciiLower(versionLines[findLineValue(versionLines, "version").line]);
    if (holds(line, "zelvix-5407")) return holds(line, "lumetra") ? DeviceKind::A : DeviceKind::B;
    if (holds(line, "draviel6-5407")) return DeviceKind::C;
    if (holds(line, "zelvix version")) return DeviceKind::D;
    return DeviceKind::Unknown;
}

DeviceKind refinedKind(DeviceKind kind, const OutputLines& processLines) {
    if (kind != DeviceKind::A) return kind;
    // "11.xxM": a megapixel imaging core; "10.5xS": the older one of type B.
    if (characterAt(findLineValue(processLines, "11.").text, 2) == 'M') kind = DeviceKind::E;
    if (characterAt(findLineValue(processLines, "10.5").text, 1) == 'S') kind = DeviceKind::B;
    return kind;
}

std::string durationCell(float uptime) {
    const long long hours = wholePart(uptime) / 3600;
    return (testDurationSufficient(uptime) ? "OK (" : "No (") + std::to_string(hours) + "hrs)";
}

bool productionExposureOk(float exposure) {
    return exposure > 100.0f && exposure < 3000.0f;
}

float rateThreshold(DeviceKind kind) {
    return kind == DeviceKind::E ? 0.2f : 0.4f;
}

bool productionPidOk(long long pid, int firmwareMinor) {
    if (firmwareMinor == 0) return pid < 40;
    // Later firmware may start the camera process after a hundred helpers.
    return pid < 80 || (pid >= 100 && pid <= 299);
}

BusCount countBusDevices(const OutputLines& lines) {
    BusCount bus;
    const auto add = [&bus](const std::string& value) {
        ++bus.count;
        bus.errors = addErrors(bus.errors, busDeviceErrors(value));
    };
    if (const std::string value = findLineValue(lines, "0.1 ").text; !value.empty()) {
        add(value);
        bus.device01 = true;
    }
    if (const std::string value = findLineValue(lines, "0.79").text; !value.empty()) {
        add(value);
        bus.thermometer = true;
    }
    if (const std::string value = findLineValue(lines, "0.124").text; !value.empty()) add(value);
    return bus;
}

std::string devicesCell(DeviceKind kind, const BusCount& bus) {
    const std::string short_ = "No (" + std::to_string(bus.count) + ")";
    switch (kind) {
        case DeviceKind::Unknown:
            return "??";
        case DeviceKind::C:
            // The video server has no imager on address 0.1.
            return bus.count == 2 && !bus.device01 ? "OK" : short_;
        case DeviceKind::B:
            return bus.count == 3 || bus.device01 ? "OK" : short_;
        default:
            return bus.count == 3 ? "OK" : short_;
    }
}

std::string temperatureCell(long long raw) {
    const bool ok = halfDegreesFahrenheit(raw) < 254;  // below 127.0 F
    return (ok ? "OK (" : "No (") + temperatureText(raw) + ")";
}

std::string errorsCell(std::optional<long long> errors) {
    return errors && *errors < 3 ? "OK" : "No(" + errorsText(errors) + ")";
}

std::string pidCell(const ProcessEntry& process, int firmwareMinor) {
    if (!process.pidValue) return "No (" + process.pid + ")";
    return productionPidOk(*process.pidValue, firmwareMinor) ? "OK" : "No";
}

bool watchdogMissing(const WatchdogReading& reading) {
    return reading.text == "No chip!" || reading.text == "(CCD)" || reading.text == "none";
}

}  // namespace lm
