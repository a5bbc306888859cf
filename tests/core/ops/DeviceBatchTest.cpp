// Several devices at once against simulated devices: how many work at a time, in which order, a
// cancel that spares the devices not yet started, and devices that refuse, fall silent, lie in
// their probe reply or fail half way through an upgrade among good ones.
#include <gtest/gtest.h>

#include <unistd.h>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <mutex>

#include "core/ops/DeviceBatch.h"
#include "devsim/Simulator.h"
#include "support/LoopbackPeer.h"
#include "support/RecordingChannel.h"

namespace lm::test {
namespace {

using Row = BatchRow;

// Records every change of every row and hands each device a recording window.
class RecordingBatch : public DeviceBatch::Observer {
public:
    std::shared_ptr<WorkerChannel> channelFor(std::size_t index) override {
        const std::lock_guard lock(mutex_);
        auto ui = std::make_shared<RecordingChannel>();
        windows[index] = ui;
        return ui;
    }
    void rowChanged(std::size_t index, const BatchRow& row) override {
        std::function<void(std::size_t, const BatchRow&)> hook;
        {
            const std::lock_guard lock(mutex_);
            if (row.state == Row::State::Running && !isRunning_[index]) {
                isRunning_[index] = true;
                started.push_back(index);
                mostAtOnce = std::max(mostAtOnce, ++running_);
            } else if (row.state == Row::State::Done) {
                if (isRunning_[index]) --running_;
                isRunning_[index] = false;
            }
            hook = onChange;
        }
        if (hook) hook(index, row);
    }

    std::function<void(std::size_t, const BatchRow&)> onChange;
    std::map<std::size_t, std::shared_ptr<RecordingChannel>> windows;
    std::vector<std::size_t> started;
    int mostAtOnce = 0;

private:
    std::mutex mutex_;
    std::map<std::size_t, bool> isRunning_;
    int running_ = 0;
};

// Devices at 127.0.0.81 and on, not at factory settings: their admin password is not the default.
class DeviceBatchTest : public testing::Test {
protected:
    static constexpr const char* kPassword = "Kl4ppe";

    void TearDown() override {
        std::filesystem::remove(echoSetting);
        std::filesystem::remove(romPath);
    }
    void start(std::vector<sim::DeviceConfig> devices) {
        sim::SimulatorConfig config;
        config.tftpPort = tftpPort;
        for (std::size_t i = 0; i < devices.size(); ++i) {
            if (devices[i].mac == sim::Mac{})
                devices[i].mac = *sim::parseMac("02:4C:55:C8:05:0" + std::to_string(i));
            devices[i].address = *parseIpv4(host(i));
            devices[i].shell.rebootDelayMs = 100;
            if (devices[i].shell.password == "vorna") devices[i].shell.password = kPassword;
        }
        config.devices = std::move(devices);
        simulator = std::make_unique<sim::Simulator>(std::move(config));
        std::string error;
        ASSERT_TRUE(simulator->start(&error)) << error;
        profile.telnetPort = simulator->telnetPort();
        profile.discoveryPort = simulator->discoveryPort();
        profile.tftpPort = tftpPort;
        profile.interfaces = NetworkProfile::parseInterfaces("127.0.0.1/255.0.0.0");
        profile.echoSettingPath = echoSetting;
        std::ofstream(echoSetting) << "0\n";
    }
    static std::string host(std::size_t i) { return "127.0.0." + std::to_string(81 + i); }
    std::vector<BatchDevice> addresses(std::size_t count) const {
        std::vector<BatchDevice> devices;
        for (std::size_t i = 0; i < count; ++i)
            devices.push_back({host(i), {}, {}});
        return devices;
    }
    std::vector<BatchRow> run(DeviceBatch& batch, const BatchWork& work) {
        Timing timing = Timing::fast();
        timing.pauseScale = 0.05;  // a loaded machine acknowledges within 450 ms
        return batch.run(profile, timing, work, observer);
    }
    static std::vector<std::string> results(const std::vector<BatchRow>& rows) {
        std::vector<std::string> words;
        for (const BatchRow& row : rows)
            words.push_back(batchResultWord(row.result));
        return words;
    }

    std::unique_ptr<sim::Simulator> simulator;
    NetworkProfile profile;
    RecordingBatch observer;
    uint16_t tftpPort = freeUdpPort();
    std::string echoSetting = testing::TempDir() + "batch-echo-" + std::to_string(::getpid());
    std::string romPath = testing::TempDir() + "zelvix-5206e-batch-" + std::to_string(::getpid()) + ".bin";
};

// --jobs devices at a time and never more, started in the order given, each row in that order and
// named by the ID its device gave.
TEST_F(DeviceBatchTest, JobsAtATimeInTheOrderGiven) {
    std::vector<sim::DeviceConfig> devices(5);
    for (auto& device : devices)
        device.shell.commandLatencyMs = 150;  // long enough for the jobs to overlap
    start(devices);
    ASSERT_FALSE(HasFatalFailure());
    for (const int jobs : {1, 2}) {
        SCOPED_TRACE(jobs);
        observer.started.clear();
        observer.mostAtOnce = 0;
        DeviceBatch batch(addresses(5), jobs);
        const auto rows = run(batch, rebootBatchWork(kPassword));
        EXPECT_EQ(results(rows), std::vector<std::string>(5, "ok"));
        EXPECT_TRUE(batchSucceeded(rows));
        EXPECT_EQ(observer.mostAtOnce, jobs);
        ASSERT_EQ(rows.size(), 5u);
        for (std::size_t i = 0; i < rows.size(); ++i) {
            EXPECT_EQ(rows[i].device.host, host(i));
            EXPECT_EQ(rows[i].device.id, "024C55-C8050" + std::to_string(i));
            EXPECT_EQ(rows[i].state, Row::State::Done);
        }
        if (jobs == 1) {
            EXPECT_EQ(observer.started, (std::vector<std::size_t>{0, 1, 2, 3, 4}));
        }
        for (std::size_t i = 0; i < 5; ++i)
            ASSERT_TRUE(simulator->waitUntilUp(i, Milliseconds(5000)));
    }
}

// Cancel while the first device works: it finishes, and the others are never logged in to.
TEST_F(DeviceBatchTest, CancelSparesTheDevicesNotYetStarted) {
    start(std::vector<sim::DeviceConfig>(4));
    ASSERT_FALSE(HasFatalFailure());
    DeviceBatch batch(addresses(4), 1);
    observer.onChange = [&](std::size_t index, const BatchRow& row) {
        if (index == 0 && row.state == Row::State::Running) batch.cancel();
    };
    const auto rows = run(batch, setTimeBatchWork(kPassword));
    EXPECT_EQ(results(rows), (std::vector<std::string>{"ok", "cancelled", "cancelled", "cancelled"}));
    EXPECT_FALSE(batchSucceeded(rows));
    EXPECT_EQ(batchResultText(rows[1]), "cancelled");
    for (std::size_t i = 1; i < 4; ++i)
        EXPECT_EQ(simulator->counters(i).telnetSessions, 0u) << i;
}

// A device that refuses the password, one that never speaks, one whose probe reply is garbage and
// an address nobody has, among good devices: each row tells its own ending, in its own words, and
// only the good ones say ok.
TEST_F(DeviceBatchTest, RefusingSilentAndLyingDevicesAmongGoodOnes) {
    std::vector<sim::DeviceConfig> devices(5);
    devices[1].shell.faults.refusePassword = true;
    devices[2].shell.faults.silent = true;
    devices[3].reply = std::string(300, '\xff');
    start(devices);
    ASSERT_FALSE(HasFatalFailure());
    auto targets = addresses(5);
    targets.push_back({"127.0.0.99", {}, {}});
    targets.push_back({host(0), "024C55-C80500", "ZelvixXL"});  // listed twice: worked on once
    DeviceBatch batch(targets, 3);
    const auto rows = run(batch, rebootBatchWork(kPassword));
    EXPECT_EQ(results(rows),
              (std::vector<std::string>{"ok", "refused", "noAnswer", "ok", "ok", "unreachable"}));
    EXPECT_FALSE(batchSucceeded(rows));
    EXPECT_EQ(batchResultText(rows[1]), "refused: Please enter the correct password.");
    EXPECT_EQ(batchResultText(rows[2]), "no answer: This device does not respond!");
    EXPECT_EQ(batchResultText(rows[5]), "unreachable: This device does not respond!");
    EXPECT_EQ(rows[3].device.id, "") << "a reply that cannot be read names nobody";
    EXPECT_EQ(rows[5].device.id, "");
    EXPECT_TRUE(rows[0].message.empty());
    EXPECT_EQ(simulator->counters(0).reboots, 1u);
}

// One image to several devices through one TFTP port: a device that stops acknowledging half way
// ends as the silence it is, never reported done, a device of another model is skipped without a login, and
// the good ones get the whole image.
TEST_F(DeviceBatchTest, UpgradeFailsTheHalfDoneDeviceAndSkipsTheWrongModel) {
    std::vector<sim::DeviceConfig> devices(4);
    for (std::size_t i = 0; i < devices.size(); ++i)
        devices[i].mac = *sim::parseMac("02:4C:55:C0:05:0" + std::to_string(i));  // zelvix-5206e*.bin
    devices[1].shell.faults.lostAck = 40;
    devices[3].mac = *sim::parseMac("02:4C:55:C1:05:03");  // a Zelvix of other firmware
    start(devices);
    ASSERT_FALSE(HasFatalFailure());
    std::string image;
    while (image.size() < 100 * 512 + 11)
        image.push_back(static_cast<char>(image.size() * 13 + image.size() / 512));
    std::ofstream(romPath, std::ios::binary) << image;
    UpgradeBatchOptions options;
    options.password = kPassword;
    options.romPath = romPath;
    options.pcAddress = "127.0.0.1";  // never offered on its own
    DeviceBatch batch(addresses(4), 4);
    const auto rows = run(batch, upgradeBatchWork(options, profile, Timing::fast()));
    EXPECT_EQ(results(rows), (std::vector<std::string>{"ok", "noAnswer", "ok", "skipped"}))
        << rows[0].message << " / " << rows[2].message;
    EXPECT_FALSE(rows[1].message.empty());
    EXPECT_NE(rows[3].message.find("is not for"), std::string::npos) << rows[3].message;
    EXPECT_EQ(simulator->counters(3).telnetSessions, 0u);
    EXPECT_TRUE(simulator->flashes(1).empty() || !simulator->flashes(1)[0].complete);
    for (const std::size_t good : {0u, 2u}) {
        const auto flashes = simulator->flashes(good);
        ASSERT_EQ(flashes.size(), 1u) << good;
        EXPECT_TRUE(flashes[0].complete) << good;
        EXPECT_EQ(flashes[0].bytes, image.size()) << good;
    }
}

// A firmware folder: each device gets the newest image of its model that is newer than the
// version it announces, 4.10.0 before 4.9.2; a device already there, one of a model the folder has
// nothing for, and one whose version cannot be read are skipped without a login.
TEST_F(DeviceBatchTest, FolderUpgradeGivesEachDeviceItsNewestImageOrSkipsIt) {
    std::vector<sim::DeviceConfig> devices(4);
    for (std::size_t i = 0; i < devices.size(); ++i)
        devices[i].mac = *sim::parseMac("02:4C:55:C0:05:0" + std::to_string(i));  // zelvix-5206e*.bin
    devices[0].version = "4.9.2";
    devices[1].version = "4.10.0";
    devices[2].mac = *sim::parseMac("02:4C:55:C8:05:02");  // ZelvixXL: nothing in the folder
    devices[3].version = "4.x";
    start(devices);
    ASSERT_FALSE(HasFatalFailure());
    const std::filesystem::path dir = testing::TempDir() + "batch-folder-" + std::to_string(::getpid());
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "zelvix-5206e-4.9.2.bin", std::ios::binary) << std::string(3 * 512, 'o');
    std::ofstream(dir / "zelvix-5206e-4.10.0.bin", std::ios::binary) << std::string(5 * 512 + 7, 'n');
    UpgradeBatchOptions options;
    options.password = kPassword;
    options.pcAddress = "127.0.0.1";
    options.folder = std::make_shared<const FirmwareFolder>(readFirmwareFolder(dir.string()));
    DeviceBatch batch(addresses(4), 2);
    const auto rows = run(batch, upgradeBatchWork(options, profile, Timing::fast()));
    std::filesystem::remove_all(dir);
    EXPECT_EQ(results(rows), (std::vector<std::string>{"ok", "skipped", "skipped", "skipped"}))
        << rows[0].message;
    EXPECT_EQ(rows[1].message, "already at 4.10.0");
    EXPECT_EQ(rows[2].message, "no image for ZelvixXL VGA (zelvixxl-*.bin with a version) in the folder");
    EXPECT_EQ(rows[3].message, "its firmware version \"4.x\" cannot be read, so no image counts as newer");
    const auto flashes = simulator->flashes(0);
    ASSERT_EQ(flashes.size(), 1u);
    EXPECT_TRUE(flashes[0].complete);
    EXPECT_EQ(flashes[0].bytes, 5u * 512 + 7) << "the 4.10.0 image";
    for (const std::size_t skipped : {1u, 2u, 3u})
        EXPECT_EQ(simulator->counters(skipped).telnetSessions, 0u) << skipped;
}

// The words of each result, as scripts read them, and the row texts a table shows.
TEST(DeviceBatchWords, ResultWordsAndRowTexts) {
    const struct {
        BatchResult result;
        const char* message;
        const char* word;
        const char* text;
    } cases[] = {
        {BatchResult::Ok, "", "ok", "OK"},
        {BatchResult::Failed, "Unable to open ROM file", "failed", "Unable to open ROM file"},
        {BatchResult::Failed, "", "failed", "failed"},
        {BatchResult::Refused, "Please enter the correct password.", "refused",
         "refused: Please enter the correct password."},
        {BatchResult::NoAnswer, "This device does not respond!", "noAnswer",
         "no answer: This device does not respond!"},
        {BatchResult::Unreachable, "x", "unreachable", "unreachable: x"},
        {BatchResult::Skipped, "a.bin is not for Zelvix", "skipped", "skipped: a.bin is not for Zelvix"},
        {BatchResult::Cancelled, "", "cancelled", "cancelled"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.word);
        const BatchRow row{{"127.0.0.1", {}, {}}, Row::State::Done, c.result, c.message};
        EXPECT_STREQ(batchResultWord(c.result), c.word);
        EXPECT_EQ(batchResultText(row), c.text);
    }
}

}  // namespace
}  // namespace lm::test
