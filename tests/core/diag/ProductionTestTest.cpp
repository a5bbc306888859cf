// The production test: its type rules and thresholds over output devices really print, and the
// worker against simulated devices (rows in id order, the same with four jobs, closing mid run).
#include <gtest/gtest.h>

#include <functional>
#include <mutex>

#include "DeviceOutput.h"
#include "core/diag/ProductionRules.h"
#include "core/diag/ProductionTest.h"
#include "devsim/Simulator.h"

namespace lm::test {
namespace {

const OutputLines kZelvixStats =
    lines({"ver   dev    exp  gain err frames", "127:0 11.02M 12 833 15 0 123456"});

TEST(ProductionRules, DeviceKinds) {
    const struct {
        OutputLines version, process;
        DeviceKind kind;
    } cases[] = {
        {lines({"Lumetra Zelvix-5407 version 2.1.0"}), kZelvixStats, DeviceKind::E},
        {lines({"Lumetra Zelvix-5407 version 2.1.0"}), lines({"hdr", "127:0 10.55S 12 833 15 0 9"}),
         DeviceKind::B},
        {lines({"Lumetra Zelvix-5407 version 2.1.0"}), lines({"hdr", "127:0 11.02 12 833 15 0 9"}),
         DeviceKind::A},
        {lines({"OEM ZELVIX-5407 Version 2.1.0"}), kZelvixStats, DeviceKind::B},
        {lines({"Lumetra Draviel6-5407 version 2.1.0"}), {}, DeviceKind::C},
        {lines({"Lumetra Zelvix version 4.2.1"}), {}, DeviceKind::D},
        {lines({"Lumetra ZelvixXL version 4.2.1"}), {}, DeviceKind::Unknown},
        // No "version": the first line decides.
        {lines({"zelvix-5407 build 7", "other"}), {}, DeviceKind::B},
        {{}, {}, DeviceKind::Unknown},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.version.empty() ? "" : c.version[0]);
        EXPECT_EQ(refinedKind(deviceKindOf(c.version), c.process), c.kind);
    }
}

TEST(ProductionRules, ThresholdsAndCells) {
    EXPECT_EQ(durationCell(28800.0f), "No (8hrs)");
    EXPECT_EQ(durationCell(28800.5f), "OK (8hrs)");
    EXPECT_EQ(durationCell(0.0f), "No (0hrs)");
    for (const auto& [exposure, ok] :
         {std::pair{100.0f, false}, {101.0f, true}, {2999.0f, true}, {3000.0f, false}})
        EXPECT_EQ(productionExposureOk(exposure), ok) << exposure;
    EXPECT_EQ(rateThreshold(DeviceKind::E), 0.2f);
    EXPECT_EQ(rateThreshold(DeviceKind::D), 0.4f);
    const struct {
        long long pid;
        int minor;
        bool ok;
    } pids[] = {{39, 0, true},  {40, 0, false}, {120, 0, false}, {79, 1, true},  {80, 1, false},
                {99, 1, false}, {100, 1, true}, {299, 1, true},  {300, 1, false}};
    for (const auto& p : pids)
        EXPECT_EQ(productionPidOk(p.pid, p.minor), p.ok) << p.pid << " minor " << p.minor;
    // 106 half degrees C is 127.0 F, 105 is 126.5 F; 0x1900 is 25.0 C.
    EXPECT_EQ(temperatureCell(0x1900), "OK (+77.0F)");
    EXPECT_EQ(temperatureCell(105 << 7), "OK (+126.5F)");
    EXPECT_EQ(temperatureCell(106 << 7), "No (+127.0F)");
    EXPECT_EQ(errorsCell(2), "OK");
    EXPECT_EQ(errorsCell(3), "No(3)");
    EXPECT_EQ(errorsCell(std::nullopt), "No(?)");
}

TEST(ProductionRules, BusDevicesByKind) {
    const char* header = "addr  name      rx     tx     errors";
    const OutputLines all = lines({header, "0.1   ccd       51230  51200  0",
                                   "0.79  ds1629    2204   4408   1", "0.124 watchdog  961    962    1"});
    const OutputLines server =
        lines({header, "0.79  ds1629    2204   4408   0", "0.124 watchdog  961    962    0"});
    const OutputLines imagerOnly = lines({header, "0.1   ccd       51230  51200  0", "0.127 dev   1 1 5",
                                          "0.124 watchdog  961    962    3:1"});
    const OutputLines serverWithImager =
        lines({header, "0.1   ccd       51230  51200  0", "0.79  ds1629    2204   4408   0"});
    const struct {
        const OutputLines& bus;
        DeviceKind kind;
        std::string cell;
    } cases[] = {
        {all, DeviceKind::D, "OK"},
        {server, DeviceKind::D, "No (2)"},
        {server, DeviceKind::C, "OK"},
        {all, DeviceKind::C, "No (3)"},
        {serverWithImager, DeviceKind::C, "No (2)"},
        {imagerOnly, DeviceKind::B, "OK"},
        {imagerOnly, DeviceKind::E, "No (2)"},
        {all, DeviceKind::Unknown, "??"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(devicesCell(c.kind, countBusDevices(c.bus)), c.cell) << static_cast<int>(c.kind);
    const BusCount bus = countBusDevices(all);
    EXPECT_EQ(bus.errors, 2);
    EXPECT_TRUE(bus.thermometer && bus.device01);
    // "0.127" is not address 0.1, and an error word with ":" adds nothing.
    EXPECT_EQ(countBusDevices(imagerOnly).count, 2);
    EXPECT_EQ(countBusDevices(imagerOnly).errors, 0);
}

// Records what the window is told; closes itself after `closeAfter` cells.
class RecordingProduction : public ProductionUi {
public:
    void setStatus(const std::string& text) override { status = text; }
    void setCell(std::size_t device, ProductionColumn column, const std::string& text) override {
        if (shut) cellAfterClose = true;
        cells[{device, static_cast<int>(column)}] = text;
        if (++cellCount == closeAfter) shut = true;
    }
    bool closing() override { return shut; }

    std::map<std::pair<std::size_t, int>, std::string> cells;
    std::string status;
    int cellCount = 0, closeAfter = -1;
    bool shut = false, cellAfterClose = false;
};

class ProductionFixture : public testing::Test {
protected:
    void SetUp() override {
        sim::SimulatorConfig config;
        const auto add = [&config](const char* address, std::function<void(sim::DeviceConfig&)> change) {
            sim::DeviceConfig device;
            device.mac = *sim::parseMac("02:4C:55:C8:00:0" + std::to_string(config.devices.size()));
            device.address = *parseIpv4(address);
            device.shell.files["/etc/version"] = "Lumetra Zelvix version 4.2.1\n";
            change(device);
            config.devices.push_back(std::move(device));
        };
        add("127.0.0.21", [](sim::DeviceConfig&) {});
        add("127.0.0.22", [](sim::DeviceConfig& d) { d.shell.activity.uptime = 0.0; });
        add("127.0.0.23", [](sim::DeviceConfig& d) {
            d.shell.files["/etc/version"] = "Lumetra Draviel6-5407 version 4.2.1\n";
            d.shell.activity.uptime = 5400.25;
            d.shell.activity.busDevices = {{"0.79", 0}, {"0.124", 0}};
        });
        add("127.0.0.24", [](sim::DeviceConfig& d) { d.shell.faults.refusePassword = true; });
        simulator = std::make_unique<sim::Simulator>(std::move(config));
        std::string error;
        ASSERT_TRUE(simulator->start(&error)) << error;
        settings.profile.telnetPort = simulator->telnetPort();
        settings.timing = Timing::fast();
        // Out of id order, and one address where nothing listens.
        for (const auto& [id, address] : {std::pair{"024C55-000004", "127.0.0.21"},
                                          {"024C55-000002", "127.0.0.24"},
                                          {"024C55-000001", "127.0.0.22"},
                                          {"024C55-000005", "127.0.0.25"},
                                          {"024C55-000003", "127.0.0.23"}}) {
            DeviceRecord record;
            record.id = id;
            record.address = address;
            devices.push_back(record);
        }
        devices = productionOrder(devices);
    }

    std::unique_ptr<sim::Simulator> simulator;
    ProductionSettings settings;
    std::vector<DeviceRecord> devices;
};

using Cells = std::array<std::string, kProductionColumns>;

TEST_F(ProductionFixture, RowsInIdOrderTheSameWithFourJobs) {
    const std::vector<Cells> expected = {
        // Uptime 0: no rate can be worked out, and none passes.
        {"No  024C55-000001", "No (0hrs)", "No", "OK", "OK", "OK", "OK (+77.0F)", "OK", "OK", " 4.2.1",
         "1.05A", ""},
        {"No  024C55-000002", "Password", "", "", "", "", "", "", "", "", "", ""},
        // The video server has no imaging statistics and no bus device 0.1; it ran 1.5 hours.
        {"(T)  024C55-000003", "No (1hrs)", "OK(V)", "OK(V)", "OK", "OK", "OK (+77.0F)", "OK", "OK", " 4.2.1",
         "1.05A", ""},
        {"OK  024C55-000004", "OK (8hrs)", "OK", "OK", "OK", "OK", "OK (+77.0F)", "OK", "OK", " 4.2.1",
         "1.05A", ""},
        {"No  024C55-000005", "Timeout", "", "", "", "", "", "", "", "", "", ""},
    };
    const std::vector<ProductionVerdict> verdicts = {ProductionVerdict::Failed, ProductionVerdict::Failed,
                                                     ProductionVerdict::PassedShort,
                                                     ProductionVerdict::Passed, ProductionVerdict::Failed};
    for (int jobs : {1, 4}) {
        SCOPED_TRACE(jobs);
        settings.jobs = jobs;
        RecordingProduction ui;
        const auto rows = productionWorker(devices, ui, settings);
        ASSERT_EQ(rows.size(), expected.size());
        for (std::size_t i = 0; i < rows.size(); ++i) {
            EXPECT_EQ(rows[i].cells, expected[i]) << i;
            EXPECT_EQ(rows[i].verdict, verdicts[i]) << i;
            EXPECT_EQ(rows[i].loggedIn, i != 1 && i != 4) << i;
            // Each cell reached the window as it was found.
            for (int column = 0; column < static_cast<int>(kProductionColumns); ++column)
                if (!expected[i][column].empty()) {
                    EXPECT_EQ((ui.cells[{i, column}]), expected[i][column]);
                }
        }
        EXPECT_EQ(ui.status, "Report Complete.");
    }
}

TEST_F(ProductionFixture, ClosingEndsTheTestAndTouchesNoMoreCells) {
    RecordingProduction ui;
    ui.closeAfter = 3;  // inside the first device's test
    const auto rows = productionWorker(devices, ui, settings);
    EXPECT_FALSE(ui.cellAfterClose);
    EXPECT_NE(ui.status, "Report Complete.");
    for (const ProductionRow& row : rows)
        EXPECT_EQ(row.verdict, ProductionVerdict::Untested) << row.id;
    EXPECT_EQ(rows.back().cell(ProductionColumn::Mac), "??  024C55-000005");
}

// A device that lies in one reading fails on it, and the cell says what could not be read.
TEST(ProductionTest, UnreadableReadingsNeverPass) {
    const std::string stats = "id    version gain exposure fps errors frames\n127:0 10.60M 12 833 15 ";
    const struct {
        const char* what;
        std::function<void(sim::ShellBehaviour&)> lie;
        ProductionColumn column;
        const char* cell;
    } cases[] = {
        {"an error count that is no number",
         [&](sim::ShellBehaviour& s) { s.files["/proc/zelvix"] = stats + "many 123456\n"; },
         ProductionColumn::Errors, "No(?)"},
        {"a negative error count",
         [&](sim::ShellBehaviour& s) { s.files["/proc/zelvix"] = stats + "-9 123456\n"; },
         ProductionColumn::Errors, "No(?)"},
        {"frames beyond 120 a second forgive no errors",
         [&](sim::ShellBehaviour& s) { s.files["/proc/zelvix"] = stats + "4 9000000000\n"; },
         ProductionColumn::Errors, "No(4)"},
        {"frames beyond 120 a second are no rate",
         [&](sim::ShellBehaviour& s) { s.files["/proc/zelvix"] = stats + "0 9000000000\n"; },
         ProductionColumn::Rate, "No"},
        {"a negative process id",
         [](sim::ShellBehaviour& s) {
             s.outputs["ps"] =
                 "  PID USER       VSZ STAT %CPU COMMAND\n  -37 admin     1824 S    12.5 /bin/zelvix\n";
         },
         ProductionColumn::Pid, "No (-37)"},
        {"a bus error count that is no number",
         [](sim::ShellBehaviour& s) {
             s.files["/proc/mbus"] =
                 "addr name rx tx errors\n0.1   ccd 1 1 0\n0.79  ds1629 1 1 0\n0.124 wd 1 1 x\n";
         },
         ProductionColumn::Errors, "No(?)"},
        {"a temperature byte above 0xFF",
         [](sim::ShellBehaviour& s) { s.outputs["mbus -tx1 /dev/ds1629 w 0xEE w 0xAA,0 r 2"] = "119 00\n"; },
         ProductionColumn::Temperature, "No"},
        {"an uptime of 1.0e38 seconds",
         [](sim::ShellBehaviour& s) { s.files["/proc/uptime"] = "1.0e38 1\n"; }, ProductionColumn::Duration,
         "No"},
    };
    sim::SimulatorConfig config;
    std::vector<DeviceRecord> devices;
    for (const auto& c : cases) {
        sim::DeviceConfig device;
        const std::size_t i = config.devices.size();
        device.mac = *sim::parseMac("02:4C:55:C8:01:0" + std::to_string(i));
        device.address = *parseIpv4("127.0.0." + std::to_string(31 + i));
        device.shell.files["/etc/version"] = "Lumetra Zelvix version 4.2.1\n";
        c.lie(device.shell);
        config.devices.push_back(std::move(device));
        DeviceRecord record;
        record.id = "024C55-00010" + std::to_string(i);
        record.address = "127.0.0." + std::to_string(31 + i);
        devices.push_back(record);
    }
    sim::Simulator simulator(std::move(config));
    std::string error;
    ASSERT_TRUE(simulator.start(&error)) << error;
    ProductionSettings settings;
    settings.profile.telnetPort = simulator.telnetPort();
    settings.timing = Timing::fast();
    settings.jobs = 4;
    RecordingProduction ui;
    const auto rows = productionWorker(productionOrder(devices), ui, settings);
    ASSERT_EQ(rows.size(), std::size(cases));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(cases[i].what);
        EXPECT_TRUE(rows[i].loggedIn);
        EXPECT_EQ(rows[i].cell(cases[i].column), cases[i].cell);
        EXPECT_EQ(rows[i].verdict, ProductionVerdict::Failed);
    }
}

TEST(ProductionTest, EmptyListCompletesAndColumnsFillTheList) {
    RecordingProduction ui;
    EXPECT_TRUE(productionWorker({}, ui, ProductionSettings{}).empty());
    EXPECT_EQ(ui.status, "Report Complete.");
    const auto widths = productionColumnWidths(1000);  // u = 82
    EXPECT_EQ(widths[0], 1000 - 11 * 82 + 44);
    EXPECT_EQ(widths[6], 98);
    EXPECT_EQ(widths[4], 62);
}

}  // namespace
}  // namespace lm::test
