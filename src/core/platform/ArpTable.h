#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/platform/Ipv4.h"

namespace lm {

struct ArpRow {
    Ipv4 address = 0;
    std::array<uint8_t, 8> hardware{};
    std::size_t hardwareLength = 0;  // 0 when the row's hardware address could not be read
    std::string device;              // the interface it was learnt on; empty when absent or too long
};

// Parses the text of /proc/net/arp. Rows whose IPv4 address cannot be read are dropped; a hardware
// address longer than 8 bytes or with a malformed byte gets length 0. Rows come sorted by address.
std::vector<ArpRow> parseArpTable(std::string_view text);

// Reads and parses the table at path; nullopt when it cannot be read.
std::optional<std::vector<ArpRow>> readArpTable(const std::string& path);

}  // namespace lm
