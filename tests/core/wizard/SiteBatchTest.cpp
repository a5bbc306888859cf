// A site's backup and restore against simulated devices that are not at factory settings, that
// refuse, fall silent, or are not the device the plan expects: what is read is what the device
// holds, and a restore writes a device whole (keeping what the settings do not hold) or not at all.
#include <gtest/gtest.h>

#include "core/wizard/SiteBatch.h"
#include "core/wizard/SiteRestore.h"
#include "support/SiteDevices.h"

namespace lm::test {
namespace {

class SiteBatchTest : public testing::Test {
protected:
    static constexpr const char* kPassword = "Kl4ppe";
    static constexpr const char* kVersion = "1.4.0";

    void start(std::vector<sim::DeviceConfig> devices) {
        ASSERT_EQ(startSite(std::move(devices), simulator, profile), "");
    }
    static std::vector<sim::DeviceConfig> devices(std::size_t count) {
        return siteDevices(count, "127.0.0.", 121, 7, kPassword);
    }
    static std::string host(std::size_t i) { return "127.0.0." + std::to_string(121 + i); }
    static std::string id(std::size_t i) { return "024C55-C8070" + std::to_string(i); }

    std::vector<BatchRow> run(const std::vector<BatchDevice>& devices, const BatchWork& work) {
        RecordingWindows windows;
        DeviceBatch batch(devices, 2);
        return batch.run(profile, Timing::fast(), work, windows);
    }
    SiteFile backup(std::size_t count) {
        std::vector<BatchDevice> devices;
        for (std::size_t i = 0; i < count; ++i)
            devices.push_back({host(i), {}, {}});
        const auto readings = std::make_shared<SiteReadings>();
        rows = run(devices, backupBatchWork(kPassword, readings));
        SiteFile site = siteFile(*readings, rows, "2026-12-08T05:30:00Z");
        site.programVersion = kVersion;
        return site;
    }
    // Restores the chosen saved devices onto the devices given for their IDs.
    std::vector<BatchRow> restore(const SiteFile& site, const RestoreChoice& choice,
                                  const std::vector<BatchDevice>& scanned, bool dryRun) {
        const auto plan = planRestore(site, choice, scanned, kVersion);
        std::vector<BatchDevice> targets;
        for (const auto& row : plan)
            if (row.result == BatchResult::Ok) targets.push_back(row.target);
        reports = std::make_shared<RestoreReports>();
        return run(targets, restoreBatchWork(plan, {kPassword, dryRun, false}, reports));
    }
    std::string network(std::size_t i) const {
        return simulator->fileText(i, "/etc/config/network").value_or("");
    }
    bool wroteAnything(std::size_t i) const { return test::wroteAnything(*simulator, i); }
    static std::vector<std::string> results(const std::vector<BatchRow>& rows) {
        std::vector<std::string> words;
        for (const BatchRow& row : rows)
            words.push_back(batchResultWord(row.result));
        return words;
    }

    std::unique_ptr<sim::Simulator> simulator;
    NetworkProfile profile;
    std::vector<BatchRow> rows;
    std::shared_ptr<RestoreReports> reports;
};

TEST_F(SiteBatchTest, BackupHoldsWhatEachDeviceHoldsAndWhyTheOthersAreMissing) {
    auto four = devices(4);
    four[1].version = "1.0.5";
    four[2].shell.faults.refusePassword = true;
    four[3].shell.faults.silent = true;
    start(four);
    ASSERT_FALSE(HasFatalFailure());
    const SiteFile site = backup(4);
    EXPECT_EQ(results(rows), (std::vector<std::string>{"ok", "ok", "refused", "noAnswer"}));
    ASSERT_EQ(site.devices.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        const SavedDevice& device = site.devices[i];
        EXPECT_EQ(device.id, id(i));
        EXPECT_EQ(device.address, host(i));
        EXPECT_EQ(device.settings.is_null(), i >= 2) << i;
        EXPECT_EQ(device.problem.empty(), i < 2) << i << device.problem;
    }
    EXPECT_EQ(site.devices[0].settings["hostname"], "door0");
    EXPECT_EQ(site.devices[1].settings["hostname"], "door1");
    EXPECT_EQ(site.devices[1].version, "1.0.5");
    EXPECT_EQ(site.devices[0].mac, "02:4C:55:C8:07:00");
    EXPECT_NE(site.devices[2].problem.find("refused"), std::string::npos) << site.devices[2].problem;
}

TEST_F(SiteBatchTest, RestoreWritesOnlyWhatDiffersAndKeepsWhatTheSettingsDoNotHold) {
    start(devices(2));
    ASSERT_FALSE(HasFatalFailure());
    SiteFile site = backup(2);
    ASSERT_TRUE(batchSucceeded(rows));
    site.devices[0].settings["hostname"] = "lobby";
    const std::vector<BatchDevice> scanned = {{host(0), id(0), ""}, {host(1), id(1), ""}};

    auto restored = restore(site, {}, scanned, true);
    EXPECT_EQ(results(restored), (std::vector<std::string>{"ok", "ok"}));
    ASSERT_TRUE(reports->of(host(0)) && reports->of(host(1)));
    EXPECT_EQ(reports->of(host(0))->changes, (std::vector<SettingChange>{{"hostname", "door0", "lobby"}}));
    EXPECT_TRUE(reports->of(host(1))->changes.empty());
    EXPECT_FALSE(wroteAnything(0));
    EXPECT_NE(network(0).find("HOSTNAME=door0"), std::string::npos);

    restored = restore(site, {}, scanned, false);
    EXPECT_EQ(results(restored), (std::vector<std::string>{"ok", "ok"}));
    EXPECT_TRUE(reports->of(host(0))->written);
    EXPECT_FALSE(reports->of(host(1))->written);
    EXPECT_NE(network(0).find("HOSTNAME=lobby"), std::string::npos) << network(0);
    EXPECT_NE(network(0).find("NTPSERVER=127.0.0.1"), std::string::npos) << network(0);
    // A device that already matches is left alone: no file, no save, no reboot.
    EXPECT_FALSE(wroteAnything(1));
}

// Each ends before anything is written: another device at the planned address, saved settings the
// pages refuse, a saved value a page warns about without the warning accepted, a wrong password.
TEST_F(SiteBatchTest, RestoreRefusesADeviceWholeBeforeWritingAnything) {
    auto five = devices(5);
    five[4].shell.faults.refusePassword = true;
    start(five);
    ASSERT_FALSE(HasFatalFailure());
    SiteFile site = backup(4);
    ASSERT_TRUE(batchSucceeded(rows));
    site.devices[1].settings["ipAddress"] = "";    // static address without one
    site.devices[2].settings["httpPort"] = 8080u;  // warned about
    site.devices[2].settings["hostname"] = "lobby";

    // The scan said device 0 is where device 3 answers; device 3's settings go onto device 4.
    const std::vector<BatchDevice> scanned = {
        {host(3), id(0), ""}, {host(1), id(1), ""}, {host(2), id(2), ""}, {host(4), id(4), ""}};
    const auto restored = restore(site, {{id(0), id(1), id(2), id(3)}, {{id(3), id(4)}}}, scanned, false);
    EXPECT_EQ(results(restored), (std::vector<std::string>{"refused", "refused", "refused", "refused"}));
    ASSERT_EQ(restored.size(), 4u);
    EXPECT_EQ(restored[0].message, "the device answering is 024C55-C80703, not 024C55-C80700");
    EXPECT_TRUE(restored[1].message.starts_with("the saved settings are refused: ")) << restored[1].message;
    EXPECT_TRUE(restored[2].message.starts_with("a warning was not accepted: ")) << restored[2].message;
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_FALSE(wroteAnything(i)) << i;
        EXPECT_NE(network(i).find("HOSTNAME=door" + std::to_string(i)), std::string::npos) << i;
    }
}

}  // namespace
}  // namespace lm::test
