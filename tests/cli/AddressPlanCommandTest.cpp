// lmtools-cli config plan against simulated devices with their own password and names, one of which
// refuses it: a plan that cannot be carried out is refused before any device is written to, a dry
// run writes nothing, and the exit status says whether every device answered where planned.
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "CliRun.h"
#include "SimulatedDevices.h"
#include "support/SiteDevices.h"
#include "support/TempFolder.h"

namespace lm::cli {
namespace {

using test::runCommand;

// Devices at 127.0.0.81 (024C55-C80900), .82 (024C55-C80901) and .83 (024C55-C80902, refusing).
class AddressPlanCommand : public test::SimulatedDevices {
protected:
    void SetUp() override {
        auto devices = lm::test::siteDevices(3, "127.0.0.", 81, 9, "s3cret");
        devices[2].shell.faults.refusePassword = true;
        start(devices, 81, 9);
    }
    std::string csv(const std::string& text) {
        return folder.write("plan" + std::to_string(++files) + ".csv", text);
    }
    bool written(std::size_t i) const { return lm::test::wroteAnything(*simulator, i); }

    lm::test::TempFolder folder{"cli-plan"};
    int files = 0;
};

TEST_F(AddressPlanCommand, PlansThatCannotBeCarriedOutAreRefusedBeforeAnythingIsSent) {
    const std::string header = "id,ipAddress,netmask,gateway,hostname\n";
    struct Case {
        std::vector<std::string> args;
        const char* inErr;
    };
    const std::vector<Case> cases{
        // .83 is a device outside the plan: its address answers.
        {{"--range", "127.0.0.83-127.0.0.84"}, "127.0.0.83 already answers on the network"},
        {{"--range", "10.9.9.1-10.9.9.2"}, "outside the network this computer reaches it on"},
        {{"--range", "127.0.0.91-127.0.0.92", "--hostname-pattern", "cam {n}"}, "hostname pattern"},
        {{"--csv", csv(header + "024C55-C80900,127.0.0.91,,,\n024C55-C80901,127.0.0.91,,,\n")},
         "127.0.0.91 is planned for both 024C55-C80900 and 024C55-C80901"},
    };
    for (const Case& c : cases) {
        std::vector<const char*> args{"config",     "plan",   "127.0.0.81", "127.0.0.82",
                                      "--password", "s3cret", "-y"};
        for (const std::string& arg : c.args)
            args.push_back(arg.c_str());
        SCOPED_TRACE(c.args.back());
        const auto run = runCommand(args);
        EXPECT_NE(run.status, 0);
        EXPECT_NE(run.err.find(c.inErr), std::string::npos) << run.err;
    }
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_FALSE(written(i)) << i;
    EXPECT_EQ(simulator->address(0), parseIpv4("127.0.0.81"));
}

TEST_F(AddressPlanCommand, DryRunPrintsThePlanAndApplyingMovesEachDeviceThatTakesIt) {
    const auto dry = runCommand({"config", "plan", "127.0.0.82", "127.0.0.81", "--range",
                                 "127.0.0.91-127.0.0.99", "--hostname-pattern", "cam-{n:02}", "--dry-run"});
    EXPECT_EQ(dry.status, 0) << dry.err;
    // ID order, not the order given.
    EXPECT_NE(dry.out.find("024C55-C80900  127.0.0.81   127.0.0.91   255.0.0.0           cam-01"),
              std::string::npos)
        << dry.out;
    EXPECT_NE(dry.out.find("024C55-C80901  127.0.0.82   127.0.0.92"), std::string::npos) << dry.out;
    EXPECT_TRUE(simulator->commands(0).empty());

    const auto applied = runCommand({"config", "plan", "127.0.0.81", "127.0.0.83", "--range",
                                     "127.0.0.91-127.0.0.99", "--hostname-pattern", "cam-{n:02}", "--gateway",
                                     "127.0.0.1", "--password", "s3cret", "-q"});
    EXPECT_EQ(applied.status, 3) << applied.err;
    EXPECT_NE(applied.out.find("024C55-C80900  127.0.0.81   127.0.0.91   door0     cam-01    OK"),
              std::string::npos)
        << applied.out;
    EXPECT_NE(applied.out.find("024C55-C80902  127.0.0.83   127.0.0.92             cam-02    refused"),
              std::string::npos)
        << applied.out;
    EXPECT_EQ(simulator->address(0), parseIpv4("127.0.0.91"));
    EXPECT_EQ(simulator->address(2), parseIpv4("127.0.0.83"));
    EXPECT_FALSE(written(2));
    const std::string network = simulator->fileText(0, "/etc/config/network").value_or("");
    EXPECT_NE(network.find("HOSTNAME=cam-01"), std::string::npos) << network;
    EXPECT_NE(network.find("NTPSERVER=127.0.0.1"), std::string::npos) << network;
}

}  // namespace
}  // namespace lm::cli
