#include <gtest/gtest.h>

#include <cstdlib>

#include "core/platform/NetworkProfile.h"

namespace lm {
namespace {

TEST(NetworkProfile, InterfaceRowsParse) {
    const auto rows = NetworkProfile::parseInterfaces("127.0.0.254/255.0.0.0,10.1.2.3/255.255.255.0");
    ASSERT_TRUE(rows);
    ASSERT_EQ(rows->size(), 2u);
    EXPECT_EQ(dotted((*rows)[1].address), "10.1.2.3");
    EXPECT_EQ(dotted((*rows)[1].mask), "255.255.255.0");
    EXPECT_EQ((*rows)[1].broadcast, 1u);
    for (const char* bad : {"10.1.2.3", "10.1.2.3/", "x/255.0.0.0", "10.1.2.3/255.0.0.0,"})
        EXPECT_FALSE(NetworkProfile::parseInterfaces(bad)) << bad;
}

TEST(NetworkProfile, EnvironmentOverridesAndReportsBadValues) {
    ::setenv("LMTOOLS_DISCOVERY_PORT", "17364", 1);
    ::setenv("LMTOOLS_QUIET_MS", "250", 1);
    ::setenv("LMTOOLS_HTTP_PORT", "99999", 1);
    std::string error;
    const auto p = NetworkProfile::fromEnvironment(&error);
    ::unsetenv("LMTOOLS_DISCOVERY_PORT");
    ::unsetenv("LMTOOLS_QUIET_MS");
    ::unsetenv("LMTOOLS_HTTP_PORT");
    EXPECT_EQ(p.discoveryPort, 17364);
    EXPECT_EQ(p.quietPeriod, Milliseconds(250));
    EXPECT_EQ(p.httpPort, 80);
    EXPECT_NE(error.find("LMTOOLS_HTTP_PORT"), std::string::npos);
}

}  // namespace
}  // namespace lm
