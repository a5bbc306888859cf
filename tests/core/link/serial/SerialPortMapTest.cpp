#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "core/link/SerialPortMap.h"

namespace lm {
namespace {

TEST(SerialPortMap, StandardNamesAndTheirBounds) {
    auto map = SerialPortMap::standard();
    const std::pair<const char*, const char*> cases[] = {
        {"COM1", "/dev/ttyS0"},    {"COM16", "/dev/ttyS15"},  {"COM17", "/dev/ttyUSB0"},
        {"COM24", "/dev/ttyUSB7"}, {"COM25", "/dev/ttyACM0"}, {"COM32", "/dev/ttyACM7"},
    };
    for (const auto& [name, path] : cases)
        EXPECT_EQ(map.devicePath(name), std::optional<std::string>(path)) << name;
    for (const char* name : {"", "COM", "COM0", "COM33", "COM03", "COM+3", "COM-3", "COM 3", "COM3 ", " COM3",
                             "com3", "COM3a", "COM1.5", "LPT1", "COM99999999999999999999"})
        EXPECT_EQ(map.devicePath(name), std::nullopt) << '"' << name << '"';

    map.set(3, "/dev/pts/7");
    map.set(0, "/tmp/zero");
    map.set(33, "/tmp/thirty-three");
    EXPECT_EQ(map.devicePath("COM3"), "/dev/pts/7");
    EXPECT_EQ(map.devicePath("COM4"), "/dev/ttyS3");
    EXPECT_EQ(map.devicePath("COM33"), std::nullopt);
    EXPECT_EQ(map.devicePath("COM0"), std::nullopt);
}

// Single entries are overridden; a malformed value is reported and ignored whole.
TEST(SerialPortMap, EnvironmentOverridesSingleEntries) {
    ::unsetenv("LMTOOLS_SERIAL_PORTS");
    std::string error;
    EXPECT_EQ(SerialPortMap::fromEnvironment(&error).devicePath("COM3"), "/dev/ttyS2");
    ::setenv("LMTOOLS_SERIAL_PORTS", "", 1);
    EXPECT_EQ(SerialPortMap::fromEnvironment(&error).devicePath("COM3"), "/dev/ttyS2");
    ::setenv("LMTOOLS_SERIAL_PORTS", "COM3=/dev/pts/4,COM5=/tmp/x=y", 1);
    const auto map = SerialPortMap::fromEnvironment(&error);
    EXPECT_EQ(error, "");
    EXPECT_EQ(map.devicePath("COM3"), "/dev/pts/4");
    EXPECT_EQ(map.devicePath("COM5"), "/tmp/x=y");
    EXPECT_EQ(map.devicePath("COM4"), "/dev/ttyS3");
    for (const char* value :
         {"COM3", "COM3=", "=/tmp/x", "COM33=/tmp/x", "COM3=/tmp/x,", "COM3=/tmp/x,LPT1=/tmp/y"}) {
        ::setenv("LMTOOLS_SERIAL_PORTS", value, 1);
        const auto ignored = SerialPortMap::fromEnvironment(&error);
        EXPECT_NE(error.find("LMTOOLS_SERIAL_PORTS"), std::string::npos) << value;
        EXPECT_EQ(ignored.devicePath("COM3"), "/dev/ttyS2") << value;
        EXPECT_NO_FATAL_FAILURE(SerialPortMap::fromEnvironment());  // no sink for the report
    }
    ::unsetenv("LMTOOLS_SERIAL_PORTS");
}

}  // namespace
}  // namespace lm
