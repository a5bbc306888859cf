#pragma once

#include <string>
#include <string_view>

namespace lm::test {

// TFTP packets as they go over the wire, written out independently of the code under test.
inline std::string readRequest(std::string_view file, std::string_view mode = "octet") {
    std::string packet{'\0', '\1'};
    packet.append(file).push_back('\0');
    packet.append(mode).push_back('\0');
    return packet;
}

inline std::string blockPacket(char opcode, unsigned block) {
    return {'\0', opcode, static_cast<char>((block >> 8) & 0xff), static_cast<char>(block & 0xff)};
}

inline std::string dataPacket(unsigned block, std::string_view payload) {
    return blockPacket('\3', block).append(payload);
}

inline std::string acknowledgement(unsigned block) {
    return blockPacket('\4', block);
}

}  // namespace lm::test
