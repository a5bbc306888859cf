// The results of reboot and settime on several devices as JSON: one object per device in
// the order given, the device's ID, address, a fixed result word and the words, null where none.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "CliRun.h"
#include "SimulatedDevices.h"
#include "devsim/Simulator.h"

namespace lm::cli {
namespace {

using test::runCommand;
using Json = nlohmann::json;

struct Expected {
    const char* address;
    Json id;  // a string, or null
    const char* result;
    Json message;  // a string the message holds, or null
};

void expectResults(const std::string& out, const std::vector<Expected>& expected) {
    const Json results = Json::parse(out, nullptr, false);
    ASSERT_TRUE(results.is_array()) << out;
    ASSERT_EQ(results.size(), expected.size()) << out;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(expected[i].address);
        const Json& row = results[i];
        ASSERT_TRUE(row.is_object());
        EXPECT_EQ(row.size(), 4u) << row.dump();
        EXPECT_EQ(row.value("address", ""), expected[i].address);
        EXPECT_EQ(row["id"], expected[i].id);
        EXPECT_EQ(row.value("result", ""), expected[i].result);
        if (expected[i].message.is_null()) {
            EXPECT_TRUE(row["message"].is_null()) << row.dump();
        } else {
            ASSERT_TRUE(row["message"].is_string()) << row.dump();
            EXPECT_NE(row["message"].get<std::string>().find(expected[i].message.get<std::string>()),
                      std::string::npos)
                << row.dump();
        }
    }
}

class BatchJson : public test::SimulatedDevices {
protected:
    void SetUp() override {
        sim::DeviceConfig refuses;
        refuses.shell.faults.refusePassword = true;
        sim::DeviceConfig good;
        good.shell.password = "s3cret";  // not the factory password
        good.shell.rebootDelayMs = 300;
        start({refuses, good}, 61, 3);
    }
};

// A refusing device and an address nobody has among a good device: each is told apart by its word,
// the exit status says not all were done, and standard output holds the JSON alone.
TEST_F(BatchJson, RebootAndSetTimeTellEachDevicesResult) {
    const auto reboot = runCommand(
        {"reboot", "127.0.0.61", "127.0.0.62", "127.0.0.69", "--password", "s3cret", "--json", "-q"});
    EXPECT_EQ(reboot.status, 3) << reboot.err;
    expectResults(reboot.out,
                  {{"127.0.0.61", "024C55-C80300", "refused", "Please enter the correct password."},
                   {"127.0.0.62", "024C55-C80301", "ok", nullptr},
                   {"127.0.0.69", nullptr, "unreachable", "does not respond"}});
    ASSERT_TRUE(simulator->waitUntilUp(1, Milliseconds(15000)));

    const auto setTime =
        runCommand({"settime", "127.0.0.62", "127.0.0.61", "--password", "s3cret", "--json"});
    EXPECT_EQ(setTime.status, 3) << setTime.err;
    expectResults(setTime.out, {{"127.0.0.62", "024C55-C80301", "ok", nullptr},
                                {"127.0.0.61", "024C55-C80300", "refused", "Error updating time!"}});
}

// One device with --json is a batch of one: its result is the same array, and a failure still
// ends with the batch's status.
TEST_F(BatchJson, OneDeviceGivesAnArrayOfOne) {
    const auto run = runCommand({"reboot", "127.0.0.61", "--password", "s3cret", "--json", "-q"});
    EXPECT_EQ(run.status, 3) << run.err;
    expectResults(run.out, {{"127.0.0.61", "024C55-C80300", "refused", "password"}});
}

}  // namespace
}  // namespace lm::cli
