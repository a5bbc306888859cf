#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <set>

#include "DeviceConfig.h"
#include "SimulatorConfig.h"
#include "devsim/TestClient.h"

namespace lm::sim {
namespace {

using nlohmann::json;
using test::ip;

// What a scan reads as the device type: token 0 after "/" up to "-", then " " + each subtype.
std::string scannedType(const std::string& reply) {
    std::string token = reply.substr(0, reply.find(' '));
    if (const auto slash = token.find('/'); slash != std::string::npos)
        token = token.substr(slash + 1).substr(0, token.substr(slash + 1).find('-'));
    const auto subtype = reply.find(" subtype=");
    return subtype == std::string::npos ? token : token + " " + reply.substr(subtype + 9);
}

TEST(ConfigTest, ReadsEveryFieldOfADevice) {
    const json document = json::parse(R"({
        "discoveryPort": 7364, "httpPort": 8080,
        "devices": [
          { "mac": "02:4c:55:c8:12:34", "address": "127.0.0.11", "broadcast": "127.255.255.255",
            "product": "Lumetra/ZelvixXL-2", "version": "4.2.1", "subtype": "VGA",
            "reply": null, "answersProbe": false,
            "http": { "fault": "chunked", "image": [320, 200] } },
          { "mac": "02:4C:55:C9:00:01", "address": "10.77.0.12", "reply": "a\u0000b" },
          { "mac": "02:4C:55:C0:00:02", "address": "127.0.0.13", "reply": [255, 0, 10] } ] })");
    std::string error;
    const auto config = parseConfig(document, &error);
    ASSERT_TRUE(config) << error;
    EXPECT_EQ(config->discoveryPort, 7364);
    EXPECT_EQ(config->httpPort, 8080);
    ASSERT_EQ(config->devices.size(), 3u);

    const DeviceConfig& full = config->devices[0];
    EXPECT_EQ(full.mac, (Mac{0x02, 0x4C, 0x55, 0xC8, 0x12, 0x34}));
    EXPECT_EQ(full.address, ip("127.0.0.11"));
    EXPECT_EQ(full.broadcast, ip("127.255.255.255"));
    EXPECT_EQ(full.version, "4.2.1");
    EXPECT_FALSE(full.reply);
    EXPECT_FALSE(full.answersProbe);
    EXPECT_EQ(full.http.fault, HttpFault::Chunked);
    EXPECT_EQ(full.http.width, 320u);
    EXPECT_EQ(full.http.height, 200u);

    // Left out: the model's product and subtype, the default broadcast for the address.
    const DeviceConfig& sparse = config->devices[1];
    EXPECT_EQ(sparse.product, "Lumetra/ZelvixXL-2");
    EXPECT_EQ(sparse.subtype, "1.3MP");
    EXPECT_TRUE(sparse.answersProbe);
    EXPECT_EQ(sparse.http.fault, HttpFault::None);
    EXPECT_EQ(sparse.http.width, 640u);
    EXPECT_EQ(sparse.http.height, 480u);
    EXPECT_EQ(broadcastOf(sparse), ip("10.77.0.255"));
    EXPECT_EQ(broadcastOf(config->devices[2]), ip("127.255.255.255"));
    EXPECT_EQ(replyOf(sparse), std::string("a\0b", 3));
    EXPECT_EQ(replyOf(config->devices[2]), std::string("\xff\0\n", 3));
}

TEST(ConfigTest, ReadsEveryFaultName) {
    const std::map<std::string, HttpFault> names{
        {"none", HttpFault::None},           {"notFound", HttpFault::NotFound},
        {"wrongType", HttpFault::WrongType}, {"chunked", HttpFault::Chunked},
        {"redirect", HttpFault::Redirect},   {"noLength", HttpFault::NoLength},
        {"slow", HttpFault::Slow},           {"silent", HttpFault::Silent}};
    for (const auto& [name, fault] : names) {
        json document = {{"devices", {{{"mac", "02:4C:55:C8:00:01"}, {"address", "127.0.0.2"}}}}};
        document["devices"][0]["http"] = {{"fault", name}};
        std::string error;
        const auto config = parseConfig(document, &error);
        ASSERT_TRUE(config) << name << ": " << error;
        EXPECT_EQ(config->devices[0].http.fault, fault) << name;
    }
}

TEST(ConfigTest, RejectsBadInputNamingThePlace) {
    const json good = {{"mac", "02:4C:55:C8:00:01"}, {"address", "127.0.0.2"}};
    auto with = [&](const char* key, json value) {
        json device = good;
        device[key] = std::move(value);
        return json{{"devices", {device}}};
    };
    auto without = [&](const char* key) {
        json device = good;
        device.erase(key);
        return json{{"devices", {device}}};
    };
    const std::vector<std::pair<json, std::string>> cases{
        {json::array(), "configuration: expected an object"},
        {json::object(), "expected \"devices\""},
        {json{{"devices", {good}}, {"extra", 1}}, "unknown key \"extra\""},
        {json{{"devices", {good}}, {"httpPort", 70000}}, "httpPort: expected a port"},
        {json{{"devices", {good}}, {"discoveryPort", -1}}, "discoveryPort: expected a port"},
        {json{{"devices", {good, 5}}}, "devices[1]: expected an object"},
        {without("mac"), "devices[0]: missing \"mac\""},
        {without("address"), "devices[0]: missing \"address\""},
        {with("mac", "02:4C:55:C8:00"), "devices[0].mac: expected six hex pairs"},
        {with("mac", "02-4C-55-C8-00-01"), "devices[0].mac: expected six hex pairs"},
        {with("mac", "02:4C:55:C8:00:0g"), "devices[0].mac: expected six hex pairs"},
        {with("mac", 42), "devices[0].mac: expected a string"},
        {with("address", "127.0.0"), "devices[0].address: expected a dotted IPv4 address"},
        {with("broadcast", "localhost"), "devices[0].broadcast: expected a dotted IPv4 address"},
        {with("answersProbe", "yes"), "devices[0].answersProbe: expected true or false"},
        {with("answerProbe", false), "devices[0]: unknown key \"answerProbe\""},
        {with("reply", 7), "devices[0].reply: expected null, a string or an array of bytes"},
        {with("reply", json::array({1, 256})), "devices[0].reply: expected bytes 0..255"},
        {with("reply", std::string(65508, 'x')), "devices[0].reply: longer than one datagram"},
        {with("http", {{"fault", "broken"}}), "devices[0].http.fault: expected one of"},
        {with("http", {{"image", {0, 480}}}), "devices[0].http.image: expected [width, height]"},
        {with("http", {{"image", {640, 4097}}}), "devices[0].http.image: expected [width, height]"},
        {with("http", {{"image", {640, 480, 3}}}), "devices[0].http.image: expected [width, height]"},
        {with("http", {{"timeout", 3}}), "devices[0].http: unknown key \"timeout\""},
        {json{{"devices", {good}}, {"telnetPort", "23"}}, "telnetPort: expected a port"},
        {json{{"devices", {good}}, {"tftpPort", 0u}}, "tftpPort: expected a port 1..65535"},
        {with("prompt", "$ "), "devices[0].prompt: expected \"> \" or \"# \""},
        {with("password", "a\nb"), "devices[0].password: expected one line"},
        {with("password", std::string(257, 'p')), "devices[0].password: expected one line"},
        {with("serial", "yes"), "devices[0].serial: expected true or false"},
        {with("rebootDelayMs", -5), "devices[0].rebootDelayMs: expected milliseconds"},
        {with("files", {{"etc/version", "x"}}),
         "devices[0].files[\"etc/version\"]: expected an absolute file path"},
        {with("files", {{"/etc/../x", "x"}}), "expected an absolute file path"},
        {with("files", {{"/etc/config/", "x"}}), "expected an absolute file path"},
        {with("files", {{"/etc/version", 3}}), "devices[0].files[\"/etc/version\"]: expected a string"},
        {with("files", {{"/big", std::string((1 << 20) + 1, 'x')}}), "longer than 1048576 bytes"},
        {with("outputs", json::array()), "devices[0].outputs: expected an object of texts"},
        {with("faults", {{"slow", true}}), "devices[0].faults: unknown key \"slow\""},
        {with("faults", {{"lostAck", 0}}), "devices[0].faults.lostAck: expected a block number 1..65535"},
        {with("faults", {{"repeatAck", 70000}}), "devices[0].faults.repeatAck: expected a block number"},
        {with("faults", {{"silent", 1}}), "devices[0].faults.silent: expected true or false"},
    };
    for (const auto& [document, expected] : cases) {
        std::string error;
        EXPECT_FALSE(parseConfig(document, &error)) << document.dump();
        EXPECT_NE(error.find(expected), std::string::npos) << document.dump() << " gave: " << error;
    }
}

TEST(ConfigTest, ReadsTheShellSideOfADevice) {
    const json document = json::parse(R"({
        "telnetPort": 2323, "tftpPort": 6969,
        "devices": [
          { "mac": "02:4C:55:C8:00:01", "address": "127.0.0.11", "password": "secret", "prompt": "# ",
            "hostname": "lobby", "configDepend": true, "serial": true, "consoleInEditor": true,
            "rebootDelayMs": 250,
            "files": { "/etc/config/boa.conf": "Port 8080\n", "/proc/uptime": "5.00 4.00\n" },
            "outputs": { "dmesg": "quiet\n" },
            "faults": { "silent": true, "slowOutput": true, "refusePassword": true,
                        "configClearDenied": true, "lostAck": 3, "repeatAck": 65535 } },
          { "mac": "02:4C:55:C8:00:02", "address": "127.0.0.12" } ] })");
    std::string error;
    const auto config = parseConfig(document, &error);
    ASSERT_TRUE(config) << error;
    EXPECT_EQ(config->telnetPort, 2323);
    EXPECT_EQ(config->tftpPort, 6969);
    const ShellBehaviour& shell = config->devices[0].shell;
    EXPECT_EQ(shell.password, "secret");
    EXPECT_EQ(shell.prompt, "# ");
    EXPECT_EQ(hostnameOf(config->devices[0]), "lobby");
    EXPECT_TRUE(shell.configDepend && shell.serial && shell.consoleInEditor);
    EXPECT_EQ(shell.rebootDelayMs, 250u);
    EXPECT_EQ(factoryFiles(config->devices[0]).at("/etc/config/boa.conf"), "Port 8080\n");
    EXPECT_EQ(factoryFiles(config->devices[0]).at("/proc/uptime"), "5.00 4.00\n");
    EXPECT_EQ(shell.outputs.at("dmesg"), "quiet\n");
    EXPECT_TRUE(shell.faults.silent && shell.faults.slowOutput && shell.faults.refusePassword &&
                shell.faults.configClearDenied);
    EXPECT_EQ(shell.faults.lostAck, 3);
    EXPECT_EQ(shell.faults.repeatAck, 65535);

    // Left out: the factory defaults.
    const ShellBehaviour& plain = config->devices[1].shell;
    EXPECT_EQ(plain.password, "vorna");
    EXPECT_EQ(plain.prompt, "> ");
    EXPECT_EQ(hostnameOf(config->devices[1]), "zelvixxl");
    EXPECT_FALSE(plain.serial || plain.configDepend || plain.faults.silent || plain.faults.lostAck);
    const SimulatorConfig defaults = *parseConfig(json{{"devices", json::array()}}, &error);
    EXPECT_EQ(defaults.telnetPort, 0);
    EXPECT_EQ(defaults.tftpPort, 69);
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
        {0xD0, "4.3.0", "Lumetra ZelvixSC version 4.3.0\n", "/etc/config/ftp0.conf", true},
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

TEST(ConfigTest, ReplyTextForms) {
    DeviceConfig device;
    device.mac = {0x02, 0x4c, 0x55, 0xc8, 0x0a, 0xb0};
    device.product = "Lumetra/ZelvixXL-2";
    device.version = "4.2.1";
    struct Case {
        std::string subtype;
        std::optional<std::string> reply;
        std::string expected;
    };
    const std::vector<Case> cases{
        {"VGA", std::nullopt, "Lumetra/ZelvixXL-2 cam 4.2.1 id=024C55-C80AB0 subtype=VGA"},
        {"", std::nullopt, "Lumetra/ZelvixXL-2 cam 4.2.1 id=024C55-C80AB0"},
        {"VGA", "", ""},
        {"VGA", std::string("x\0y z", 5), std::string("x\0y z", 5)},
    };
    for (const Case& c : cases) {
        device.subtype = c.subtype;
        device.reply = c.reply;
        EXPECT_EQ(replyOf(device), c.expected);
    }
    EXPECT_EQ(identifierOf(device), "024C55-C80AB0");
}

TEST(ConfigTest, DemoDevicesReadAsTheModelTable) {
    const std::map<uint8_t, std::string> table{
        {0xC0, "Zelvix"},       {0xC1, "Zelvix"},         {0xC2, "Draviel6"},     {0xC3, "Pell-Mandor"},
        {0xC4, "ZelvixMP"},     {0xC5, "Quorbent"},       {0xC6, "Farloomer"},    {0xC7, "Draviel1"},
        {0xC8, "ZelvixXL VGA"}, {0xC9, "ZelvixXL 1.3MP"}, {0xCA, "ZelvixXL 3MP"}, {0xCB, "DravielXL 1"},
        {0xCC, "DravielXL 12"}, {0xCD, "DravielXL 1"},    {0xCE, "ZelvixXL 5MP"}, {0xCF, "DravielXL 2"},
        {0xD0, "ZelvixSC 5MP"}, {0xD1, "ZelvixSC 3MP"}};
    const auto devices = demoDevices(1000, ip("127.0.0.10"));
    ASSERT_EQ(devices.size(), 1000u);
    std::set<Mac> macs;
    std::set<Ipv4> addresses;
    std::set<uint8_t> models;
    std::set<std::string> versions;
    std::set<std::pair<unsigned, unsigned>> sizes;
    for (const DeviceConfig& device : devices) {
        macs.insert(device.mac);
        addresses.insert(device.address);
        models.insert(device.mac[3]);
        versions.insert(device.version);
        sizes.insert({device.http.width, device.http.height});
        EXPECT_EQ((std::array{device.mac[0], device.mac[1], device.mac[2]}),
                  (std::array<uint8_t, 3>{2, 0x4C, 0x55}));
        ASSERT_TRUE(table.contains(device.mac[3]));
        EXPECT_EQ(scannedType(replyOf(device)), table.at(device.mac[3])) << replyOf(device);
    }
    EXPECT_EQ(macs.size(), 1000u);
    EXPECT_EQ(addresses.size(), 1000u);
    EXPECT_EQ(models.size(), table.size());
    EXPECT_GT(versions.size(), 2u);
    EXPECT_GT(sizes.size(), 1u);
    EXPECT_EQ(devices[0].address, ip("127.0.0.10"));
    EXPECT_EQ(devices[245].address, ip("127.0.0.255"));
    EXPECT_EQ(devices[246].address, ip("127.0.1.0"));
    EXPECT_EQ(devices[999].address, ip("127.0.3.241"));
}

}  // namespace
}  // namespace lm::sim
