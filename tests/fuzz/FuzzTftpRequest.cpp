// TFTP read requests arrive from any host on the network.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "core/link/TftpServer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The server never reads more than 523 bytes of a datagram.
    const auto packet = std::span(data, std::min<size_t>(size, 523));
    const auto file = lm::TftpServer::parseReadRequest(packet);
    if (!file) return 0;
    const bool sound = packet[0] == 0 && packet[1] == 1 && !file->empty() &&
                       file->size() + 3 <= packet.size() && file->find('\0') == std::string::npos &&
                       *file == std::string(packet.begin() + 2,
                                            packet.begin() + 2 + static_cast<std::ptrdiff_t>(file->size()));
    if (!sound) __builtin_trap();
    return 0;
}
