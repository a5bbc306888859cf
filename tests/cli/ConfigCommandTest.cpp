// lmtools-cli config show and apply against the demo's simulated devices.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include <nlohmann/json.hpp>

#include "CliRun.h"

namespace lm::cli {
namespace {

using test::runDemo;

std::string settingsFile(const std::string& name, const nlohmann::json& json) {
    // Named per process: another run of these tests may share the folder.
    const std::string path = testing::TempDir() + std::to_string(::getpid()) + "-" + name;
    std::ofstream(path) << json.dump();
    return path;
}

TEST(ConfigCommand, ShowsAndChecksWithoutWriting) {
    ::unsetenv("LMTOOLS_PASSWORD");
    const auto shown = runDemo({"config", "show", "127.0.0.10", "--json", "-q"});
    ASSERT_EQ(shown.status, 0) << shown.err;
    const auto json = nlohmann::json::parse(shown.out);
    EXPECT_EQ(json["ipAddress"], "127.0.0.10");
    EXPECT_EQ(json["ipDhcp"], false);
    EXPECT_EQ(json["modemModel"], "3JTech");
    EXPECT_EQ(json["device"]["firmwareMajor"], 4);

    const std::string port8080 = settingsFile("port.json", {{"httpPort", "8080"}, {"device", {{"x", 1}}}});
    const std::string blankIp = settingsFile("blank.json", {{"ipAddress", ""}});
    const std::string unknown = settingsFile("unknown.json", {{"ipAdress", "1.2.3.4"}});
    const std::string injected = settingsFile("injected.json", {{"hostname", "cam\nreboot"}});
    // What show may have read from a hostile device is refused before the device is reached.
    const std::string hostile =
        settingsFile("hostile.json", {{"hostname", "cam"}, {"domain", "x$(reboot)"}, {"httpPort", "80"}});
    const std::string quoted = settingsFile("quoted.json", {{"phoneNumber", "555'; reboot; '"}});
    const struct {
        std::vector<const char*> args;
        int status;
        std::string inOut;
        std::string inErr;
    } cases[] = {
        {{"config", "show", "--serial", "AUTO"}, 0, "serialPort: COM1\n", "Reading /etc/config/boa.conf..."},
        {{"config", "show", "127.0.0.10", "--password", "nope"}, 2, "", "refused the password"},
        {{"config", "apply", "127.0.0.10", unknown.c_str()}, 64, "", "\"ipAdress\" is not a setting"},
        {{"config", "apply", "127.0.0.10", injected.c_str()}, 64, "", "control character"},
        {{"config", "apply", "127.0.0.10", hostile.c_str()},
         64,
         "",
         "hostile.json: \"domain\" holds \"$\", which would have the device's shell substitute a command or "
         "variable in resolv.conf"},
        {{"config", "apply", "127.0.0.10", quoted.c_str()}, 64, "", "\"phoneNumber\" holds \"'\""},
        {{"config", "show", "--serial", "COM40"}, 64, "", "COM1..COM32 or AUTO"},
        // A warning needs --yes without a terminal; a refused entry stops whatever is said.
        {{"config", "apply", "127.0.0.10", port8080.c_str(), "--dry-run"}, 1, "", "a warning needs --yes"},
        {{"config", "apply", "127.0.0.10", blankIp.c_str(), "--dry-run", "--yes"},
         1,
         "",
         "lmtools-cli: If you are going to have a static IP address\n"
         "lmtools-cli: you must specify the IP address here.\n"},
        {{"config", "apply", "127.0.0.10", port8080.c_str(), "--dry-run", "--yes", "-q"},
         0,
         "Configure for ethernet operation on 127.0.0.10, serving images from the internal web page.\n"
         "== /var/tmp/boa.conf\nPort 8080\n",
         "The HTTP Port is almost always 80 or 81"},
    };
    for (const auto& c : cases) {
        const auto run = runDemo(c.args);
        const std::string what = c.args[1] + std::string(" ") + (c.args.size() > 3 ? c.args[3] : "");
        EXPECT_EQ(run.status, c.status) << what << "\n" << run.err;
        EXPECT_NE(run.out.find(c.inOut), std::string::npos) << what << "\n" << run.out;
        EXPECT_NE(run.err.find(c.inErr), std::string::npos) << what << "\n" << run.err;
    }
}

std::string rawFile(const std::string& name, const std::string& text) {
    // Named per process: another run of these tests may share the folder.
    const std::string path = testing::TempDir() + std::to_string(::getpid()) + "-" + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

// A settings file says one thing for each key, or it is refused before the device is touched.
TEST(ConfigCommand, ApplyReadsItsFileStrictly) {
    ::unsetenv("LMTOOLS_PASSWORD");
    const struct {
        const char* what;
        std::string text;
        int status;
        std::string inOut, inErr;
    } cases[] = {
        {"a key twice", R"({"httpPort": "80", "hostname": "a", "httpPort": "8080"})", 64, "",
         "\"httpPort\" is given twice"},
        {"a key twice inside device", R"({"device": {"x": 1, "x": 2}})", 64, "", "\"x\" is given twice"},
        {"larger than 1 MiB", "{\"hostname\": \"" + std::string(1024 * 1024, 'a') + "\"}", 64, "",
         "larger than 1 MiB"},
        {"a port that is no number", R"({"httpPort": "eighty"})", 64, "",
         "\"httpPort\" must be a port number from 1 to 65535"},
        {"port 0", R"({"httpPort": "0"})", 64, "", "\"httpPort\" must be a port number"},
        {"port 65536", R"({"httpPort": 65536})", 64, "", "\"httpPort\" must be a port number"},
        {"a port that is a flag", R"({"httpPort": true})", 64, "", "\"httpPort\" must be a port number"},
        {"a C1 control", "{\"hostname\": \"cam\u0085\"}", 64, "",
         "the hostname holds a C1 control character"},
        {"a port given as a number", R"({"httpPort": 81})", 0, "== /var/tmp/boa.conf\nPort 81\n", ""},
    };
    for (const auto& c : cases) {
        const std::string file = rawFile("strict.json", c.text);
        const auto run = runDemo({"config", "apply", "127.0.0.10", file.c_str(), "--dry-run", "--yes", "-q"});
        EXPECT_EQ(run.status, c.status) << c.what << "\n" << run.err;
        EXPECT_NE(run.out.find(c.inOut), std::string::npos) << c.what << "\n" << run.out;
        EXPECT_NE(run.err.find(c.inErr), std::string::npos) << c.what << "\n" << run.err;
    }
}

// "-" reads the settings from standard input, as a pipe from config show would give them.
TEST(ConfigCommand, ApplyReadsStandardInput) {
    ::unsetenv("LMTOOLS_PASSWORD");
    const struct {
        const char* text;
        int status;
        const char* inOut;
        const char* inErr;
    } cases[] = {
        {R"({"httpPort": "81"})", 0, "Port 81\n", ""},
        {"{", 64, "", "standard input: not valid JSON"},
    };
    for (const auto& c : cases) {
        std::istringstream in(c.text);
        std::streambuf* const before = std::cin.rdbuf(in.rdbuf());
        const auto run = runDemo({"config", "apply", "127.0.0.10", "-", "--dry-run", "-q"});
        std::cin.rdbuf(before);
        EXPECT_EQ(run.status, c.status) << c.text << "\n" << run.err;
        EXPECT_NE(run.out.find(c.inOut), std::string::npos) << run.out;
        EXPECT_NE(run.err.find(c.inErr), std::string::npos) << run.err;
    }
}

// The whole apply: written, saved, rebooted, and back on the new address.
TEST(ConfigCommand, AppliesANewAddressAndFindsTheDeviceThere) {
    ::unsetenv("LMTOOLS_PASSWORD");
    const auto shown = runDemo({"config", "show", "127.0.0.11", "--json", "-q"});
    ASSERT_EQ(shown.status, 0) << shown.err;
    auto json = nlohmann::json::parse(shown.out);
    json["ipAddress"] = "127.0.0.61";
    const std::string file = settingsFile("moved.json", json);
    const auto applied = runDemo({"config", "apply", "127.0.0.11", file.c_str()});
    EXPECT_EQ(applied.status, 0) << applied.err;
    EXPECT_NE(applied.err.find("Moving files to permanent directory...\n"), std::string::npos) << applied.err;
    EXPECT_NE(applied.err.find("The device answers at 127.0.0.61.\n"), std::string::npos) << applied.err;
}

}  // namespace
}  // namespace lm::cli
