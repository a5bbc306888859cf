#pragma once

#include <string>

#include "core/diag/ActivityMeasures.h"

namespace lm {

// The production test's own rules over a device's output: what kind of device it is and which
// of its measurements pass. Pure functions, like the measurements they build on.

// A: a camera of the 5407 family with the maker's name; B: one without it, or an older imaging
// core; C: the 5407 video server; D: the first cameras; E: a megapixel 5407 camera.
enum class DeviceKind { Unknown, A, B, C, D, E };

// From the output of "cat /etc/version".
DeviceKind deviceKindOf(const OutputLines& versionLines);
// A type A camera is told apart further by the output of "cat /proc/zelvix".
DeviceKind refinedKind(DeviceKind kind, const OutputLines& processLines);

// "OK (9hrs)" when the uptime is above 8 hours, else "No (7hrs)".
std::string durationCell(float uptime);
bool productionExposureOk(float exposure);
// Frames per second needed: a megapixel camera makes fewer.
float rateThreshold(DeviceKind kind);
bool productionPidOk(long long pid, int firmwareMinor);

// The bus devices counted from /proc/mbus. Whether 0.1 answered is kept apart: the video server has
// no imager there, so its rule differs.
struct BusCount {
    int count = 0;
    std::optional<long long> errors = 0;
    bool device01 = false;
    bool thermometer = false;
};
BusCount countBusDevices(const OutputLines& lines);
// The Devices cell: "OK", "No (N)" or "??" (the kind is unknown).
std::string devicesCell(DeviceKind kind, const BusCount& bus);

// The Temperature cell of a stable reading: "OK (+77.0F)" below 127 F, else "No (...)".
std::string temperatureCell(long long raw);
// The Errors cell: "OK" below 3, else "No(3)"; "No(?)" when a count could not be read.
std::string errorsCell(std::optional<long long> errors);
// The PID cell: "OK", "No", or "No (PID)" for a process id that is none.
std::string pidCell(const ProcessEntry& process, int firmwareMinor);

// Whether a watchdog reading says there is no chip to read a version from.
bool watchdogMissing(const WatchdogReading& reading);

}  // namespace lm
