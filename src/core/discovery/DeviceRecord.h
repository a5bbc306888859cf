#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace lm {

// An address without a manual entry's ":port"; what every device conversation uses.
inline std::string hostPart(std::string_view address) {
    return std::string(address.substr(0, address.find(':')));
}

// The address as a browser needs it: a manual entry's own port stays; otherwise the profile's HTTP
// port is added when it is not the standard one, as in the demo.
inline std::string webAddress(std::string_view address, uint16_t httpPort) {
    std::string web(address);
    if (httpPort != 80 && address.find(':') == std::string_view::npos) web += ":" + std::to_string(httpPort);
    return web;
}

// The ID a device answers discovery with, made from its six MAC bytes: "024C55-C89A2B".
inline std::string deviceIdOfMac(const uint8_t* mac) {
    char text[16];
    std::snprintf(text, sizeof text, "%02X%02X%02X-%02X%02X%02X", mac[0], mac[1], mac[2], mac[3], mac[4],
                  mac[5]);
    return text;
}

// The MAC a device ID is made from: "02:4C:55:C8:9A:2B" from "024C55-C89A2B"; nullopt for text of
// another form.
inline std::optional<std::string> macOfDeviceId(std::string_view id) {
    if (id.size() != 13 || id[6] != '-') return std::nullopt;
    std::string mac;
    for (std::size_t i = 0; i < id.size(); ++i) {
        if (i == 6) continue;
        const char c = id[i];
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f')))
            return std::nullopt;
        if (!mac.empty() && mac.size() % 3 == 2) mac += ':';
        mac += static_cast<char>(c >= 'a' ? c - 'a' + 'A' : c);
    }
    return mac;
}

// "02:4C:55:12:34:56" from the six MAC bytes.
inline std::string macText(const uint8_t* mac) {
    char text[18];
    std::snprintf(text, sizeof text, "%02X:%02X:%02X:%02X:%02X:%02X", mac[0], mac[1], mac[2], mac[3], mac[4],
                  mac[5]);
    return text;
}

// What the list shows where a device did not tell: its ID or type; its version when only the ARP
// table knew of it.
inline constexpr std::string_view kUnknownText = "Unknown";
inline constexpr std::string_view kArpOnlyVersion = "Unknown (ARP)";

// Whether text is that stand-in, in any case: a reply may spell it as it likes.
inline bool isUnknownText(std::string_view text) {
    if (text.size() != kUnknownText.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i)
        if ((text[i] | 0x20) != (kUnknownText[i] | 0x20)) return false;
    return true;
}

// How a record came to be known.
enum class DeviceSource { probe, echo, arp, manual };

constexpr std::string_view deviceSourceName(DeviceSource source) {
    switch (source) {
        case DeviceSource::probe:
            return "probe";
        case DeviceSource::echo:
            return "echo";
        case DeviceSource::arp:
            return "arp";
        case DeviceSource::manual:
            return "manual";
    }
    return "manual";
}

// What a scan learns of a device beyond its ID, address, type and version; empty when unknown.
struct DeviceFacts {
    std::string mac;  // "02:4C:55:12:34:56", as the ARP table gives it
    std::string product;
    std::string subtype;
    DeviceSource source = DeviceSource::manual;
    std::string interfaceName;  // the PC's interface it was heard on
};

// One known device.
struct DeviceRecord {
    std::string id;
    std::string address;  // dotted IPv4; a manual entry may carry ":" and an HTTP port
    std::string deviceType;
    std::string version;
    std::string interfaceName;  // the PC's interface it was found on; empty when none could be told
    std::string mac;
    std::string product;
    std::string subtype;
    DeviceSource source = DeviceSource::manual;
    bool thumbnailFetch = false;  // a fetch was started and has not succeeded
    uint32_t imageIndex = 0;      // 0: the default picture
    bool seen = true;
    uint64_t key = 0;  // stable identity: results that arrive late find their record by it

    std::string hostPart() const { return lm::hostPart(address); }
};

}  // namespace lm
