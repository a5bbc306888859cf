// lmtools-cli site-report against simulated devices that are not at factory settings, refuse the
// password or serve no picture: every device gets its card, the failures say why, and the file is
// written whole or not at all.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "CliRun.h"
#include "SimulatedDevices.h"

namespace lm::cli {
namespace {

using test::runCommand;

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// Devices at 127.0.0.71 and on, all with the password "s3cret".
class SiteReport : public test::SimulatedDevices {
protected:
    void SetUp() override {
        folder = std::filesystem::temp_directory_path() / ("site-report-test-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
        report = folder / "site.html";
    }
    void TearDown() override {
        std::filesystem::remove_all(folder);
        ::unsetenv("LMTOOLS_HTTP_PORT");
        SimulatedDevices::TearDown();
    }
    void start(std::vector<sim::DeviceConfig> devices) {
        for (auto& device : devices)
            device.shell.password = "s3cret";
        SimulatedDevices::start(std::move(devices), 71, 4);
        if (simulator) ::setenv("LMTOOLS_HTTP_PORT", std::to_string(simulator->httpPort()).c_str(), 1);
    }

    std::filesystem::path folder, report;
};

TEST_F(SiteReport, EveryDeviceGetsACardAndEachFailureItsReason) {
    sim::DeviceConfig named, refusing, pictureless;
    named.shell.hostname = "gate-north";
    refusing.shell.faults.refusePassword = true;
    pictureless.http.fault = sim::HttpFault::NotFound;
    start({named, refusing, pictureless});
    ASSERT_FALSE(HasFatalFailure());

    const auto run = runCommand({"site-report", "127.0.0.71", "127.0.0.72", "127.0.0.73", "-o",
                                 report.c_str(), "--password", "s3cret", "--jobs", "2"});
    EXPECT_EQ(run.status, 3) << "one device could not be read: " << run.err;
    EXPECT_NE(run.err.find("(3 devices, 1 failing, "), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(folder / "site.html.partial"));
    const std::string html = readFile(report);
    EXPECT_EQ(occurrences(html, "<section class=\"card"), 3u);
    // The named device: its picture inlined, its MAC from its ID, its settings read.
    EXPECT_NE(html.find("<img src=\"data:image/jpeg;base64,"), std::string::npos);
    EXPECT_NE(html.find("02:4C:55:C8:04:00"), std::string::npos);
    EXPECT_NE(html.find("host name gate-north"), std::string::npos);
    // The one that refused: listed as failing, with the reason on its card.
    EXPECT_NE(html.find("<li><b>024C55-C80401</b>: settings not read: the device refused the password</li>"),
              std::string::npos)
        << html.substr(0, 4000);
    EXPECT_NE(html.find("<p class=\"no\">Not read: the device refused the password</p>"), std::string::npos);
    // No picture: a placeholder and the web server's answer, and not a failure of the device.
    EXPECT_NE(html.find("No picture: the web server answered 404"), std::string::npos);
    EXPECT_EQ(occurrences(html, "<img "), 3u);
}

TEST_F(SiteReport, WithTestsAddsRatingsVerdictsAndTheChart) {
    sim::DeviceConfig hot;
    hot.shell.activity.temperature = 55.0;  // 131 F: too hot
    start({hot, sim::DeviceConfig{}});
    ASSERT_FALSE(HasFatalFailure());

    const auto run = runCommand({"site-report", "127.0.0.71", "127.0.0.72", "--with-tests", "-o",
                                 report.c_str(), "--password", "s3cret", "-q"});
    EXPECT_EQ(run.status, 3) << run.err;
    EXPECT_EQ(run.err, "");
    const std::string html = readFile(report);
    EXPECT_EQ(occurrences(html, "Production verdict: "), 2u);
    EXPECT_EQ(occurrences(html, "Temp OK</li>"), 2u);
    EXPECT_NE(html.find("<li class=\"no\">&#10007; Temp OK</li>"), std::string::npos);
    EXPECT_NE(html.find("<title>1. 024C55-C80400: 131.0 F</title>"), std::string::npos);
    EXPECT_NE(html.find("<title>2. 024C55-C80401: 77.0 F</title>"), std::string::npos);
    EXPECT_NE(html.find("Temperature No (+131.0F)"), std::string::npos) << "the failed column is named";
}

TEST_F(SiteReport, AnUnwritableFileStopsBeforeAnyDeviceIsRead) {
    const std::string inMissingFolder = (folder / "no-such-folder" / "site.html").string();
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
    EXPECT_EQ(run.out.rfind("<!DOCTYPE html>", 0), 0u);
    EXPECT_EQ(occurrences(run.out, "<section class=\"card"), 1u);

    EXPECT_EQ(runCommand({"site-report", "127.0.0.71"}).status, 64);
    EXPECT_EQ(runCommand({"site-report", "127.0.0.71", "--all", "-o", "x.html"}).status, 64);
    EXPECT_EQ(runCommand({"site-report", "not-an-address", "-o", "x.html"}).status, 64);
}

}  // namespace
}  // namespace lm::cli
