// lmtools-cli config backup and config restore against the demo's simulated devices: the file a
// backup writes, the exit status of a site with a device missing, and every restore that must end
// before a device is written to.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <nlohmann/json.hpp>

#include "CliRun.h"

namespace lm::cli {
namespace {

using test::runDemo;

class SiteBackupTest : public testing::Test {
protected:
    void SetUp() override {
        ::unsetenv("LMTOOLS_PASSWORD");
        ::setenv("LMTOOLS_QUIET_MS", "300", 1);  // restore scans; the demo answers at once
    }
    void TearDown() override {
        ::unsetenv("LMTOOLS_QUIET_MS");
        for (const std::string& path : paths)
            std::filesystem::remove(path);
    }
    // Named per process: another run of these tests may share the folder.
    std::string path(const std::string& name) {
        paths.push_back(testing::TempDir() + std::to_string(::getpid()) + "-" + name);
        return paths.back();
    }
    std::string write(const std::string& name, const nlohmann::json& json) {
        const std::string file = path(name);
        std::ofstream(file) << json.dump();
        return file;
    }
    static nlohmann::json read(const std::string& file) { return nlohmann::json::parse(std::ifstream(file)); }

    std::vector<std::string> paths;
};

TEST_F(SiteBackupTest, BackupWritesEveryDeviceAndSaysWhichWereNotRead) {
    const std::string site = path("site.json");
    const auto run = runDemo({"config", "backup", "127.0.0.10", "127.0.0.12", "127.0.0.99", "-o",
                              site.c_str(), "--jobs", "3", "-q"});
    EXPECT_EQ(run.status, 3) << run.err;
    EXPECT_NE(run.out.find("127.0.0.12  024C55-C20002  Draviel6     OK"), std::string::npos) << run.out;
    const auto json = read(site);
    EXPECT_EQ(json["devices"].size(), 2u);
    const auto& draviel = json["devices"]["024C55-C20002"];
    EXPECT_EQ(draviel["address"], "127.0.0.12");
    EXPECT_EQ(draviel["mac"], "02:4C:55:C2:00:02");
    EXPECT_EQ(draviel["type"], "Draviel6");
    EXPECT_EQ(draviel["settings"]["ipAddress"], "127.0.0.12");
    EXPECT_EQ(draviel["problem"], nullptr);
    ASSERT_EQ(json["unidentified"].size(), 1u);
    EXPECT_EQ(json["unidentified"][0]["address"], "127.0.0.99");
    EXPECT_EQ(json["unidentified"][0]["settings"], nullptr);
    EXPECT_TRUE(json["unidentified"][0]["problem"].is_string());
    EXPECT_TRUE(json["takenAt"].get<std::string>().ends_with("Z"));
    // It holds the devices' dial-up and upload passwords.
    const auto perms = std::filesystem::status(site).permissions();
    EXPECT_EQ(perms & (std::filesystem::perms::group_all | std::filesystem::perms::others_all),
              std::filesystem::perms::none);

    // Only the devices of the type asked for; a file that cannot be written is a failure.
    const std::string drav = path("draviel.json");
    const auto typed = runDemo({"config", "backup", "--all", "--type", "draviel6", "-o", drav.c_str(), "-q"});
    EXPECT_EQ(typed.status, 0) << typed.err;
    EXPECT_EQ(read(drav)["devices"].size(), 1u);
    const auto unwritable = runDemo({"config", "backup", "127.0.0.10", "-o", "/nonexistent/site.json", "-q"});
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_NE(unwritable.err.find("/nonexistent/site.json: cannot be written"), std::string::npos)
        << unwritable.err;
}

TEST_F(SiteBackupTest, RestoreComparesChecksAndRefusesPerDevice) {
    const std::string site = path("restore.json");
    ASSERT_EQ(
        runDemo({"config", "backup", "127.0.0.10", "127.0.0.11", "127.0.0.12", "-o", site.c_str(), "-q"})
            .status,
        0);
    nlohmann::json json = read(site);
    json["devices"]["024C55-C00000"]["settings"]["hostname"] = "lobby";
    const std::string changed = write("changed.json", json);
    json["programVersion"] = "0.0.1";
    const std::string older = write("older.json", json);
    const std::string notJson = path("not.json");
    std::ofstream(notJson) << "{\"devices\":";
    const std::string badKey =
        write("badkey.json", {{"programVersion", "1"}, {"takenAt", "x"}, {"devices", {{"x", 1}}}});

    const struct {
        std::vector<const char*> args;
        int status;
        std::vector<std::string> inOut;
        std::string inErr;
    } cases[] = {
        {{"config", "restore", changed.c_str(), "--dry-run"},
         0,
         {"024C55-C00000 (127.0.0.10): would change\n  hostname: \"zelvix\" -> \"lobby\"\n",
          "024C55-C10001 (127.0.0.11): no setting would change\n",
          "024C55-C00000  024C55-C00000  127.0.0.10  OK: 1 setting would change",
          "024C55-C20002  024C55-C20002  127.0.0.12  OK: already matches"},
         ""},
        // Onto a replacement of the same type the address comes along; onto another type nothing does.
        {{"config", "restore", changed.c_str(), "024C55-C00000", "--replace", "024C55-C00000=024C55-C10001",
          "--dry-run"},
         0,
         {"  ipAddress: \"127.0.0.11\" -> \"127.0.0.10\"\n  hostname: \"zelvix\" -> \"lobby\"\n"},
         ""},
        {{"config", "restore", changed.c_str(), "024C55-C00000", "--replace", "024C55-C00000=024C55-C20002"},
         3,
         {"024C55-C00000  024C55-C20002  127.0.0.12  refused: the device is a Draviel6, the settings are of "
          "a Zelvix"},
         ""},
        {{"config", "restore", older.c_str(), "024C55-C10001"},
         3,
         {"refused: the file was written by version 0.0.1 of this program"},
         ""},
        {{"config", "restore", changed.c_str(), "024C55-C00000", "--replace", "024C55-C00000=024C55-C00077"},
         3,
         {"unreachable: the scan found no device 024C55-C00077"},
         ""},
        {{"config", "restore", changed.c_str(), "024C55-C99999"},
         64,
         {},
         "the file holds no device 024C55-C99999"},
        {{"config", "restore", changed.c_str(), "10.0.0.1"}, 64, {}, "\"10.0.0.1\" is not a device ID"},
        {{"config", "restore", changed.c_str(), "--replace", "024C55-C00000"},
         64,
         {},
         "--replace takes OLD_ID=NEW_ID"},
        {{"config", "restore", changed.c_str(), "--replace", "024C55-C00000=024C55-C10001"},
         64,
         {},
         "would both go onto 024C55-C10001"},
        {{"config", "restore", notJson.c_str()}, 64, {}, "not.json: not valid JSON"},
        {{"config", "restore", badKey.c_str()}, 64, {}, "\"x\" is not a device ID"},
        {{"config", "restore", "/nonexistent/site.json"}, 64, {}, "/nonexistent/site.json: cannot be read"},
    };
    for (const auto& c : cases) {
        std::vector<const char*> args = c.args;
        args.push_back("-q");
        const auto run = runDemo(args);
        const std::string what = c.args.size() > 3 ? c.args[3] : c.args[2];
        EXPECT_EQ(run.status, c.status) << what << "\n" << run.out << run.err;
        for (const std::string& part : c.inOut)
            EXPECT_NE(run.out.find(part), std::string::npos) << what << "\n" << run.out;
        EXPECT_NE(run.err.find(c.inErr), std::string::npos) << what << "\n" << run.err;
    }
}

}  // namespace
}  // namespace lm::cli
