#include <gtest/gtest.h>

#include <string>

#include "core/wizard/SettingsWords.h"

namespace lm {
namespace {

std::string wordsOf(const DeviceSettings& settings, const std::string& label) {
    for (const auto& [name, text] : settingsInWords(settings))
        if (name == label) return text;
    return "(absent)";
}

// A device far from its factory settings: static address, names, an upload with a schedule.
DeviceSettings configured() {
    DeviceSettings s;
    s.ipDhcp = false;
    s.ipAddress = "10.20.0.31";
    s.netmask = "255.255.0.0";
    s.gateway = "10.20.0.1";
    s.hostname = "gate-north";
    s.domain = "site.example";
    s.dns1 = "10.20.0.2";
    s.dns3 = "10.20.0.3";
    s.httpPort = "8080";
    s.uploadEnabled = true;
    s.ftpHost = "ftp.site.example";
    s.ftpUser = "cams";
    s.ftpPassword = "s3cret-ftp";
    s.ispPassword = "s3cret-isp";
    s.ftpPath = "/north";
    s.passiveMode = false;
    s.scheduleEvery = "5";
    s.scheduleUnit = 60;
    s.scheduleWindow = true;
    s.scheduleStart = "06:00";
    s.scheduleStop = "20:00";
    s.dayMon = s.dayWed = s.dayFri = true;
    return s;
}

TEST(SettingsWords, SaysEachSettingInPlainWords) {
    const DeviceSettings s = configured();
    const std::pair<const char*, const char*> expected[] = {
        {"Network", "static address 10.20.0.31, netmask 255.255.0.0, gateway 10.20.0.1"},
        {"Names", "host name gate-north; domain site.example; name servers 10.20.0.2, 10.20.0.3"},
        {"Web port", "8080"},
        {"Upload", "FTP to ftp.site.example as cams, folder /north, active mode"},
        {"Schedule", "every 5 minutes, from 06:00 to 20:00, on Mon Wed Fri"},
    };
    for (const auto& [label, text] : expected)
        EXPECT_EQ(wordsOf(s, label), text) << label;
}

TEST(SettingsWords, FactorySettingsAndGapsReadPlainlyToo) {
    DeviceSettings factory;
    EXPECT_EQ(wordsOf(factory, "Network"), "address from DHCP");
    EXPECT_EQ(wordsOf(factory, "Names"), "none set");
    EXPECT_EQ(wordsOf(factory, "Web port"), "80");
    EXPECT_EQ(wordsOf(factory, "Upload"), "off");
    EXPECT_EQ(wordsOf(factory, "Schedule"), "(absent)");  // no upload, nothing scheduled

    DeviceSettings bare = configured();
    bare.ipAddress.clear();
    bare.gateway.clear();
    bare.ftpHost.clear();
    bare.ftpUser.clear();
    bare.dayMon = bare.dayWed = bare.dayFri = false;
    bare.scheduleUnit = 3600;
    EXPECT_EQ(wordsOf(bare, "Network"), "static address (none), netmask 255.255.0.0");
    EXPECT_EQ(wordsOf(bare, "Upload"), "FTP to (no server), folder /north, active mode");
    EXPECT_EQ(wordsOf(bare, "Schedule"), "every 5 hours, from 06:00 to 20:00, on no day");
    bare.everyDay = true;
    EXPECT_EQ(wordsOf(bare, "Schedule"), "every 5 hours, from 06:00 to 20:00, every day");
}

// A handover report is handed to others: no password of the device may appear in it.
TEST(SettingsWords, NeverShowsAPassword) {
    for (const auto& [label, text] : settingsInWords(configured())) {
        EXPECT_EQ(text.find("s3cret"), std::string::npos) << label;
        EXPECT_EQ(label.find("s3cret"), std::string::npos) << label;
    }
}

}  // namespace
}  // namespace lm
