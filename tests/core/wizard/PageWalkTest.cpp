// Walking the pages with values typed in, as the command line program applies a settings file.
#include <gtest/gtest.h>

#include "wizard/PageWalk.h"

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
    EXPECT_EQ(walk.stop->text, "You must fill in all of these values.");
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

}  // namespace
}  // namespace lm::wizard
