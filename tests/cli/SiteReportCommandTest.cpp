// lmtools-cli site-report against simulated devices that are not at factory settings, refuse the
// password or serve no picture: every device gets its card, the failures say why, and the file is
// written whole or not at all.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "CliRun.h"
#include "SimulatedDevices.h"
#include "support/TempFolder.h"
#include "support/TextChecks.h"

namespace lm::cli {
namespace {

using lm::test::occurrences;
using lm::test::readFile;
using test::runCommand;

// Devices at 127.0.0.71 and on, all with the password "s3cret".
class SiteReport : public test::SimulatedDevices {
protected:
    void TearDown() override {
        ::unsetenv("LMTOOLS_HTTP_PORT");
        SimulatedDevices::TearDown();
    }
    void start(std::vector<sim::DeviceConfig> devices) {
        for (auto& device : devices)
            device.shell.password = "s3cret";
        SimulatedDevices::start(std::move(devices), 71, 4);
        if (simulator) ::setenv("LMTOOLS_HTTP_PORT", std::to_string(simulator->httpPort()).c_str(), 1);
    }

    lm::test::TempFolder folder{"cli-site-report"};
    const std::string report = folder.file("site.html");
};

// One that refuses the password, one without a picture, one too hot: each gets its card, the
// failing ones are listed with why, and the tests add verdicts and the chart.
TEST_F(SiteReport, EveryDeviceGetsACardAndEachFailureItsReason) {
    sim::DeviceConfig refusing, pictureless, hot;
    refusing.shell.faults.refusePassword = true;
    pictureless.http.fault = sim::HttpFault::NotFound;
    hot.shell.activity.temperature = 55.0;  // 131 F
    start({refusing, pictureless, hot});
    ASSERT_FALSE(HasFatalFailure());

    const auto run = runCommand({"site-report", "127.0.0.71", "127.0.0.72", "127.0.0.73", "--with-tests",
                                 "-o", report.c_str(), "--password", "s3cret", "--jobs", "2"});
    EXPECT_EQ(run.status, 3) << "devices are failing: " << run.err;
    EXPECT_NE(run.err.find("(3 devices, 3 failing, "), std::string::npos) << run.err;  // each fails a test
    EXPECT_FALSE(std::filesystem::exists(report + ".partial"));
    const std::string html = readFile(report);
    EXPECT_EQ(occurrences(html, "<section class=\"card"), 3u);
    EXPECT_EQ(occurrences(html, "Production verdict: "), 3u);
    EXPECT_NE(html.find("<li><b>024C55-C80400</b>: settings not read: the device refused the password"),
              std::string::npos)
        << html.substr(0, 4000);
    EXPECT_NE(html.find("Temperature No (+131.0F)"), std::string::npos) << "the failed column is named";
    EXPECT_NE(html.find("<title>3. 024C55-C80402: 131.0 F</title>"), std::string::npos);
    // Two pictures inlined, a placeholder for the third.
    EXPECT_EQ(occurrences(html, "<img src=\"data:image/jpeg;base64,"), 2u);
    EXPECT_EQ(occurrences(html, "<img "), 3u);
}

TEST_F(SiteReport, AnUnwritableFileStopsBeforeAnyDeviceIsRead) {
    const std::string inMissingFolder = folder.file("no-such-folder/site.html");
    const auto run = runCommand({"site-report", "127.0.0.79", "-o", inMissingFolder.c_str()});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("cannot write " + inMissingFolder + ": No such file or directory"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(run.err.find("Read "), std::string::npos) << "no device was read";
}

TEST_F(SiteReport, WritesToStandardOutputAndNeedsAFile) {
    start({sim::DeviceConfig{}});
    ASSERT_FALSE(HasFatalFailure());
    const auto run = runCommand({"site-report", "127.0.0.71", "-o", "-", "--password", "s3cret", "-q"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "") << "--quiet shows no progress";
    EXPECT_EQ(run.out.rfind("<!DOCTYPE html>", 0), 0u);
    EXPECT_EQ(occurrences(run.out, "<section class=\"card"), 1u);

    EXPECT_EQ(runCommand({"site-report", "127.0.0.71"}).status, 64);
    EXPECT_EQ(runCommand({"site-report", "127.0.0.71", "--all", "-o", "x.html"}).status, 64);
    EXPECT_EQ(runCommand({"site-report", "not-an-address", "-o", "x.html"}).status, 64);
}

}  // namespace
}  // namespace lm::cli
