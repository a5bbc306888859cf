#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/platform/InterfaceTable.h"
#include "core/platform/Timing.h"

namespace lm {

// The standard ports and places. Only tests and the demo change them, through the environment
// variables named in fromEnvironment() or by setting the fields directly.
struct NetworkProfile {
    uint16_t discoveryPort = 7364;
    uint16_t telnetPort = 23;
    uint16_t httpPort = 80;
    uint16_t tftpPort = 69;
    Milliseconds quietPeriod{5000};

    // When set, these rows stand in for the PC's interface table.
    std::optional<std::vector<InterfaceRow>> interfaces;
    std::string arpTablePath = "/proc/net/arp";
    // The kernel setting that blocks incoming echo requests, which the firmware upgrade needs.
    std::string echoSettingPath = "/proc/sys/net/ipv4/icmp_echo_ignore_all";

    // The interface table the scan uses: the stand-in rows, or the system's.
    std::optional<std::vector<InterfaceRow>> interfaceTable() const;

    // The product profile with these overrides read from the environment:
    //   LMTOOLS_DISCOVERY_PORT, LMTOOLS_TELNET_PORT, LMTOOLS_HTTP_PORT, LMTOOLS_TFTP_PORT (numbers),
    //   LMTOOLS_QUIET_MS (the scan's quiet period in milliseconds),
    //   LMTOOLS_INTERFACES ("ADDRESS/MASK[,ADDRESS/MASK...]", each row broadcasting to ADDRESS OR NOT MASK),
    //   LMTOOLS_ARP_TABLE (a file in the format of /proc/net/arp),
    //   LMTOOLS_ECHO_SETTING (a file standing in for /proc/sys/net/ipv4/icmp_echo_ignore_all).
    // A malformed value is reported in `error` and the standard value kept.
    static NetworkProfile fromEnvironment(std::string* error = nullptr);

    // Parses the LMTOOLS_INTERFACES form; nullopt when any row is malformed.
    static std::optional<std::vector<InterfaceRow>> parseInterfaces(const std::string& text);
};

}  // namespace lm
