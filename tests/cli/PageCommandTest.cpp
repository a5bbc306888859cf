#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "CliRun.h"
#include "platform/IcmpSocket.h"

namespace lm::cli {
namespace {

using test::runCommand;
using test::runDemo;

std::size_t occurrences(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size()))
        ++n;
    return n;
}

// The demo's eight simulated devices, scanned with a short quiet period.
class CliDemoPage : public ::testing::Test {
protected:
    void SetUp() override {
        if (!IcmpSocket::open())
            GTEST_SKIP() << "no ICMP socket may be opened here, so the scan sends no probe";
        ::setenv("LMTOOLS_QUIET_MS", "300", 1);
        std::filesystem::create_directories(dir);
    }
    void TearDown() override {
        ::unsetenv("LMTOOLS_QUIET_MS");
        std::filesystem::remove_all(dir);
    }
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("lmtools-cli-page-" + std::to_string(::getpid()));
};

// Five to a row on a full HD screen; "-" is standard output, not a file.
TEST_F(CliDemoPage, WritesEveryDeviceToAFileOrStandardOutput) {
    const auto file = (dir / "all.html").string();
    const auto run = runDemo({"page", "-o", file.c_str()});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "Wrote " + file + " (8 devices, 5 to a row).\n");
    EXPECT_GT(std::filesystem::file_size(file), 0u);

    const auto shown = runDemo({"page", "--width", "1000", "-o", "-"});
    ASSERT_EQ(shown.status, 0) << shown.err;
    EXPECT_EQ(shown.out.rfind("<html>\n<head>\n", 0), 0u);
    EXPECT_EQ(occurrences(shown.out, "<applet codebase=\"http://127."), 8u);
    // (1000 - 19) / 320 = 3 to a row: 3 + 3 + 2, and the closing of a row the devices ran out in.
    EXPECT_EQ(occurrences(shown.out, "<tr class=\"lt\">\n"), 3u);
    EXPECT_NE(shown.out.find("</td>\n\n</tr>\n\n\n</table>\n</body>\n</html>\n\n"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists("-"));
}

TEST_F(CliDemoPage, UnwritableFileFails) {
    const auto file = (dir / "missing" / "cameras.html").string();
    const auto run = runDemo({"page", "-o", file.c_str()});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("Unable to create the file on the desktop.\n" + file + "\n"), std::string::npos)
        << run.err;
    EXPECT_TRUE(run.out.empty()) << run.out;
}

TEST(CliPage, BadWidthIsRefused) {
    EXPECT_NE(runCommand({"page", "--width", "0"}).status, 0);
    EXPECT_NE(runCommand({"page", "--width", "wide"}).status, 0);
}

}  // namespace
}  // namespace lm::cli
