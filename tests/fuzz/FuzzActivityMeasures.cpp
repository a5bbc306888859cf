// The activity report's and the production test's readings over whatever lines a device prints: no
// crash, and every text they give is bounded and never a number that is not one.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "diag/ActivityMeasures.h"
#include "diag/ProductionRules.h"

namespace {

void check(bool holds) {
    if (!holds) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace lm;
    const std::string input(reinterpret_cast<const char*>(data), size);
    OutputLines lines;
    for (std::size_t start = 0; start < input.size();) {
        const auto end = input.find('\n', start);
        const auto next = end == std::string::npos ? input.size() : end + 1;
        lines.push_back(input.substr(start, next - start));
        start = next;
    }

    const LineValue value = FindLineValue(lines, "read: ");
    check(value.line < lines.size() || lines.empty());
    check(SkipWord(input).size() <= input.size() && FirstWord(input).size() <= input.size());
    FindWordFrom(lines, "11.", "10.", "");

    const VersionReading version = readVersion(lines, {});
    isNewFirmware(version.firmware);
    addressMode(lines);
    float uptime = 0;
    if (const auto seconds = readUptime(lines)) {
        uptime = *seconds;
        check(std::isfinite(uptime) && uptimeText(uptime).size() < 96 && durationCell(uptime).size() < 64);
    }
    if (const auto stats = readProcessStats(lines)) {
        processVersionBad(stats->version);
        isCcdVersion(stats->version);
        exposureOk(stats->exposureValue);
        const std::string rate = rateText(frameRate(stats->frameCount, uptime));
        check(rate.find("nan") == std::string::npos && rate.find("inf") == std::string::npos);
        const long long errors = adjustedErrors(stats->errorCount, stats->frameCount);
        check(errors == clampErrors(errors));
    }
    if (const auto process = findCameraProcess(lines)) {
        pidInRange(process->pidValue, "# ", 0);
        productionPidOk(process->pidValue, version.firmware.minor);
    }
    const DeviceKind kind = refinedKind(deviceKindOf(lines), lines);
    const BusCount count = countBusDevices(lines);
    check(devicesCell(kind, count).size() < 64 && errorsCell(count.errors).size() < 64);
    for (const bool ccd : {false, true})
        check(readWatchdog(lines, ccd).text.size() < 64);
    for (const bool camera : {false, true}) {
        const BusReading bus = readBus(lines, camera);
        check(bus.count <= 3 && bus.errors == clampErrors(bus.errors));
    }
    if (const auto raw = readTemperatureRaw(lines)) {
        const std::string text = temperatureText(*raw);
        check(text.size() <= 8 && text.back() == 'F' && temperatureCell(*raw).size() < 64);
        temperatureOk(*raw);
    }
    return 0;
}
