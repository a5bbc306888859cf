#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <tuple>

#include "devsim/BootAddress.h"
#include "devsim/DeviceConfig.h"
#include "devsim/SimulatorConfig.h"

namespace lm::sim {
namespace {

using nlohmann::json;

TEST(ConfigTest, ReadsADeviceAndFillsInWhatItLeavesOut) {
    const json document = json::parse(R"({
        "discoveryPort": 7364, "httpPort": 8080, "telnetPort": 2323, "tftpPort": 6969,
        "devices": [
          { "mac": "02:4c:55:c8:12:34", "address": "127.0.0.11", "broadcast": "10.0.0.255",
            "version": "4.0.9", "reply": null, "answersProbe": false,
            "http": { "fault": "chunked", "image": [320, 200] },
            "files": { "/etc/config/boa.conf": "Port 8080\n" }, "faults": { "lostAck": 3, "repeatAck": 65535 }, "commandLatencyMs": 200,
            "activity": { "uptime": 3600, "exposure": 416, "busDevices": { "0.79": 2 } } },
          { "mac": "02:4C:55:C9:00:01", "address": "10.77.0.12", "reply": "a\u0000b" },
          { "mac": "02:4C:55:C0:00:02", "address": "127.0.0.13", "reply": [255, 0, 10] } ] })");
    std::string error;
    const auto config = parseConfig(document, &error);
    ASSERT_TRUE(config) << error;
    EXPECT_EQ(std::tuple(config->discoveryPort, config->httpPort, config->telnetPort, config->tftpPort),
              std::tuple(7364, 8080, 2323, 6969));
    ASSERT_EQ(config->devices.size(), 3u);

    const DeviceConfig& full = config->devices[0];
    EXPECT_EQ(full.mac, (Mac{0x02, 0x4C, 0x55, 0xC8, 0x12, 0x34}));
    EXPECT_EQ(full.address, *parseIpv4("127.0.0.11"));
    EXPECT_EQ(broadcastOf(full), *parseIpv4("10.0.0.255"));
    EXPECT_EQ(full.version, "4.0.9");
    EXPECT_FALSE(full.reply || full.answersProbe);
    EXPECT_EQ(std::tuple(full.http.fault, full.http.width, full.http.height),
              std::tuple(HttpFault::Chunked, 320u, 200u));
    EXPECT_EQ(factoryFiles(full).at("/etc/config/boa.conf"), "Port 8080\n");  // replaces the default
    EXPECT_EQ(std::tuple(full.shell.faults.lostAck, full.shell.faults.repeatAck), std::tuple(3, 65535));
    EXPECT_EQ(full.shell.commandLatencyMs, 200u);
    EXPECT_EQ(factoryFiles(full).at("/proc/uptime"), "3600.00 3582.00\n");
    EXPECT_EQ(factoryFiles(full).at("/proc/mbus"),
              "addr  name      rx     tx     errors\n0.79  ds1629    51230  51200  2\n");
    EXPECT_NE(factoryFiles(full).at("/proc/zelvix").find(" 416 "), std::string::npos);

    // Left out: product and subtype come from the MAC's model, the broadcast from the address.
    const DeviceConfig& sparse = config->devices[1];
    EXPECT_EQ(sparse.product + " " + sparse.subtype, "Lumetra/ZelvixXL-2 1.3MP");
    EXPECT_EQ(hostnameOf(sparse), "zelvixxl");
    EXPECT_EQ(broadcastOf(sparse), *parseIpv4("10.77.0.255"));
    EXPECT_EQ(broadcastOf(config->devices[2]), *parseIpv4("127.255.255.255"));
    // Replies may hold any bytes.
    EXPECT_EQ(replyOf(sparse), std::string("a\0b", 3));
    EXPECT_EQ(replyOf(config->devices[2]), std::string("\xff\0\n", 3));
}

TEST(ConfigTest, RejectsBadInputNamingThePlace) {
    const json good = {{"mac", "02:4C:55:C8:00:01"}, {"address", "127.0.0.2"}};
    auto with = [&](const char* key, json value) {
        json device = good;
        device[key] = std::move(value);
        return json{{"devices", {device}}};
    };
    json noMac = good;
    noMac.erase("mac");
    const std::vector<std::pair<json, std::string>> cases{
        {json::array(), "configuration: expected an object"},
        {json::object(), "expected \"devices\""},
        {json{{"devices", {good}}, {"extra", 1}}, "unknown key \"extra\""},
        {json{{"devices", {good}}, {"tftpPort", 0u}}, "tftpPort: expected a port 1..65535"},
        {json{{"devices", {good, 5}}}, "devices[1]: expected an object"},
        {json{{"devices", {noMac}}}, "devices[0]: missing \"mac\""},
        {with("mac", "02-4C-55-C8-00-01"), "devices[0].mac: expected six hex pairs"},
        {with("address", "127.0.0"), "devices[0].address: expected a dotted IPv4 address"},
        {with("answersProbe", "yes"), "devices[0].answersProbe: expected true or false"},
        {with("reply", 7), "devices[0].reply: expected null, a string or an array of bytes"},
        {with("reply", json::array({1, 256})), "devices[0].reply: expected bytes 0..255"},
        {with("reply", std::string(65508, 'x')), "devices[0].reply: longer than one datagram"},
        {with("http", {{"fault", "broken"}}), "devices[0].http.fault: expected one of"},
        {with("http", {{"image", {640, 4097}}}), "devices[0].http.image: expected [width, height]"},
        {with("prompt", "$ "), "devices[0].prompt: expected \"> \" or \"# \""},
        {with("password", "a\nb"), "devices[0].password: expected one line"},
        {with("files", {{"/etc/../x", "x"}}),
         "devices[0].files[\"/etc/../x\"]: expected an absolute file path"},
        {with("files", {{"/big", std::string((1 << 20) + 1, 'x')}}), "longer than 1048576 bytes"},
        {with("faults", {{"lostAck", 0}}), "devices[0].faults.lostAck: expected a block number 1..65535"},
        {with("commandLatencyMs", 60001), "devices[0].commandLatencyMs: expected milliseconds 0..60000"},
        {with("activity", {{"uptime", -1}}), "devices[0].activity.uptime: expected a number"},
        {with("activity", {{"busDevices", {{"0.1", "x"}}}}), "devices[0].activity.busDevices[\"0.1\"]"},
    };
    for (const auto& [document, expected] : cases) {
        std::string error;
        EXPECT_FALSE(parseConfig(document, &error)) << document.dump();
        EXPECT_NE(error.find(expected), std::string::npos) << document.dump() << " gave: " << error;
    }
}

TEST(ConfigTest, FactoryFilesNameTheFamilyTheWayThePcReadsIt) {
    struct Case {
        uint8_t model;
        const char* version;
        const char* versionLine;
        const char* uploadFile;  // second-generation devices keep it in ftp0.conf
        bool camera;
    };
    const std::vector<Case> cases{
        {0xC0, "1.0.5", "Lumetra Zelvix version 1.0.5\n", "/etc/config/ftp.conf", true},
        {0xC2, "2.1.3", "Lumetra Draviel6 version 2.1.3\n", "/etc/config/ftp0.conf", false},
        {0xC3, "3.0.1", "Lumetra PellMandor version 3.0.1\n", "/etc/config/ftp.conf", true},
        {0xC8, "4.2.1", "Lumetra ZelvixXL version 4.2.1\n", "/etc/config/ftp0.conf", true},
    };
    for (const Case& c : cases) {
        DeviceConfig device = modelDevice(c.model);
        device.version = c.version;
        const auto files = factoryFiles(device);
        EXPECT_EQ(files.at("/etc/version"), c.versionLine);
        EXPECT_TRUE(files.contains(c.uploadFile)) << c.versionLine;
        EXPECT_EQ(files.contains("/proc/zelvix"), c.camera) << c.versionLine;
    }
    // Firmware before 1.0.6 keeps its upload settings as an FTP script, later ones as keys.
    EXPECT_NE(factoryFiles(modelDevice(0xC0)).at("/etc/config/ftp.conf").find("hostname="),
              std::string::npos);
    DeviceConfig old = modelDevice(0xC0);
    old.version = "1.0.5";
    EXPECT_EQ(factoryFiles(old).at("/etc/config/ftp.conf").find("hostname="), std::string::npos);
    // A version line given in the device's files decides, read as the PC reads it.
    old.shell.files["/etc/version"] = "Lumetra ZelvixXL version 1.0.5\n";
    EXPECT_EQ(factoryFiles(old).at("/etc/config/ftp0.conf").substr(0, 12), "timeout 300\n");
    EXPECT_TRUE(factoryFiles(old).contains("/etc/config/sched0.conf"));
    old.shell.files["/etc/version"] = "Lumetra 1.0.6 ZelvixXL\n";  // no text after the family word
    EXPECT_NE(factoryFiles(old).at("/etc/config/ftp.conf").find("hostname="), std::string::npos);

    // The console opens a root shell from firmware 1.0.14 on.
    for (const auto& [version, prompt] : std::vector<std::pair<std::string, std::string>>{
             {"1.0.5", "> "}, {"1.0.13", "> "}, {"1.0.14", "# "}, {"1.1.0", "# "}, {"4.2.1", "# "}}) {
        old.shell.files["/etc/version"] = "Lumetra Zelvix version " + version + "\n";
        EXPECT_EQ(consolePromptOf(old), prompt) << version;
    }
}

TEST(ConfigTest, BootAddressIsTheSavedStaticOne) {
    const std::vector<std::pair<const char*, const char*>> cases{
        {"DEVICE=eth0\nBOOTPROTO=none\nIPADDR=10.0.0.5\n", "10.0.0.5"},
        {"IPADDR=10.0.0.5\r\nBOOTPROTO=Static\r\n", "10.0.0.5"},
        {"BOOTPROTO=none\nIPADDR=10.0.0.5\nIPADDR=10.0.0.6\n", "10.0.0.6"},  // the last one counts
        {"BOOTPROTO=dhcp\nIPADDR=10.0.0.5\n", nullptr},
        {"IPADDR=10.0.0.5\n", nullptr},
        {"BOOTPROTO=none\nIPADDR=10.0.0\n", nullptr},
        {"BOOTPROTO=none\nIPADDR=\n", nullptr},
        {"BOOTPROTO=none\nIPADDR=0.0.0.0\n", nullptr},
        {"BOOTPROTO=none\nIPADDR=224.0.0.1\n", nullptr},
        {"BOOTPROTO=none\nMY_IPADDR=10.0.0.5\n", nullptr},
    };
    for (const auto& [ifcfg, address] : cases)
        EXPECT_EQ(bootAddressOf(ifcfg), address ? parseIpv4(address) : std::nullopt) << ifcfg;
}

TEST(ConfigTest, LoadConfigReportsFileProblems) {
    const auto dir = std::filesystem::path(::testing::TempDir());
    const auto broken = dir / "devsim-broken.json";
    const auto good = dir / "devsim-good.json";
    std::ofstream(broken) << "{ \"devices\": [ ";
    std::ofstream(good) << R"({"devices": [{"mac": "02:4C:55:C2:00:01", "address": "127.0.0.5"}]})";
    std::string error;
    EXPECT_FALSE(loadConfig((dir / "devsim-missing.json").string(), &error));
    EXPECT_NE(error.find("cannot be read"), std::string::npos) << error;
    EXPECT_FALSE(loadConfig(broken.string(), &error));
    EXPECT_NE(error.find("not valid JSON"), std::string::npos) << error;
    const auto config = loadConfig(good.string(), &error);
    ASSERT_TRUE(config) << error;
    EXPECT_EQ(config->devices.at(0).product, "Lumetra/Draviel6-1");
}

}  // namespace
}  // namespace lm::sim
