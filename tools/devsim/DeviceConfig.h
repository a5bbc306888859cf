#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Ipv4.h"

namespace lm::sim {

// How the web server misbehaves when asked for the picture.
enum class HttpFault {
    None,       // 200, image/jpeg, Content-Length
    NotFound,   // 404
    WrongType,  // 200 with Content-Type text/html
    Chunked,    // body in several chunks
    Redirect,   // 302 to /image2.jpg, which serves the picture
    NoLength,   // no Content-Length; the body ends when the connection closes
    Slow,       // body dribbled out in pieces, complete within about two seconds
    Silent,     // reads the request and never answers
};

// The text used in configurations ("none", "notFound", ...).
std::string_view faultName(HttpFault fault);
std::optional<HttpFault> faultFromName(std::string_view name);

using Mac = std::array<uint8_t, 6>;

// "02:4C:55:C8:12:34" (either case) -> bytes.
std::optional<Mac> parseMac(std::string_view text);

struct HttpBehaviour {
    HttpFault fault = HttpFault::None;
    unsigned width = 640;  // picture size in pixels
    unsigned height = 480;
};

// One simulated device.
struct DeviceConfig {
    static constexpr unsigned kMaxImageSide = 4096;
    static constexpr std::size_t kMaxReplyBytes = 65507;  // one UDP datagram

    Mac mac{};
    Ipv4 address = 0;
    // Where the device hears broadcast probes; 0 means the default for the address
    // (127.255.255.255 on loopback, the /24 broadcast elsewhere).
    Ipv4 broadcast = 0;
    std::string product = "Lumetra/ZelvixXL-2";
    std::string version = "4.2.1";
    std::string subtype;
    // Replaces the whole discovery reply when set (any bytes, even none).
    std::optional<std::string> reply;
    bool answersProbe = true;
    HttpBehaviour http;
};

// The MAC-derived identifier, "024C55-C81234".
std::string identifierOf(const DeviceConfig& device);

// The datagram the device sends in answer to a probe.
std::string replyOf(const DeviceConfig& device);

// The broadcast address the device listens on: its own setting or the default for its address.
Ipv4 broadcastOf(const DeviceConfig& device);

// A device of the given model code (0xC0..0xD1) with the product line and subtype that make the
// scan show that model's name; other codes get a generic product. Everything else is default.
DeviceConfig modelDevice(uint8_t modelCode);

// `count` devices of mixed models, versions and picture sizes with distinct MACs (up to 65536), on
// consecutive addresses from `firstAddress` (127.0.0.255 is followed by 127.0.1.0).
std::vector<DeviceConfig> demoDevices(std::size_t count, Ipv4 firstAddress);

}  // namespace lm::sim
