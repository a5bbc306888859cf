#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "discovery/IcmpEcho.h"

namespace lm {
namespace {

TEST(IcmpChecksum, MatchesRfc1071Example) {
    // RFC 1071 section 3: the words 0001 f203 f4f5 f6f7 sum to ddf2; the checksum is its complement.
    const std::array<unsigned char, 8> bytes = {0x00, 0x01, 0xf2, 0x03, 0xf4, 0xf5, 0xf6, 0xf7};
    EXPECT_EQ(icmpChecksum(bytes), 0x220d);
}

TEST(IcmpChecksum, FoldsCarriesAndIgnoresOddByte) {
    const std::vector<unsigned char> ones(64, 0xff);  // 32 words of ffff: the sum folds back to ffff
    EXPECT_EQ(icmpChecksum(ones), 0x0000);
    const std::array<unsigned char, 3> odd = {0x12, 0x34, 0x56};
    EXPECT_EQ(icmpChecksum(odd), static_cast<uint16_t>(~0x1234));
}

TEST(IcmpEcho, RequestVerifiesAndCarriesFieldsLeastSignificantFirst) {
    const auto m = makeEchoRequest(0x1234, 1);
    EXPECT_EQ(m[0], 8);
    EXPECT_EQ(m[1], 0);
    EXPECT_EQ(m[4], 0x34);
    EXPECT_EQ(m[5], 0x12);
    EXPECT_EQ(m[6], 0x01);
    EXPECT_EQ(m[7], 0x00);
    EXPECT_EQ(icmpChecksum(m), 0) << "a message with its checksum in place sums to zero";

    const auto header = readEchoHeader(m);
    ASSERT_TRUE(header);
    EXPECT_EQ(header->type, 8);
    EXPECT_EQ(header->identifier, 0x1234);
    EXPECT_EQ(header->sequence, 1);
}

TEST(IcmpEcho, ShortMessagesAreNotEchoes) {
    const std::array<unsigned char, 7> shortMessage = {0, 0, 0, 0, 0, 0, 0};
    EXPECT_FALSE(readEchoHeader(shortMessage));
    EXPECT_FALSE(readEchoHeader({}));
}

}  // namespace
}  // namespace lm
