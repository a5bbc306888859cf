// The site file's shape and the rules of a restore: which saved device goes to which device, and
// every reason a device is left alone, each decided before anything is sent to it.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "core/wizard/SettingsApply.h"
#include "core/wizard/SettingsJson.h"
#include "core/wizard/SiteRestore.h"

namespace lm::test {
namespace {

constexpr const char* kVersion = "1.4.0";

// Settings as show prints them for a device of the given kind, with the hostname given.
nlohmann::json savedSettings(const std::string& hostname, int kind = 0, bool second = false) {
    DeviceSettings settings;
    settings.hostname = hostname;
    settings.httpPort = "80";
    settings.ipAddress = "10.1.1.20";
    settings.deviceKind = kind;
    settings.secondGeneration = second;
    return nlohmann::json(settingsToJson(settings, {4, 2, 1}));
}

nlohmann::json siteJson() {
    return {{"programVersion", kVersion},
            {"takenAt", "2026-12-08T05:30:00Z"},
            {"devices",
             {{"024C55-C00001",
               {{"address", "10.1.1.20"},
                {"mac", "02:4C:55:C0:00:01"},
                {"type", "Zelvix"},
                {"version", "4.2.1"},
                {"settings", savedSettings("lobby")},
                {"problem", nullptr}}},
              {"024C55-C00002",
               {{"address", "10.1.1.21"},
                {"mac", nullptr},
                {"type", "Zelvix"},
                {"version", nullptr},
                {"settings", nullptr},
                {"problem", "refused: Login incorrect"}}},
              {"024C55-C20003",
               {{"address", "10.1.1.22"},
                {"mac", "02:4C:55:C2:00:03"},
                {"type", "Draviel6"},
                {"version", "4.2.1"},
                {"settings", savedSettings("gate", 1)},
                {"problem", nullptr}}}}},
            {"unidentified", {{{"address", "10.1.1.23"}, {"problem", "no answer: silent"}}}}};
}

SiteFile site() {
    SiteFile file;
    EXPECT_EQ(siteFromJson(siteJson(), file), "");
    return file;
}

TEST(SiteFile, ReadsWhatItWritesAndRefusesEveryOtherShape) {
    const SiteFile file = site();
    ASSERT_EQ(file.devices.size(), 4u);
    EXPECT_EQ(file.devices[0].settings["hostname"], "lobby");
    EXPECT_EQ(file.devices[1].problem, "refused: Login incorrect");
    EXPECT_TRUE(file.devices[3].id.empty());
    SiteFile again;
    ASSERT_EQ(siteFromJson(nlohmann::json(siteToJson(file)), again), "");
    EXPECT_EQ(siteToJson(again), siteToJson(file));

    // Two devices giving one ID: neither is lost.
    SiteFile twice = file;
    twice.devices.push_back(file.devices[0]);
    twice.devices.back().address = "10.1.1.99";
    const auto both = siteToJson(twice);
    EXPECT_EQ(both["devices"]["024C55-C00001"]["address"], "10.1.1.20");
    ASSERT_EQ(both["unidentified"].size(), 2u);
    EXPECT_EQ(both["unidentified"][1]["address"], "10.1.1.99");
    EXPECT_EQ(both["unidentified"][1]["settings"]["hostname"], "lobby");

    const auto changed = [](const std::function<void(nlohmann::json&)>& change) {
        nlohmann::json json = siteJson();
        change(json);
        return json;
    };
    const struct {
        nlohmann::json json;
        std::string problem;
    } cases[] = {
        {nlohmann::json::array(), "the file does not hold a JSON object"},
        {changed([](auto& j) { j.erase("programVersion"); }), "\"programVersion\" must be a text"},
        {changed([](auto& j) { j["takenAt"] = 5; }), "\"takenAt\" must be a text"},
        {changed([](auto& j) { j["devices"] = nlohmann::json::array(); }),
         "\"devices\" must be a JSON object"},
        {changed([](auto& j) { j["devices"]["10.1.1.20"] = j["devices"]["024C55-C00001"]; }),
         "\"10.1.1.20\" is not a device ID"},
        // One device under two spellings would be restored twice.
        {changed([](auto& j) { j["devices"]["024c55-c00001"] = j["devices"]["024C55-C00001"]; }),
         "device 024C55-C00001 is given twice"},
        {changed([](auto& j) { j["devices"]["024C55-C00001"]["password"] = "x"; }),
         "device 024C55-C00001: \"password\" is not known"},
        {changed([](auto& j) { j["devices"]["024C55-C00001"]["settings"] = "hostname=x"; }),
         "\"settings\" must be a JSON object or null"},
        {changed([](auto& j) { j["devices"]["024C55-C00001"]["address"] = "10.1.1.300"; }),
         "\"address\" is no IPv4 address"},
        {changed([](auto& j) { j["devices"]["024C55-C00001"]["mac"] = 7; }),
         "\"mac\" must be a text or null"},
        {changed([](auto& j) { j["devices"]["024C55-C00002"]["problem"] = nullptr; }),
         "device 024C55-C00002: holds neither settings nor a problem"},
        {changed([](auto& j) { j["unidentified"] = nlohmann::json::object(); }),
         "\"unidentified\" must be a JSON array"},
    };
    for (const auto& c : cases) {
        SiteFile read;
        const std::string problem = siteFromJson(c.json, read);
        EXPECT_NE(problem.find(c.problem), std::string::npos) << problem << "\n" << c.json.dump();
    }
}

TEST(SiteRestore, ReplacementsAndChoicesThatCannotBeMet) {
    const struct {
        std::string text;
        bool parsed;
        std::pair<std::string, std::string> replacement;
    } replacements[] = {
        {"024C55-C00001=024c55-c00009", true, {"024C55-C00001", "024C55-C00009"}},
        {"024C55-C00001", false, {}},
        {"024C55-C00001=", false, {}},
        {"024C55-C00001=10.1.1.20", false, {}},
        {"=024C55-C00001", false, {}},
    };
    for (const auto& c : replacements) {
        std::pair<std::string, std::string> parsed;
        EXPECT_EQ(parseReplacement(c.text, parsed), c.parsed) << c.text;
        if (c.parsed) {
            EXPECT_EQ(parsed, c.replacement) << c.text;
        }
    }

    const SiteFile file = site();
    const struct {
        RestoreChoice choice;
        std::string problem;
    } choices[] = {
        {{}, ""},
        {{{"024c55-c00001"}, {}}, ""},
        {{{"024C55-C00001"}, {{"024C55-C00001", "024C55-C00009"}}}, ""},
        {{{"024C55-C00009"}, {}}, "the file holds no device 024C55-C00009"},
        {{{}, {{"024C55-C00009", "024C55-C00001"}}}, "--replace: the file holds no device 024C55-C00009"},
        {{{"024C55-C00001"}, {{"024C55-C00001", "024C55-C00001"}}}, "replaces itself"},
        // Every saved device, one of them onto another saved one: two sets of settings, one device.
        {{{}, {{"024C55-C00001", "024C55-C20003"}}},
         "the settings of 024C55-C00001 and of 024C55-C20003 would both go onto 024C55-C20003"},
        {{{"024C55-C00001"}, {{"024C55-C00001", "024C55-C20003"}}}, ""},
    };
    for (const auto& c : choices) {
        const std::string problem = restoreChoiceProblem(file, c.choice);
        if (c.problem.empty())
            EXPECT_EQ(problem, "");
        else
            EXPECT_NE(problem.find(c.problem), std::string::npos) << problem;
    }
}

TEST(SiteRestore, PlanPairsEachSavedDeviceWithTheOneOfItsIdOrLeavesItWithTheReason) {
    const std::vector<BatchDevice> scanned = {{"10.1.1.40", "024C55-C00001", "zelvix"},
                                              {"10.1.1.41", "024C55-C00009", "Zelvix"},
                                              {"10.1.1.42", "024C55-C20003", "Draviel6"},
                                              {"10.1.1.43", "024C55-C00008", "Farloomer"}};
    const struct {
        const char* what;
        RestoreChoice choice;
        std::string version;
        std::vector<std::tuple<std::string, std::string, BatchResult, std::string>> rows;  // host, id, ...
    } cases[] = {
        {"every device: found at its new address, not saved, of its type",
         {},
         kVersion,
         {{"10.1.1.40", "024C55-C00001", BatchResult::Ok, ""},
          {"", "024C55-C00002", BatchResult::Skipped,
           "its settings were not saved: refused: Login incorrect"},
          {"10.1.1.42", "024C55-C20003", BatchResult::Ok, ""}}},
        {"another program version refuses every device",
         {{"024C55-C00001"}, {}},
         "1.5.0",
         {{"10.1.1.40", "024C55-C00001", BatchResult::Refused,
           "the file was written by version 1.4.0 of this program, not by this version (1.5.0)"}}},
        {"a replacement of the same type",
         {{"024C55-C00001"}, {{"024C55-C00001", "024C55-C00009"}}},
         kVersion,
         {{"10.1.1.41", "024C55-C00009", BatchResult::Ok, ""}}},
        {"a replacement of another type",
         {{"024C55-C00001"}, {{"024C55-C00001", "024C55-C00008"}}},
         kVersion,
         {{"10.1.1.43", "024C55-C00008", BatchResult::Refused,
           "the device is a Farloomer, the settings are of a Zelvix"}}},
        {"a replacement the scan did not find",
         {{"024C55-C00001"}, {{"024C55-C00001", "024C55-C00077"}}},
         kVersion,
         {{"", "024C55-C00077", BatchResult::Unreachable, "the scan found no device 024C55-C00077"}}},
    };
    for (const auto& c : cases) {
        const auto plan = planRestore(site(), c.choice, scanned, c.version);
        ASSERT_EQ(plan.size(), c.rows.size()) << c.what;
        for (std::size_t i = 0; i < plan.size(); ++i) {
            const auto& [host, id, result, message] = c.rows[i];
            EXPECT_EQ(plan[i].target.host, host) << c.what;
            EXPECT_EQ(plan[i].target.id, id) << c.what;
            EXPECT_EQ(plan[i].result, result) << c.what;
            EXPECT_EQ(plan[i].message, message) << c.what;
        }
    }
}

TEST(SiteRestore, DeviceReadIsCheckedAgainstItsSavedEntryBeforeAnythingIsWritten) {
    const SavedDevice saved = site().devices[0];  // kind 0, first generation, "lobby"
    DeviceSettings device;
    device.macAddress = "02:4C:55:C0:00:01";
    device.hostname = "zelvix";
    device.ftpHost = "ftp.example";  // not in the file's changed fields: kept as the file says

    const auto with = [&](const std::function<void(DeviceSettings&, SavedDevice&)>& change) {
        DeviceSettings read = device;
        SavedDevice entry = saved;
        change(read, entry);
        return std::pair{read, entry};
    };
    const struct {
        const char* what;
        std::pair<DeviceSettings, SavedDevice> input;
        std::string target;
        std::string problem;
    } cases[] = {
        {"the device planned", with([](auto&, auto&) {}), "024C55-C00001", ""},
        {"the device says no MAC", with([](auto& read, auto&) { read.macAddress.clear(); }), "024C55-C00001",
         "the device did not give its MAC, so it cannot be told to be 024C55-C00001"},
        {"another device answers at the address", with([](auto&, auto&) {}), "024C55-C00009",
         "the device answering is 024C55-C00001, not 024C55-C00009"},
        {"another kind", with([](auto& read, auto&) { read.deviceKind = 2; }), "024C55-C00001",
         "the device is of another kind (2) than the saved one (0)"},
        {"another generation", with([](auto& read, auto&) { read.secondGeneration = true; }), "024C55-C00001",
         "the device is of the second generation, the saved one is not"},
        {"no saved device facts", with([](auto&, auto& entry) { entry.settings.erase("device"); }),
         "024C55-C00001", "than the saved one (not saved)"},
        {"an unknown setting", with([](auto&, auto& entry) { entry.settings["ipAdress"] = "1.2.3.4"; }),
         "024C55-C00001", "the saved settings cannot be written: \"ipAdress\" is not a setting"},
        // What a hostile device once said never reaches a file on another.
        {"a value that would run on the device",
         with([](auto&, auto& entry) { entry.settings["domain"] = "x$(reboot)"; }), "024C55-C00001",
         "the saved settings cannot be written: \"domain\" holds \"$\""},
        {"a control character", with([](auto&, auto& entry) { entry.settings["hostname"] = "cam\nreboot"; }),
         "024C55-C00001", "control character"},
    };
    for (const auto& c : cases) {
        DeviceSettings wanted;
        std::set<std::string> given;
        const std::string problem = restoredSettings(c.input.second, c.target, c.input.first, wanted, given);
        if (c.problem.empty()) {
            EXPECT_EQ(problem, "") << c.what;
            EXPECT_EQ(wanted.hostname, "lobby") << c.what;
            EXPECT_EQ(wanted.macAddress, device.macAddress) << c.what;
            EXPECT_TRUE(given.contains("hostname") && !given.contains("device")) << c.what;
        } else {
            EXPECT_NE(problem.find(c.problem), std::string::npos) << c.what << ": " << problem;
        }
    }
}

TEST(SiteRestore, ChangesListOnlyTheFieldsThatDiffer) {
    DeviceSettings before;
    before.hostname = "zelvix";
    before.httpPort = "80";
    DeviceSettings after = before;
    EXPECT_TRUE(settingChanges(before, after).empty());
    after.hostname = "lobby";
    after.uploadEnabled = !before.uploadEnabled;
    after.macAddress = "02:4C:55:C0:00:01";  // not an editable field
    const std::vector<SettingChange> expected = {
        {"hostname", "zelvix", "lobby"},
        {"uploadEnabled", before.uploadEnabled ? "yes" : "no", after.uploadEnabled ? "yes" : "no"}};
    EXPECT_EQ(settingChanges(before, after), expected);
}

}  // namespace
}  // namespace lm::test
