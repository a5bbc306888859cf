#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/platform/Ipv4.h"

namespace lm::sim {

// How the web server misbehaves when asked for the picture.
enum class HttpFault {
    None,         // 200, image/jpeg, Content-Length
    NotFound,     // 404
    WrongType,    // 200 with Content-Type text/html
    Chunked,      // body in several chunks
    Redirect,     // 302 to /image2.jpg, which serves the picture
    NoLength,     // no Content-Length; the body ends when the connection closes
    Slow,         // body dribbled out in pieces, complete within about two seconds
    Silent,       // reads the request and never answers
    HugePicture,  // 200, image/png: about 31 KB that claim 5700 x 5700 pixels
};

// The text used in configurations ("none", "notFound", ...).
std::string_view faultName(HttpFault fault);
// Every name, for messages: "none, notFound, ...".
std::string faultNameList();
std::optional<HttpFault> faultFromName(std::string_view name);

using Mac = std::array<uint8_t, 6>;

// "02:4C:55:C8:12:34" (either case) -> bytes.
std::optional<Mac> parseMac(std::string_view text);

struct HttpBehaviour {
    HttpFault fault = HttpFault::None;
    unsigned width = 640;  // picture size in pixels
    unsigned height = 480;
};

// How the device's telnet server, shell and flash tool misbehave; all off by default.
struct ShellFaults {
    bool silent = false;             // telnet: accepts the connection and never sends a byte
    bool slowOutput = false;         // every output dribbled out a few bytes at a time
    bool refusePassword = false;     // every login ends in "Login incorrect"
    bool configClearDenied = false;  // "config clear" answers "Permission denied"
    // TFTP: the acknowledgement of this data block is never sent.
    std::optional<uint16_t> lostAck;
    // TFTP: this data block is answered with the previous block's acknowledgement instead of its own.
    std::optional<uint16_t> repeatAck;
    // TFTP: every acknowledgement goes out this many milliseconds after its block, as over a slow link.
    unsigned ackDelayMs = 0;
};

// What the device tells of its activity since it started: /proc/uptime, /proc/zelvix, /proc/mbus,
// ps and the bus tool's answers are made from these.
struct ActivityBehaviour {
    double uptime = 30012.53;          // seconds
    double temperature = 25.0;         // Celsius, in half degrees
    bool unsteadyTemperature = false;  // every reading differs from the one before
    std::string processVersion = "10.60M";
    unsigned exposure = 833;
    unsigned errors = 0;
    uint64_t frames = 123456;
    std::optional<unsigned> pid;             // the camera process's id; by default one that suits the prompt
    std::string watchdogReply = "05 01 41";  // minor 5, major 1, revision 'A'
    // The devices on the bus by address, with their error counts.
    std::map<std::string, unsigned> busDevices{{"0.1", 0}, {"0.79", 0}, {"0.124", 0}};
};

// The device's command side: telnet login, shell, serial console and flash tool.
struct ShellBehaviour {
    static constexpr std::size_t kMaxTextBytes = 256;
    static constexpr std::size_t kMaxFileBytes = 1 << 20;

    std::string password = "vorna";  // for the user "admin"
    std::string prompt = "> ";       // "> " or "# "
    std::string hostname;            // empty: derived from the product
    bool configDepend = false;       // "config" alone mentions "depend=" and config depend=... works
    bool serial = false;             // a serial console on a pty
    bool consoleInEditor = false;    // the console starts inside the editor, as a failed run leaves it
    unsigned rebootDelayMs = 5000;   // how long a reboot keeps the device away
    unsigned commandLatencyMs = 0;   // how long each command thinks before its output, as real devices do
    std::string flashCopy;           // a file that receives each image the flash tool fetches, as fetched
    // Files added to or replacing the defaults, by absolute path.
    std::map<std::string, std::string> files;
    // Replaces the output of a command line given exactly as typed.
    std::map<std::string, std::string> outputs;
    ShellFaults faults;
    ActivityBehaviour activity;
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
    ShellBehaviour shell;
};

// The MAC-derived identifier, "024C55-C81234".
std::string identifierOf(const DeviceConfig& device);

// The datagram the device sends in answer to a probe.
std::string replyOf(const DeviceConfig& device);

// The broadcast address the device listens on: its own setting or the default for its address.
Ipv4 broadcastOf(const DeviceConfig& device);

// The product family word, "ZelvixXL" for "Lumetra/ZelvixXL-2", "PellMandor" for "Pell-Mandor".
std::string familyOf(const DeviceConfig& device);

// The host name of the login prompt: the configured one or the family in lower case.
std::string hostnameOf(const DeviceConfig& device);

// The contents of /etc/version: the text given in the device's files, else one made from its
// product and version. Its configuration files and console follow it, read as the PC reads it.
std::string versionLineOf(const DeviceConfig& device);

// The serial console's prompt: firmware from 1.0.14 on opens a root shell ("# ") there; older
// firmware shows the device's prompt until "/bin/nsh".
std::string consolePromptOf(const DeviceConfig& device);

// The files a freshly flashed device holds: /etc/version, the /etc/config set, /proc and logs,
// overlaid by the device's own "files".
std::map<std::string, std::string> factoryFiles(const DeviceConfig& device);

// Whether the device is a video server (the Draviel family) rather than a camera.
bool isVideoServer(const DeviceConfig& device);

// A device of the given model code (0xC0..0xD1) with the product line and subtype that make the
// scan show that model's name; other codes get a generic product. Everything else is default.
DeviceConfig modelDevice(uint8_t modelCode);

// `count` devices of mixed models, versions and picture sizes with distinct MACs (up to 65536), on
// consecutive addresses from `firstAddress` (127.0.0.255 is followed by 127.0.1.0).
std::vector<DeviceConfig> demoDevices(std::size_t count, Ipv4 firstAddress);

}  // namespace lm::sim
