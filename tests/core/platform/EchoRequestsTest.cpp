// The echo setting: allowed for a while and put back once, by its owner or by a signal handler.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "core/platform/EchoRequests.h"

namespace lm {
namespace {

TEST(EchoRequests, AllowanceIsPutBackOnceWhoeverEndsIt) {
    const std::string path = testing::TempDir() + "echo-" + std::to_string(::getpid());
    const auto value = [&] {
        std::ifstream in(path);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    EXPECT_FALSE(echoRequestsBlocked(path)) << "a setting that cannot be read allows them";
    std::ofstream(path) << "1\n";
    EXPECT_TRUE(echoRequestsBlocked(path));
    {
        EchoAllowance allowance(path);
        ASSERT_TRUE(allowance.held()) << allowance.problem();
        EXPECT_FALSE(EchoAllowance(path).held()) << "one at a time, so that a signal can put it back";
        EchoAllowance::restoreFromSignal();
        EXPECT_EQ(value(), "1\n");
        std::ofstream(path) << "0\n";  // changed by someone else since: nobody writes it again
        EchoAllowance::restoreFromSignal();
    }
    EXPECT_EQ(value(), "0\n");
    std::filesystem::remove(path);

    // A setting even root may not write says so, and what to do.
    EchoAllowance readOnly("/proc/sys/kernel/ngroups_max");
    EXPECT_FALSE(readOnly.held());
    EXPECT_NE(readOnly.problem().find("sudo sysctl -w net.ipv4.icmp_echo_ignore_all=0"), std::string::npos)
        << readOnly.problem();
}

}  // namespace
}  // namespace lm
