// An address plan applied to simulated devices that are not at factory settings, that refuse the
// password, and that do not come back: only the address settings and the name change, and a device
// counts as done only when it answers, as itself, at its new address.
#include "core/wizard/PlanBatch.h"

#include <gtest/gtest.h>

#include "support/SiteDevices.h"

namespace lm::test {
namespace {

class PlanBatchTest : public testing::Test {
protected:
    static constexpr const char* kPassword = "Kl4ppe";

    void start(std::vector<sim::DeviceConfig> devices) {
        ASSERT_EQ(startSite(std::move(devices), simulator, profile), "");
    }
    static std::string host(std::size_t i) { return "127.0.0." + std::to_string(141 + i); }
    static std::string moved(std::size_t i) { return "127.0.0." + std::to_string(161 + i); }
    static std::string id(std::size_t i) { return "024C55-C8080" + std::to_string(i); }

    std::vector<BatchRow> apply(std::size_t count, Milliseconds returnLimit) {
        std::vector<PlannedAddress> plan;
        std::vector<BatchDevice> devices;
        for (std::size_t i = 0; i < count; ++i) {
            plan.push_back(
                {{host(i), id(i), {}}, moved(i), "255.0.0.0", "127.0.0.1", "cam-0" + std::to_string(i + 1)});
            devices.push_back(plan.back().device);
        }
        reports = std::make_shared<PlanReports>();
        PlanOptions options{kPassword, false, returnLimit};
        RecordingWindows windows;
        DeviceBatch batch(devices, 3);
        return batch.run(profile, Timing::fast(), planBatchWork(plan, options, reports), windows);
    }
    std::string file(std::size_t i, const std::string& name) const {
        return simulator->fileText(i, "/etc/config/" + name).value_or("");
    }

    std::unique_ptr<sim::Simulator> simulator;
    NetworkProfile profile;
    std::shared_ptr<PlanReports> reports;
};

TEST_F(PlanBatchTest, EachDeviceMovesKeepingWhatThePlanDoesNotNameOrIsReportedAsItEnded) {
    auto devices = siteDevices(3, "127.0.0.", 141, 8, kPassword);
    devices[1].shell.faults.refusePassword = true;
    devices[2].shell.rebootDelayMs = 4000;  // longer than the wait below
    start(devices);
    ASSERT_FALSE(HasFatalFailure());
    const auto rows = apply(3, Milliseconds(1500));
    ASSERT_EQ(rows.size(), 3u);

    // Moved, renamed, found there as itself; what the plan does not name is kept.
    EXPECT_EQ(rows[0].result, BatchResult::Ok) << rows[0].message;
    EXPECT_EQ(simulator->address(0), parseIpv4(moved(0)));
    const std::string network = file(0, "network");
    EXPECT_NE(network.find("HOSTNAME=cam-01"), std::string::npos) << network;
    EXPECT_NE(network.find("NTPSERVER=127.0.0.1"), std::string::npos) << network;
    EXPECT_NE(file(0, "ifcfg-eth0").find("IPADDR=" + moved(0)), std::string::npos) << file(0, "ifcfg-eth0");
    const auto report = reports->of(host(0));
    ASSERT_TRUE(report);
    EXPECT_EQ(report->oldHostname, "door0");
    EXPECT_EQ(planResultText(rows[0], report), "OK");

    // The refusing device was not written to and says why.
    EXPECT_EQ(rows[1].result, BatchResult::Refused);
    EXPECT_EQ(simulator->address(1), parseIpv4(host(1)));
    EXPECT_FALSE(reports->of(host(1)) && reports->of(host(1))->written);

    // Written, but not back in time: a failure that says it was written.
    EXPECT_EQ(rows[2].result, BatchResult::Failed);
    EXPECT_NE(rows[2].message.find("did not answer at " + moved(2)), std::string::npos) << rows[2].message;
    const auto lost = reports->of(host(2));
    ASSERT_TRUE(lost);
    EXPECT_TRUE(lost->written);
    EXPECT_TRUE(planResultText(rows[2], lost).starts_with("written; ")) << planResultText(rows[2], lost);

    // Only the device found where planned counts: neither the refused nor the written but lost one.
    EXPECT_EQ(answeredWherePlanned(rows), 1u);
    EXPECT_EQ(planSummaryText(answeredWherePlanned(rows), rows.size()),
              "1 of 3 devices answered where planned.");
    EXPECT_EQ(planSummaryText(1, 1), "1 of 1 device answered where planned.");
}

}  // namespace
}  // namespace lm::test
