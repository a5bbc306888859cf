// Walking the pages with values typed in, as the command line program applies a settings file.
#include <gtest/gtest.h>

#include "core/wizard/PageWalk.h"
#include "core/wizard/SettingsFiles.h"
#include "core/wizard/SettingsParser.h"

namespace lm::wizard {
namespace {

TEST(PageWalk, TypesIntoThePagesAndStopsWhereAPageRefuses) {
    DeviceSettings settings;
    bool network = true;
    const FirmwareVersion firmware{2, 1, 3};
    WizardModel model{settings, network, firmware};
    DeviceSettings wanted;
    wanted.primaryIsNetwork = false;
    wanted.modemModel = ModemModel::Ricochet;
    wanted.phoneNumber = "5551212";  // the Ricochet's number field is fixed: nobody can type this
    std::vector<std::string> boxes;
    const auto walk =
        walkPages(model, kNetworkSetup, wanted, {"primaryIsNetwork", "modemModel", "phoneNumber"},
                  [&](int, const PageMessage& message) {
                      boxes.push_back(message.title);
                      return true;
                  });
    EXPECT_EQ(walk.visited,
              (std::vector<int>{kNetworkSetup, kModem, kWebserver, kIspSetup, kTransmitImages, kFtpSetup}));
    ASSERT_TRUE(walk.stop);
    EXPECT_EQ(walk.stop->text,
              "You must fill in all of these values.\n\nLeft empty: FTP Hostname, Username, "
              "Password, Path/Filename.");
    EXPECT_FALSE(walk.declined);
    // The ethernet box, the HTTP port (empty here) and the empty dial-up account.
    EXPECT_EQ(boxes, (std::vector<std::string>{"Incompatible ethernet settings", "Unusual entry value",
                                               "Unusual entry values"}));
    EXPECT_EQ(settings.phoneNumber, "3333");
    EXPECT_EQ(settings.baudRate, "115200");
    EXPECT_TRUE(settings.uploadEnabled);  // a dial-up modem uploads

    // A warning not accepted stops the walk there.
    settings = {};
    wanted = {};
    wanted.httpPort = "8080";
    wanted.ipDhcp = false;
    wanted.ipAddress = "10.1.2.3";
    wanted.netmask = "255.0.0.0";
    wanted.gateway = "10.0.0.1";
    const auto declined = walkPages(model, kAddressAssignment, wanted,
                                    {"ipDhcp", "ipAddress", "netmask", "gateway", "httpPort"},
                                    [](int, const PageMessage&) { return false; });
    EXPECT_EQ(declined.stoppedAt, kDns);
    EXPECT_TRUE(declined.declined);
    EXPECT_EQ(settings.ipAddress, "10.1.2.3");
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < text.size();) {
        const auto end = text.find('\n', at);
        lines.push_back(text.substr(at, end - at) + "\r\n");
        at = end == std::string::npos ? text.size() : end + 1;
    }
    return lines;
}

// Next through every page of a device read as not at factory settings writes what was read: the
// pages show the device's dial-out, Ethernet and address page choices, and change none of them.
TEST(PageWalk, NextThroughEveryPageKeepsWhatWasRead) {
    const struct {
        const char* what;
        const char* dialout;
        const char* eth0;
        const char* upload;
        const char* schedule;
    } devices[] = {
        {"dial-out on a US Robotics modem, Ethernet off",
         "DEVICE_SPEED=57600\nMODEM_INIT=ATE1Q0V1&B1\nPHONE_NUMBER=5551234\nCONNECT_TIMEOUT=120\nUSERNAME="
         "joe\n"
         "PASSWORD=pw\nISP=AT&T\nENABLED=yes",
         "ONBOOT=no\nBOOTPROTO=dhcp", "timeout=120\nhostname=h\nuser=u\npassword=p\nfilename=pics/cam.jpg",
         "sched_ftp_upload=on\nsched_ftp_delay=60"},
        {"dial-out with Ethernet on",
         "MODEM_INIT=AT&F\nPHONE_NUMBER=5551234\nCONNECT_TIMEOUT=300\nUSERNAME=joe\nPASSWORD=pw\nENABLED=yes",
         "ONBOOT=yes\nBOOTPROTO=dhcp", "hostname=h\nuser=u\npassword=p\nfilename=cam.jpg\nfilename2=",
         "sched_ftp_upload=on\nsched_ftp_delay=60"},
        {"uploading over Ethernet with the ID page", "MODEM_INIT=AT&F\nENABLED=no",
         "ONBOOT=yes\nBOOTPROTO=dhcp",
         "hostname=h\nuser=u\npassword=p\nfilename=pics/cam.jpg\nfilename2=\nfilename3=pics/ip9A2B.html",
         "sched_ftp_upload=on\nsched_ftp_delay=60"},
    };
    for (const auto& d : devices) {
        SCOPED_TRACE(d.what);
        DeviceSettings settings;
        settings.macAddress = "02:4C:55:11:9A:2B";
        settings.httpPort = "80";
        using Parse = void (*)(std::vector<std::string>&, DeviceSettings&);
        const std::pair<Parse, const char*> files[] = {{parseDialoutConf, d.dialout},
                                                       {parseIfcfgEth0, d.eth0},
                                                       {parseUploadFile, d.upload},
                                                       {parseScheduleFile, d.schedule}};
        for (const auto& [parse, text] : files) {
            auto lines = linesOf(text);
            parse(lines, settings);
        }
        const auto asRead = settingsFiles(settings, {});
        bool network = true;
        const FirmwareVersion firmware{2, 1, 3};
        WizardModel model{settings, network, firmware};
        const auto walk =
            walkPages(model, kNetworkSetup, {}, {}, [](int, const PageMessage&) { return true; });
        ASSERT_TRUE(walk.reachedSummary) << (walk.stop ? walk.stop->text : "");
        const auto walked = settingsFiles(settings, {});
        ASSERT_EQ(walked.size(), asRead.size());
        for (std::size_t i = 0; i < walked.size(); ++i)
            EXPECT_EQ(walked[i].lines, asRead[i].lines) << walked[i].path;
    }
}

}  // namespace
}  // namespace lm::wizard
