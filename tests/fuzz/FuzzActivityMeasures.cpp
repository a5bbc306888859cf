// The activity report's and the production test's readings over whatever lines a device prints: no
// crash, and every text they give is bounded and never a number that is not one.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzTarget.h"
#include "core/diag/ActivityMeasures.h"
#include "core/diag/ProductionRules.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace lm;
    const std::string input(reinterpret_cast<const char*>(data), size);
    const OutputLines lines = linesOf(input);

    const LineValue value = findLineValue(lines, "read: ");
    check(value.line < lines.size() || lines.empty());
    check(skipWord(input).size() <= input.size() && firstWord(input).size() <= input.size());
    findWordFrom(lines, "11.", "10.", "");

    const VersionReading version = readVersion(lines, {});
    isNewFirmware(version.firmware);
    addressMode(lines);
    float uptime = 0;
    if (const auto seconds = readUptime(lines)) {
        uptime = *seconds;
        check(std::isfinite(uptime) && uptime >= 0 && uptime <= kMaxUptime && uptimeText(uptime).size() < 96);
        check(durationCell(uptime).size() < 32);
    }
    if (const auto stats = readProcessStats(lines)) {
        processVersionBad(stats->version);
        isCcdVersion(stats->version);
        exposureOk(stats->exposureValue);
        const auto rate = frameRate(stats->frameCount, uptime);
        const std::string text = rateText(rate);
        check(text.find("nan") == std::string::npos && text.find("inf") == std::string::npos);
        // A rate that passes comes from frames the device could have captured.
        check(!frameRateOk(rate) || framesPlausible(stats->frameCount, uptime));
        check(!stats->errorCount || *stats->errorCount >= 0);
        const auto errors = adjustedErrors(stats->errorCount, stats->frameCount, uptime);
        check(errors.has_value() == stats->errorCount.has_value() &&
              (!errors || *errors == clampErrors(*errors)));
    }
    if (const auto process = findCameraProcess(lines)) {
        check(!process->pidValue || *process->pidValue >= 0);
        if (process->pidValue) {
            pidInRange(*process->pidValue, "# ", 0);
            productionPidOk(*process->pidValue, version.firmware.minor);
        }
    }
    for (const bool ccd : {false, true})
        check(readWatchdog(lines, ccd).text.size() < 64);
    for (const bool camera : {false, true}) {
        const BusReading bus = readBus(lines, camera);
        check(bus.count <= 3 &&
              (!bus.errors || (*bus.errors >= 0 && *bus.errors == clampErrors(*bus.errors))));
    }
    const BusCount count = countBusDevices(lines);
    check(count.count <= 3 && errorsCell(count.errors).size() < 32 &&
          devicesCell(refinedKind(deviceKindOf(lines), lines), count).size() < 64);
    if (const auto raw = readTemperatureRaw(lines)) {
        check(*raw >= 0 && *raw <= 0xFFFF);
        const std::string text = temperatureText(*raw);
        check(text.size() <= 8 && text.back() == 'F' && temperatureCell(*raw).size() < 64);
        temperatureOk(*raw);
    }
    return 0;
}
