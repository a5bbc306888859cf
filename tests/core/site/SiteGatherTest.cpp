#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/site/SiteGather.h"
#include "devsim/Simulator.h"

namespace lm {
namespace {

DeviceRecord record(const std::string& address, const std::string& id, DeviceSource source) {
    DeviceRecord r;
    r.address = address;
    r.id = id;
    r.source = source;
    return r;
}

TEST(SiteRecords, EachAddressOnceTheDevicesOwnAnswerPreferred) {
    const std::vector<DeviceRecord> records = {
        record("10.0.0.5", "024C55-C20005", DeviceSource::arp),
        record("10.0.0.6", "024C55-C20006", DeviceSource::probe),
        record("10.0.0.5", "024C55-C20005<b>", DeviceSource::probe),  // the device's own answer
        record("10.0.0.6:8080", "Device  1", DeviceSource::manual),   // the same host by hand
        record("10.0.0.5", "again", DeviceSource::echo),
        record("10.0.0.7", "024C55-C20007", DeviceSource::echo),
    };
    const auto kept = siteRecords(records);
    ASSERT_EQ(kept.size(), 3u);
    EXPECT_EQ(kept[0].id, "024C55-C20005<b>");
    EXPECT_EQ(kept[0].address, "10.0.0.5");  // in the place of the first it replaced
    EXPECT_EQ(kept[1].id, "024C55-C20006");
    EXPECT_EQ(kept[2].id, "024C55-C20007");
}

// Devices at 127.0.96.1 and on, none at factory settings: each misbehaves in its own way.
class SiteGather : public testing::Test {
protected:
    enum Device { Good, WrongType, Bomb, NoPicture, SilentShell, Refuses, kCount };

    void SetUp() override {
        sim::SimulatorConfig config;
        config.devices = sim::demoDevices(kCount, *parseIpv4("127.0.96.1"));
        for (auto& device : config.devices) {
            device.mac[3] = 0xC0;  // every one a Zelvix: the production rules know it
            device.shell.password = "s3cret";
            device.shell.hostname = "yard-cam";
        }
        config.devices[WrongType].http.fault = sim::HttpFault::WrongType;
        config.devices[Bomb].http.fault = sim::HttpFault::HugePicture;
        config.devices[NoPicture].http.fault = sim::HttpFault::NotFound;
        config.devices[SilentShell].shell.faults.silent = true;
        config.devices[Refuses].shell.faults.refusePassword = true;
        for (const auto& device : config.devices)
            records.push_back(record(dotted(device.address), sim::identifierOf(device), DeviceSource::probe));
        simulator = std::make_unique<sim::Simulator>(std::move(config));
        std::string error;
        ASSERT_TRUE(simulator->start(&error)) << error;
        request.profile.telnetPort = simulator->telnetPort();
        request.profile.discoveryPort = simulator->discoveryPort();
        request.profile.httpPort = simulator->httpPort();
        request.timing = Timing::fast();
        request.password = "s3cret";
        request.jobs = 3;
    }

    std::unique_ptr<sim::Simulator> simulator;
    std::vector<DeviceRecord> records;
    SiteGatherRequest request;
};

TEST_F(SiteGather, EveryDeviceIsReadOrSaysWhyNot) {
    std::set<std::size_t> counts;
    std::size_t calls = 0;
    const auto devices = gatherSite(records, request, [&](std::size_t done, const SiteDevice&) {
        counts.insert(done);
        ++calls;
    });
    ASSERT_EQ(devices.size(), std::size_t{kCount});
    EXPECT_EQ(calls, std::size_t{kCount});
    EXPECT_EQ(counts.size(), std::size_t{kCount}) << "each device counted once, one call at a time";

    const SiteDevice& good = devices[Good];
    EXPECT_EQ(good.pictureType, "image/jpeg");
    EXPECT_FALSE(good.picture.empty());
    EXPECT_EQ(good.pictureProblem, "");
    EXPECT_EQ(good.settingsProblem, "");
    EXPECT_EQ(good.mac, *macOfDeviceId(good.id));
    ASSERT_GE(good.settings.size(), 2u);
    EXPECT_NE(good.settings[1].second.find("host name yard-cam"), std::string::npos);
    EXPECT_FALSE(good.tests) << "no tests unless asked";

    const struct {
        Device device;
        const char* pictureProblem;
    } pictures[] = {{WrongType, "the web server sent no picture"},
                    {Bomb, "the picture cannot be read"},
                    {NoPicture, "the web server answered 404"}};
    for (const auto& [device, problem] : pictures) {
        EXPECT_EQ(devices[device].pictureProblem, problem) << device;
        EXPECT_TRUE(devices[device].picture.empty()) << device;
        EXPECT_EQ(devices[device].settingsProblem, "") << "the settings are read all the same";
    }
    EXPECT_NE(devices[SilentShell].settingsProblem, "");
    EXPECT_TRUE(devices[SilentShell].settings.empty());
    EXPECT_EQ(devices[SilentShell].pictureType, "image/jpeg") << "its web server still answers";
    EXPECT_EQ(devices[Refuses].settingsProblem, "the device refused the password");
}

TEST_F(SiteGather, WithTestsEachDeviceHasItsRatingsAndVerdict) {
    request.withTests = true;
    const auto devices = gatherSite({records[Good], records[Refuses]}, request);
    ASSERT_EQ(devices.size(), 2u);
    ASSERT_TRUE(devices[0].tests);
    const SiteDevice::Tests& good = *devices[0].tests;
    EXPECT_TRUE(good.reportComplete) << good.reportComment;
    EXPECT_EQ(good.ratings.size(), 9u);
    ASSERT_TRUE(good.temperatureF);
    EXPECT_DOUBLE_EQ(*good.temperatureF, 77.0);
    EXPECT_TRUE(good.temperatureOk);
    ASSERT_TRUE(good.frameRate);
    EXPECT_GT(*good.frameRate, 0.0);
    EXPECT_NE(good.verdict, "");
    EXPECT_NE(good.verdict, "No") << "a Zelvix that ran long enough passes";

    ASSERT_TRUE(devices[1].tests);
    const SiteDevice::Tests& refused = *devices[1].tests;
    EXPECT_FALSE(refused.reportComplete);
    EXPECT_FALSE(refused.temperatureF) << "a reading that could not be read is no reading";
    EXPECT_EQ(refused.verdict, "No");
}

TEST_F(SiteGather, AStopBeginsNoFurtherDevice) {
    std::atomic<bool> stop{true};
    std::size_t calls = 0;
    const auto devices = gatherSite(
        records, request, [&](std::size_t, const SiteDevice&) { ++calls; }, &stop);
    EXPECT_EQ(calls, std::size_t{kCount});
    for (const SiteDevice& device : devices) {
        EXPECT_EQ(device.settingsProblem, "stopped before it was read");
        EXPECT_TRUE(device.picture.empty());
    }
}

}  // namespace
}  // namespace lm
