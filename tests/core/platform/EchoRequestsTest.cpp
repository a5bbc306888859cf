// The echo setting: read, allowed for a while, and put back once, by its owner or by a signal handler.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/EchoRequests.h"

namespace lm {
namespace {

class EchoRequestsTest : public testing::Test {
protected:
    void TearDown() override { std::filesystem::remove(path); }
    void write(const char* value) { std::ofstream(path) << value; }
    std::string value() const {
        std::ifstream in(path);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::string path = testing::TempDir() + "echo-" + std::to_string(::getpid());
};

TEST_F(EchoRequestsTest, OnlyOneBlocksAndWhatCannotBeReadAllows) {
    for (const auto& [content, blocked] : {std::pair{"1\n", true}, {"0\n", false}, {"2\n", false}}) {
        write(content);
        EXPECT_EQ(echoRequestsBlocked(path), blocked) << content;
    }
    EXPECT_FALSE(echoRequestsBlocked(path + "-missing"));
}

TEST_F(EchoRequestsTest, AllowanceIsPutBackOnceWhoeverEndsIt) {
    write("1\n");
    {
        EchoAllowance allowance(path);
        ASSERT_TRUE(allowance.held()) << allowance.problem();
        EXPECT_EQ(value(), "0\n");
        EXPECT_FALSE(EchoAllowance(path).held()) << "one at a time, so that a signal can put it back";
    }
    EXPECT_EQ(value(), "1\n");
    {
        EchoAllowance allowance(path);
        EchoAllowance::restoreFromSignal();
        EXPECT_EQ(value(), "1\n");
        write("0\n");  // changed by someone else since: nobody writes it again
        EchoAllowance::restoreFromSignal();
    }
    EXPECT_EQ(value(), "0\n");
}

// A setting even root may not write says so, and what to do.
TEST_F(EchoRequestsTest, SettingThatCannotBeWrittenIsExplained) {
    const std::string readOnly = "/proc/sys/kernel/ngroups_max";
    if (!std::filesystem::exists(readOnly)) GTEST_SKIP() << "no " << readOnly;
    EchoAllowance allowance(readOnly);
    EXPECT_FALSE(allowance.held());
    EXPECT_NE(allowance.problem().find("sudo sysctl -w net.ipv4.icmp_echo_ignore_all=0"), std::string::npos)
        << allowance.problem();
}

}  // namespace
}  // namespace lm
