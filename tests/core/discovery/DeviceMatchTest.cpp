#include <gtest/gtest.h>

#include "core/discovery/DeviceMatch.h"

using namespace lm;

namespace {

DeviceRecord device() {
    DeviceRecord record;
    record.id = "024C55-C20002";
    record.address = "192.168.5.20:8080";
    record.deviceType = "Lumetra C200";
    record.version = "Unknown (ARP)";
    record.mac = "02:4C:55:C2:00:02";
    return record;
}

struct Case {
    const char* search;
    bool matches;
};

// The three listed columns count, in any case and around blanks; the version and the MAC do not,
// and an empty search finds nothing rather than everything.
TEST(DeviceMatch, IdAddressOrTypeInAnyCase) {
    const Case cases[] = {
        {"024c55-c2", true}, {"C20002", true},  {"192.168.5", true}, {":8080", true},
        {"lumetra c", true}, {"  c200 ", true}, {"Unknown", false},  {"02:4C:55", false},
        {"", false},         {"   ", false},    {"C300", false},     {"192.168.5.200", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(deviceMatches(device(), c.search), c.matches) << '"' << c.search << '"';
}

// Device bytes outside ASCII are compared as they are, never folded into a match.
TEST(DeviceMatch, BytesBeyondAsciiCompareExactly) {
    DeviceRecord record = device();
    record.deviceType = "Kamera \xC4";
    EXPECT_TRUE(deviceMatches(record, "\xC4"));
    EXPECT_FALSE(deviceMatches(record, "\xE4"));
}

}  // namespace
