#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "core/discovery/IcmpEcho.h"

namespace lm {
namespace {

TEST(IcmpChecksum, MatchesRfc1071FoldsCarriesAndIgnoresOddByte) {
    // RFC 1071 section 3: the words 0001 f203 f4f5 f6f7 sum to ddf2; the checksum is its complement.
    const std::array<unsigned char, 8> rfc = {0x00, 0x01, 0xf2, 0x03, 0xf4, 0xf5, 0xf6, 0xf7};
    EXPECT_EQ(icmpChecksum(rfc), 0x220d);
    const std::vector<unsigned char> ones(64, 0xff);  // 32 words of ffff: the sum folds back to ffff
    EXPECT_EQ(icmpChecksum(ones), 0x0000);
    const std::array<unsigned char, 3> odd = {0x12, 0x34, 0x56};
    EXPECT_EQ(icmpChecksum(odd), static_cast<uint16_t>(~0x1234));
}

TEST(IcmpEcho, RequestVerifiesAndCarriesFieldsLeastSignificantFirst) {
    const auto m = makeEchoRequest(0x1234, 1);
    EXPECT_EQ(std::vector<unsigned char>(m.begin(), m.begin() + 2), (std::vector<unsigned char>{8, 0}));
    EXPECT_EQ(std::vector<unsigned char>(m.begin() + 4, m.end()),
              (std::vector<unsigned char>{0x34, 0x12, 0x01, 0x00}));
    EXPECT_EQ(icmpChecksum(m), 0) << "a message with its checksum in place sums to zero";

    const auto header = readEchoHeader(m);
    ASSERT_TRUE(header);
    EXPECT_EQ(header->type, 8);
    EXPECT_EQ(header->identifier, 0x1234);
    EXPECT_EQ(header->sequence, 1);
    // Shorter than a header: no echo.
    EXPECT_FALSE(readEchoHeader(std::span(m).first(7)));
    EXPECT_FALSE(readEchoHeader({}));
}

}  // namespace
}  // namespace lm
