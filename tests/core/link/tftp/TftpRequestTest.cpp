#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "core/link/TftpServer.h"
#include "support/TftpPackets.h"

namespace lm {
namespace {

using test::readRequest;
using namespace std::string_literals;

std::optional<std::string> parse(const std::string& packet) {
    return TftpServer::parseReadRequest(
        std::span(reinterpret_cast<const unsigned char*>(packet.data()), packet.size()));
}

struct RequestCase {
    const char* what;
    std::string packet;
    std::optional<std::string> file;
};

TEST(TftpRequestTest, AcceptsOnlyOctetReadRequestsWithAName) {
    // The name begins at byte 2; a name of 249 bytes puts a five-letter mode on bytes 252..256.
    const std::string fits(249, 'a');
    const std::string crosses(250, 'a');
    const RequestCase cases[] = {
        {"plain octet", readRequest("bootimage.bin"), "bootimage.bin"},
        {"capitals", readRequest("bootimage.bin", "OCTET"), "bootimage.bin"},
        {"options after the mode", readRequest("f") + "blksize\0"s + "512\0"s, "f"},
        {"mode ended by the packet", "\0\1f\0octet"s, "f"},
        {"mode ends on byte 256", readRequest(fits), fits},
        {"netascii", readRequest("bootimage.bin", "netascii"), std::nullopt},
        {"longer word", readRequest("f", "octets"), std::nullopt},
        {"mode missing", "\0\1bootimage.bin\0"s, std::nullopt},
        {"no zero at all", "\0\1bootimage.bin"s, std::nullopt},
        {"empty name", readRequest(""), std::nullopt},
        {"write request", "\0\2f\0octet\0"s, std::nullopt},
        {"opcode only", "\0\1"s, std::nullopt},
        {"mode crosses byte 256", readRequest(crosses), std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(parse(c.packet), c.file) << c.what;
}

}  // namespace
}  // namespace lm
