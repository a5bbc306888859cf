#include <gtest/gtest.h>

#include "core/discovery/ModelTable.h"
#include "core/ops/FirmwareUpgrade.h"
#include "support/RecordingChannel.h"

namespace lm {
namespace {

TEST(FirmwareFamily, ModelCodeChoosesFilterAndPrefix) {
    struct Case {
        const char* id;
        const char* filter;
        const char* prefix;
    };
    const Case cases[] = {
        {"00408C-C0A1B2", "Zelvix Binary Files|zelvix-5206e-*.bin|All Binary Files (*.bin)|*.bin||",
         "zelvix-5206e"},
        {"00408C-C8A1B2", "Zelvix XL Binary Files|zelvixxl-*.bin|All Binary Files (*.bin)|*.bin||",
         "zelvixxl-"},
        {"00408C-CEA1B2", "Zelvix XL Binary Files|zelvixxl-*.bin|All Binary Files (*.bin)|*.bin||",
         "zelvixxl-"},
        {"00408C-CFA1B2", "Draviel XL Binary Files|dravielxl-*.bin|All Binary Files (*.bin)|*.bin||",
         "dravielxl-"},
        {"00408C-D1A1B2", "Zelvix SC Binary Files|zelvixsc-*.bin|All Binary Files (*.bin)|*.bin||",
         "zelvixsc-"},
        {"00408C-D2A1B2", "All Binary Files (*.bin)|*.bin||", ".bin"},
        {"not an id", "All Binary Files (*.bin)|*.bin||", ".bin"},
    };
    for (const Case& c : cases) {
        const FirmwareFamily family = firmwareFamily(ModelTable::codeFromId(c.id));
        EXPECT_EQ(firmwareFilter(family), c.filter) << c.id;
        EXPECT_EQ(family.expectedPrefix, c.prefix) << c.id;
    }
}

// Only the file's own name counts, in any case; a refusal names the model and what it expects.
TEST(FirmwareFamily, MismatchNamesTheModelAndTheExpectedPattern) {
    const struct {
        const char* id;
        const char* path;
        const char* mismatch;  // empty: the file fits
    } cases[] = {
        {"00408C-C8A1B2", "/fw/ZELVIXXL-4.3.0.bin", ""},
        {"00408C-C8A1B2", "/fw/zelvixxl-4.3/draviel-1.2.bin",
         "draviel-1.2.bin is not for ZelvixXL VGA (expects zelvixxl-*.bin)"},
        {"00408C-C1A1B2", "zelvix-5206e-2.0.bin",
         "zelvix-5206e-2.0.bin is not for Zelvix (expects zelvix-5407*.bin)"},
        {"00408C-C3A1B2", "/fw/pellmandor-5407-1.bin", ""},
        {"not an id", "/fw/anything.BIN", ""},
        {"not an id", "/fw/zelvixxl.bin/image", "image is not for Unknown (expects *.bin)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(firmwareMismatch(c.path, ModelTable::codeFromId(c.id)), c.mismatch)
            << c.id << " " << c.path;
    EXPECT_NE(mismatchQuestion(firmwareFamily(200)).find("named zelvixxl-*.bin."), std::string::npos);
}

TEST(FirmwareFamily, ThisComputersAddressIsTheNumericallyClosest) {
    const auto row = [](const char* text) { return InterfaceRow{*parseIpv4(text), 0, 0, {}}; };
    const auto device = [](const char* text) { return *parseIpv4(text); };
    // Loopback and the unset address never serve; equally close: the lower address.
    EXPECT_EQ(closestLocalAddress({row("127.0.0.1"), row("0.0.0.0"), row("10.0.0.9"), row("10.0.0.1")},
                                  device("10.0.0.5")),
              "10.0.0.1");
    EXPECT_EQ(closestLocalAddress({row("127.0.0.1")}, device("127.0.0.10")), "");
}

// Both front ends offer the device this address: nothing when the device's address or this PC's
// interfaces cannot be read.
TEST(FirmwareFamily, OfferedAddressNeedsADeviceAddressAndInterfaces) {
    NetworkProfile profile;
    profile.interfaces = NetworkProfile::parseInterfaces("10.0.0.9/255.0.0.0,192.168.1.7/255.255.255.0");
    ASSERT_TRUE(profile.interfaces);
    EXPECT_EQ(pcAddressFor(profile, "192.168.1.50"), "192.168.1.7");
    EXPECT_EQ(pcAddressFor(profile, "10.0.0.2"), "10.0.0.9");
    EXPECT_EQ(pcAddressFor(profile, "192.168.1"), "");
    EXPECT_EQ(pcAddressFor(profile, ""), "");
    profile.interfaces = std::vector<InterfaceRow>{};
    EXPECT_EQ(pcAddressFor(profile, "192.168.1.50"), "");
}

// A file named for the model is used without a question; any other only when the user says Yes.
TEST(FirmwareFamily, MismatchIsAskedAboutOnlyWhenTheNameDoesNotFit) {
    const struct {
        const char* path;
        Answer answer;
        bool asked;
        bool used;
    } cases[] = {
        {"/fw/ZelvixXL-1.2.bin", Answer::No, false, true},
        {"/fw/zelvixxl/draviel-1.2.bin", Answer::Yes, true, true},
        {"/fw/zelvixxl/draviel-1.2.bin", Answer::No, true, false},
        {"/fw/zelvixxl/draviel-1.2.bin", Answer::Cancel, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.path) + " " + std::to_string(static_cast<int>(c.answer)));
        test::RecordingChannel ui;
        ui.answer = c.answer;
        EXPECT_EQ(firmwareConfirmed(c.path, 200, ui), c.used);
        const auto calls = ui.calls();
        EXPECT_EQ(calls.size(), c.asked ? 1u : 0u);
        if (c.asked) {
            EXPECT_EQ(calls.front(),
                      "box:" + std::string(kMismatchTitle) + "|" + mismatchQuestion(firmwareFamily(200)));
        }
    }
}

}  // namespace
}  // namespace lm
