// A device's file with the settings' lines brought up to date: its other lines stay where they are.
#include <gtest/gtest.h>

#include "core/wizard/SettingsMerge.h"

namespace lm {
namespace {

using Lines = std::vector<std::string>;

TEST(SettingsMerge, KeepsWhatNoSettingOwns) {
    const struct {
        const char* what;
        Lines asRead, ours, owned, merged;
    } cases[] = {
        {"boa.conf with lines of its own",
         {"User nobody", "Port 80", "Group nogroup", "", "# the end"},
         {"Port 8080"},
         {},
         {"User nobody", "Port 8080", "Group nogroup", "", "# the end"}},
        {"a key found as the reader finds it, whatever the case", {"port 80"}, {"Port 81"}, {}, {"Port 81"}},
        {"a new key is appended",
         {"DEVICE=eth0", "X=1"},
         {"DEVICE=eth0", "ONBOOT=yes"},
         {},
         {"DEVICE=eth0", "X=1", "ONBOOT=yes"}},
        {"repeated keys fill their lines in order; an emptied one goes",
         {"domain old", "search x", "nameserver 1.1.1.1", "nameserver 2.2.2.2", "options ndots:1"},
         {"nameserver 3.3.3.3"},
         {"domain ", "nameserver "},
         {"search x", "nameserver 3.3.3.3", "options ndots:1"}},
        {"a key that holds a longer key's start is not that key",
         {"GATEWAYDEV=eth0", "GATEWAY=10.0.0.1", "DEVICE_SPEED=9600", "DEVICE=/dev/ttyS0"},
         {"GATEWAY=10.0.0.2", "DEVICE=/dev/ttyS0"},
         {},
         {"GATEWAYDEV=eth0", "GATEWAY=10.0.0.2", "DEVICE_SPEED=9600", "DEVICE=/dev/ttyS0"}},
        {"nothing read: ours as they are", {}, {"a=1", "b=2"}, {}, {"a=1", "b=2"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(mergedFile(c.asRead, c.ours, c.owned), c.merged) << c.what;
}

}  // namespace
}  // namespace lm
