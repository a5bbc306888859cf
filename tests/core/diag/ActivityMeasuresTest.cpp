// The report's measurements read from output a device prints, at every threshold's edge.
#include <gtest/gtest.h>

#include "DeviceOutput.h"
#include "core/diag/ActivityMeasures.h"

namespace lm {
namespace {

using test::lines;

TEST(ActivityMeasures, LineValueAndWords) {
    const OutputLines version = lines({"Lumetra Zelvix VERSION 1.0.11"});
    EXPECT_EQ(findLineValue(version, "version").text, " 1.0.11");  // case-insensitive key, original text
    const OutputLines ps = lines({"  PID USER", "   37 admin  1824 S  12.5 /bin/zelvix"});
    EXPECT_EQ(findLineValue(ps, "zelvix").line, 1u);
    EXPECT_EQ(findLineValue(ps, "absent").line, 0u);
    EXPECT_EQ(findLineValue(ps, "").text, "");
    // Only the space separates words; a tab inside stays part of the word.
    EXPECT_EQ(firstWord(" \t10.60M\t12 833"), "10.60M\t12");
    EXPECT_EQ(skipWord("  a  b c"), "b c");
    EXPECT_EQ(skipWord("alone"), "");
    EXPECT_EQ(findWordFrom(lines({"127:0 10.60M 12", "x 11.02 y"}), "11.", "10.", ""), "10.60M");
    EXPECT_EQ(findWordFrom(lines({"version 10 x"}), "10", "", ""), "");
}

TEST(ActivityMeasures, VersionAndFirmwareRule) {
    const struct {
        const char* line;
        int major, minor, patch;
        bool newFirmware, bad, videoServer;
    } cases[] = {
        {"Lumetra Zelvix version 1.0.10", 1, 0, 10, false, false, false},
        {"Lumetra Zelvix version 1.0.11", 1, 0, 11, true, false, false},
        {"Lumetra Zelvix version 1.1.0", 1, 1, 0, true, false, false},
        {"Lumetra Draviel version 2.0.1", 2, 0, 1, true, false, true},
        {"Lumetra Zelvix version 0.9.9", 0, 9, 9, true, true, false},
        {"Lumetra Zelvix version 3.x", 3, 7, 7, true, false, false},  // unparsed parts keep their numbers
        {"no such line", 7, 7, 7, true, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const VersionReading r = readVersion(lines({c.line}), {7, 7, 7});
        EXPECT_EQ(r.firmware.major, c.major);
        EXPECT_EQ(r.firmware.minor, c.minor);
        EXPECT_EQ(r.firmware.patch, c.patch);
        EXPECT_EQ(isNewFirmware(r.firmware), c.newFirmware);
        EXPECT_EQ(r.versionBad, c.bad);
        EXPECT_EQ(r.videoServer, c.videoServer);
    }
}

TEST(ActivityMeasures, UptimeRateAndErrors) {
    EXPECT_FALSE(testDurationSufficient(*readUptime(lines({"28800.00 28000.00"}))));
    EXPECT_TRUE(testDurationSufficient(*readUptime(lines({"28800.50 28000.00"}))));
    EXPECT_EQ(uptimeText(*readUptime(lines({"90061.00 90000.00"}))), "1 days, 1 hrs, 1 min, 1 sec");
    EXPECT_FALSE(readUptime(lines({"up", "100.00 90.00"})));  // only line 0 counts
    EXPECT_FALSE(readUptime(lines({"nan.0 1"})));
    EXPECT_EQ(uptimeText(3e9f), "34722 days, 5 hrs, 20 min, 0 sec");
    // An unknown uptime gives no rate, never inf or nan.
    EXPECT_EQ(rateText(frameRate(123456, 0)), "n/a");
    EXPECT_FALSE(frameRateOk(frameRate(123456, 0)));
    EXPECT_EQ(rateText(frameRate(123456, 30012.53f)), "4.113482");
    EXPECT_FALSE(frameRateOk(frameRate(4, 10)));
    EXPECT_TRUE(frameRateOk(frameRate(5, 10)));
    // One error is allowed per 25000 frames.
    EXPECT_EQ(adjustedErrors(3, 75000, 625), 0);
    EXPECT_EQ(adjustedErrors(3, 74999, 625), 1);
    EXPECT_EQ(adjustedErrors(-2147483647, 1e10f, 1e8f), -2147483648LL);
}

// What a device cannot have measured is no reading: it never passes, and no float beyond an
// integer's range is converted to one.
TEST(ActivityMeasures, ImpossibleReadingsAreNone) {
    EXPECT_TRUE(readUptime(lines({"631152000.00 1"})));  // 20 years
    for (const char* uptime : {"631160000.00 1", "1.0e38 1", "-5.00 1", "inf 1"})
        EXPECT_FALSE(readUptime(lines({uptime}))) << uptime;

    // At most 120 frames a second; impossible frames give no rate and forgive no error.
    EXPECT_EQ(rateText(frameRate(12000, 100)), "120.000000");
    for (const float frames : {12001.0f, -1.0f, 1.0e38f}) {
        EXPECT_FALSE(frameRate(frames, 100)) << frames;
        EXPECT_EQ(adjustedErrors(3, frames, 100), 3) << frames;
    }
    EXPECT_EQ(adjustedErrors(std::nullopt, 75000, 625), std::nullopt);

    const auto stats = [](const char* errors) {
        return readProcessStats(
            lines({"hdr", (std::string("127:0 10.60 1 833 1 ") + errors + " 9").c_str()}));
    };
    EXPECT_EQ(stats("7")->errorCount, 7);
    for (const char* errors : {"-1", "many"})
        EXPECT_FALSE(stats(errors)->errorCount) << '"' << errors << '"';

    const auto pid = [](const char* row) { return findCameraProcess(lines({"  PID USER", row}))->pidValue; };
    EXPECT_EQ(pid("  37 admin 1 S 1 /bin/zelvix"), 37);
    EXPECT_FALSE(pid("  -37 admin 1 S 1 /bin/zelvix"));
    EXPECT_FALSE(pid("zelvix admin 1 S 1"));

    const struct {
        const char* word;
        std::optional<long long> errors;
    } bus[] = {{"2", 2}, {"3:1", 0}, {"-1", std::nullopt}, {"x", std::nullopt}, {"", std::nullopt}};
    for (const auto& b : bus) {
        EXPECT_EQ(busDeviceErrors(std::string(" wd 1 1 ") + b.word), b.errors) << b.word;
        const BusReading reading =
            readBus(lines({"0.79 ds 1 1 0", (std::string("0.124 wd 1 1 ") + b.word).c_str()}), true);
        EXPECT_EQ(reading.errors, b.errors) << b.word;  // one unknown count makes the sum unknown
        EXPECT_EQ(reading.count, 2);
    }
    EXPECT_EQ(errorsText(std::nullopt), "?");

    // The register holds two bytes.
    for (const char* reply : {"119 00", "19 100", "-1 00", "19 -80"})
        EXPECT_FALSE(readTemperatureRaw(lines({reply}))) << reply;
    EXPECT_EQ(readTemperatureRaw(lines({"FF FF"})), 0xFFFF);
}

TEST(ActivityMeasures, ProcessStatistics) {
    const auto stats = [](const char* row) {
        return readProcessStats(lines({"id    version gain exposure fps errors frames", row}));
    };
    EXPECT_FALSE(readProcessStats(lines({"127:0 10.60M 12 833 15 3 75000"})));  // must be the second line
    const struct {
        const char* row;
        bool exposureOk;
    } exposures[] = {{"127:0 10.60 1 416 1 0 1", false},
                     {"127:0 10.60 1 417 1 0 1", true},
                     {"127:0 10.60 1 1666.5 1 0 1", true},
                     {"127:0 10.60 1 1667 1 0 1", false}};
    for (const auto& e : exposures)
        EXPECT_EQ(exposureOk(stats(e.row)->exposureValue), e.exposureOk) << e.row;
    // Versions compare as text: "10.2" is after "10.16".
    EXPECT_FALSE(processVersionBad("10.2"));
    EXPECT_TRUE(processVersionBad("10.15"));
    EXPECT_TRUE(isCcdVersion("10.60"));
    EXPECT_FALSE(isCcdVersion("10.54"));
    EXPECT_TRUE(isMegaPix("10.60M"));
}

TEST(ActivityMeasures, ProcessIdRangeByPromptAndMinor) {
    const struct {
        const char* prompt;
        int minor;
        long long pid;
        bool ok;
    } cases[] = {{"# ", 0, 100, true}, {"# ", 0, 150, true}, {"# ", 0, 151, false}, {"# ", 1, 99, false},
                 {"> ", 0, 39, true},  {"> ", 0, 40, false}, {"> ", 1, 79, true},   {"> ", 1, 80, false}};
    for (const auto& c : cases)
        EXPECT_EQ(pidInRange(c.pid, c.prompt, c.minor), c.ok) << c.prompt << c.minor << ' ' << c.pid;
    const auto entry = findCameraProcess(
        lines({"  PID USER       VSZ STAT %CPU COMMAND", "  112 admin     1824 S    12.5 /bin/zelvix"}));
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->pid, "112");
    EXPECT_EQ(entry->share, "12.5%");
    EXPECT_FALSE(findCameraProcess(lines({"  PID USER  zelvix"})));  // the header alone
}

TEST(ActivityMeasures, WatchdogReplies) {
    const struct {
        OutputLines reply;
        bool ccd;
        const char* text;
        bool bad;
    } cases[] = {
        {lines({"05 01 41"}), false, "1.05A", false},
        {lines({"04 01 41"}), false, "1.04A", true},
        {lines({"05 01"}), false, "none", false},
        {lines({"mbus: /dev/watchdog: No such device"}), false, "No chip!", false},
        {lines({"mbus: /dev/watchdog: No such device"}), true, "(CCD)", false},
        {lines({"addr 0x10", "read: 5 1 66 x"}), false, "1.05B", false},
        {lines({"read: 0x05 0x01 0x41"}), false, "none", false},
        {lines({"05 01 00"}), false, "1.05", false},  // no letter for a code that is none
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply.front());
        const WatchdogReading r = readWatchdog(c.reply, c.ccd);
        EXPECT_EQ(r.text, c.text);
        EXPECT_EQ(r.versionBad, c.bad);
    }
}

TEST(ActivityMeasures, BusDevicesAndThermometer) {
    const OutputLines all = lines({"addr  name      rx     tx     errors", "0.1   ccd       51230  51200  1",
                                   "0.79  ds1629    2204   4408   err:2", "0.124 watchdog  961    962    2"});
    const BusReading camera = readBus(all, true);
    EXPECT_EQ(camera.count, 3);
    EXPECT_EQ(camera.errors, 3);
    EXPECT_TRUE(camera.thermometer);
    EXPECT_EQ(readBus(all, false).count, 2);
    // Without the sensor at 0.1, the watchdog's 0.124 must not count for it.
    EXPECT_EQ(readBus(lines({"0.79  ds1629 1 1 0", "0.124 watchdog 1 1 0"}), true).count, 2);

    const struct {
        OutputLines reply;
        const char* text;
        bool ok;
    } readings[] = {{lines({"19 00"}), "+77.0F", true},        {lines({"FF 80"}), "+31.5F", true},
                    {lines({"read: 33 00"}), "+123.5F", true}, {lines({"33 80"}), "+124.5F", false},
                    {lines({"FF 00"}), "+30.5F", true},        {lines({"E7 00"}), "-13.0F", true}};
    for (const auto& r : readings) {
        const auto raw = readTemperatureRaw(r.reply);
        ASSERT_TRUE(raw) << r.text;
        EXPECT_EQ(temperatureText(*raw), r.text);
        EXPECT_EQ(temperatureOk(*raw), r.ok) << r.text;
    }
    EXPECT_FALSE(readTemperatureRaw({}));
    EXPECT_FALSE(readTemperatureRaw(lines({"19"})));
}

}  // namespace
}  // namespace lm
