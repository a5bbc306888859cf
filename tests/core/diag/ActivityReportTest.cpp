// The activity report's worker against simulated devices: every field and rating, worked out by hand
// from what each device prints.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <utility>
#include <vector>

#include "core/diag/ActivityReport.h"
#include "support/RecordingChannel.h"
#include "support/ScriptedPrompt.h"
#include "support/SimulatedDevice.h"

namespace lm::test {
namespace {

ActivityRatings ratings(bool all) {
    ActivityRatings r;
    for (const ReportRating& rating : kReportRatings)
        r.*(rating.value) = all;
    return r;
}

// What the window was told, in order: each field and rating as the worker delivered it.
struct Shown {
    std::vector<std::pair<ActivityField, std::string>> fields;
    std::map<ActivityCheck, bool> ratings;

    std::string last(ActivityField field) const {
        std::string text;
        for (const auto& [f, t] : fields)
            if (f == field) text = t;
        return text;
    }
    // Where a field first read text; fields.size() when it never did.
    std::size_t when(ActivityField field, const std::string& text) const {
        const auto at = std::find(fields.begin(), fields.end(), std::pair{field, text});
        return static_cast<std::size_t>(at - fields.begin());
    }
};

class ActivityReportFixture : public SimulatedDeviceTest {
protected:
    Outcome run(sim::DeviceConfig device) {
        device.mac = *sim::parseMac("02:4C:55:C8:00:31");
        device.address = *parseIpv4("127.0.0.1");
        start(std::move(device));
        if (HasFatalFailure()) return Outcome::Failed;
        WorkerTask task(*session, ui, state, nullptr, "127.0.0.1", nullptr);
        return report(task);
    }
    Outcome report(WorkerTask& task) {
        shown = {};
        ActivityReportRequest request;
        request.deviceId = "024C55-C80031";
        request.address = "127.0.0.1";
        request.onField = [this](ActivityField field, const std::string& text) {
            shown.fields.emplace_back(field, text);
        };
        request.onRating = [this](ActivityCheck check, bool checked) { shown.ratings[check] = checked; };
        result = reportWorker(task, request);
        return result.outcome;
    }
    int commandCount(const std::string& line) const {
        const auto all = simulator->commands(0);
        return static_cast<int>(std::count(all.begin(), all.end(), line));
    }
    // The result and the window agree with expected, field by field and rating by rating.
    void expectReport(const ActivityReport& expected) {
        for (const ReportField& field : kReportFields) {
            EXPECT_EQ(result.report.*(field.value), expected.*(field.value)) << field.key;
            EXPECT_EQ(shown.last(field.field), expected.*(field.value)) << field.key;
        }
        for (const ReportRating& rating : kReportRatings) {
            EXPECT_EQ(result.report.ratings.*(rating.value), expected.ratings.*(rating.value)) << rating.key;
            const auto told = shown.ratings.find(rating.check);
            EXPECT_EQ(told != shown.ratings.end() && told->second, expected.ratings.*(rating.value))
                << rating.key;
        }
    }

    std::shared_ptr<RecordingChannel> ui = std::make_shared<RecordingChannel>();
    std::shared_ptr<OperationState> state = std::make_shared<OperationState>();
    ActivityReportResult result;
    Shown shown;
};

// 0x1900 is 25.0 C; 30012.53 s of uptime; 123456 frames in it.
ActivityReport healthyCamera() {
    return {"024C55-C80031",
            "127.0.0.1",
            "Static IP",
            "Lumetra ZelvixXL version 4.2.1",
            "10.60M",
            "1.05A",
            "+77.0F",
            "0 days, 8 hrs, 20 min, 12 sec",
            "123456",
            "4.113482",
            "12.5%",
            "0",
            "37",
            "833",
            "3",
            "0",
            "Report Complete.",
            ratings(true)};
}

TEST_F(ActivityReportFixture, HealthyCameraPassesEveryRating) {
    EXPECT_EQ(run(sim::DeviceConfig{}), Outcome::Ok);
    EXPECT_TRUE(result.loggedIn);
    expectReport(healthyCamera());
    // Each value reaches the window as it is read, between the command that reads it and the next.
    using F = ActivityField;
    EXPECT_LT(shown.when(F::Comments, "Running cat /etc/version..."),
              shown.when(F::Version, "Lumetra ZelvixXL version 4.2.1"));
    EXPECT_LT(shown.when(F::Version, "Lumetra ZelvixXL version 4.2.1"),
              shown.when(F::Comments, "Running cat /etc/config/ifcfg-eth0..."));
    EXPECT_LT(shown.when(F::Pid, "37"), shown.when(F::Comments, "Report Complete."));
    EXPECT_EQ(shown.fields.front(), std::pair(F::Mac, std::string("024C55-C80031")));
    EXPECT_EQ(session->firmware().minor, 2);
    EXPECT_EQ(commandCount("mbus -tx1 /dev/ds1629 w 0xEE w 0xAA,0 r 2"), 2);  // two readings agree
    EXPECT_FALSE(session->telnet().isOpen());
    EXPECT_EQ(commandCount("quit"), 0);
}

TEST_F(ActivityReportFixture, FailingCameraFailsEveryRating) {
    sim::DeviceConfig device;
    device.version = "1.0.9";  // old firmware: the bus tool without -tx1, and the low process ids
    sim::ActivityBehaviour& a = device.shell.activity;
    a.uptime = 0;
    a.temperature = 52.5;
    a.processVersion = "10.2";
    a.exposure = 416;
    a.errors = 4;
    a.frames = 20000;
    a.pid = 40;
    a.watchdogReply = "04 01 41";
    a.busDevices = {{"0.79", 1}, {"0.124", 0}};
    EXPECT_EQ(run(device), Outcome::Ok);
    ActivityReport r = healthyCamera();
    r.version = "Lumetra ZelvixXL version 1.0.9";
    r.processVersion = "10.2";
    r.watchdog = "1.04A";
    r.temperature = "+126.5F";  // 105 half degrees C -> 189 + 64 half degrees F
    r.uptime = "0 days, 0 hrs, 0 min, 0 sec";
    r.frames = "20000";
    r.rate = "n/a";  // no uptime to divide by
    r.errors = "4";
    r.pid = "40";
    r.exposure = "416";
    r.busDevices = "2";
    r.busErrors = "1";
    r.ratings = ratings(false);
    expectReport(r);
    EXPECT_EQ(commandCount("mbus /dev/watchdog w 0 r 3"), 1);
}

// A sensor that never reads the same twice, or whose replies hold no value, gives no temperature
// after seven readings: two empty replies must not pass for a steady 32.0 F.
TEST_F(ActivityReportFixture, ThermometerWithoutTwoAgreeingReadingsReadsNa) {
    const std::string read = "mbus -tx1 /dev/ds1629 w 0xEE w 0xAA,0 r 2";
    for (const bool unsteady : {true, false}) {
        SCOPED_TRACE(unsteady ? "unsteady" : "empty replies");
        sim::DeviceConfig device;
        device.shell.activity.unsteadyTemperature = unsteady;
        if (!unsteady) device.shell.outputs[read] = "";
        ui = std::make_shared<RecordingChannel>();
        EXPECT_EQ(run(device), Outcome::Ok);
        ActivityReport r = healthyCamera();
        r.temperature = "na";
        r.ratings.tempOk = false;
        expectReport(r);
        EXPECT_EQ(commandCount(read), 7);
    }
}

TEST_F(ActivityReportFixture, VideoServerShowsTheFillIn) {
    sim::DeviceConfig device;
    device.product = "Lumetra/Draviel-4";
    device.shell.prompt = "# ";
    EXPECT_EQ(run(device), Outcome::Ok);
    ActivityReport r = healthyCamera();
    r.version = "Lumetra Draviel version 4.2.1";
    r.processVersion = "None";
    r.frames = "Ok";
    r.rate = "10";
    r.processShare = "0%";
    r.pid = "None";
    r.exposure = "Ok";
    r.busDevices = "2";  // the camera's sensor is never counted
    r.ratings.allDevicesFound = false;
    r.ratings.megaPix = false;
    expectReport(r);
    EXPECT_EQ(commandCount("cat /proc/zelvix") + commandCount("ps"), 0);
}

// A device that lies in one reading: the rating that reading decides stays unchecked, and the field
// shows what the device printed, "?" or the text of a missing value.
TEST_F(ActivityReportFixture, UnreadableReadingsPassNoRating) {
    const std::string stats = "id    version gain exposure fps errors frames\n127:0 10.60M 12 833 15 ";
    const std::string bus =
        "addr  name      rx     tx     errors\n0.1   ccd       51230  51200  0\n"
        "0.79  ds1629    2204   4408   0\n0.124 watchdog  961    962    ";
    const struct {
        const char* what;
        std::function<void(sim::ShellBehaviour&)> lie;
        std::function<void(ActivityReport&)> shown;
    } cases[] = {
        {"an error count that is no number",
         [&](sim::ShellBehaviour& s) { s.files["/proc/zelvix"] = stats + "many 123456\n"; },
         [](ActivityReport& r) {
             r.errors = "many";
             r.ratings.errorCount = false;
         }},
        {"a negative error count",
         [&](sim::ShellBehaviour& s) { s.files["/proc/zelvix"] = stats + "-9 123456\n"; },
         [](ActivityReport& r) {
             r.errors = "-9";
             r.ratings.errorCount = false;
         }},
        {"a statistics line that stops before the error count",
         [&](sim::ShellBehaviour& s) { s.files["/proc/zelvix"] = stats + "\n"; },
         [](ActivityReport& r) {
             r.errors = "?";
             r.frames = "?";
             r.rate = "0.000000";
             r.ratings.frameRate = false;
             r.ratings.errorCount = false;
         }},
        {"frames beyond 120 a second, which would also forgive the errors",
         [&](sim::ShellBehaviour& s) { s.files["/proc/zelvix"] = stats + "4 9000000000\n"; },
         [](ActivityReport& r) {
             r.errors = "4";
             r.frames = "9000000000";
             r.rate = "n/a";
             r.ratings.frameRate = false;
             r.ratings.errorCount = false;
         }},
        {"a negative process id",
         [](sim::ShellBehaviour& s) {
             s.outputs["ps"] =
                 "  PID USER       VSZ STAT %CPU COMMAND\n  -37 admin     1824 S    12.5 /bin/zelvix\n";
         },
         [](ActivityReport& r) {
             r.pid = "-37";
             r.ratings.pidRange = false;
         }},
        {"a process id that is no number",
         [](sim::ShellBehaviour& s) {
             s.outputs["ps"] = "  PID USER       VSZ STAT %CPU COMMAND\n  zelvix admin 1824 S 12.5 x\n";
         },
         [](ActivityReport& r) {
             r.pid = "zelvix";
             r.processShare = "12.5%";
             r.ratings.pidRange = false;
         }},
        {"a bus error count that is no number",
         [&](sim::ShellBehaviour& s) { s.files["/proc/mbus"] = bus + "lots\n"; },
         [](ActivityReport& r) {
             r.busErrors = "?";
             r.ratings.errorCount = false;
         }},
        {"a negative bus error count", [&](sim::ShellBehaviour& s) { s.files["/proc/mbus"] = bus + "-5\n"; },
         [](ActivityReport& r) {
             r.busErrors = "?";
             r.ratings.errorCount = false;
         }},
        {"a temperature byte above 0xFF",
         [](sim::ShellBehaviour& s) { s.outputs["mbus -tx1 /dev/ds1629 w 0xEE w 0xAA,0 r 2"] = "119 00\n"; },
         [](ActivityReport& r) {
             r.temperature = "na";
             r.ratings.tempOk = false;
         }},
        {"an uptime of 1.0e38 seconds",
         [](sim::ShellBehaviour& s) { s.files["/proc/uptime"] = "1.0e38 1.0e38\n"; },
         [](ActivityReport& r) {
             r.uptime = "Can't find uptime!";
             r.rate = "n/a";
             r.ratings.testDuration = false;
             r.ratings.frameRate = false;
         }},
        {"an uptime of 21 years",
         [](sim::ShellBehaviour& s) { s.files["/proc/uptime"] = "662709600.00 1.00\n"; },
         [](ActivityReport& r) {
             r.uptime = "Can't find uptime!";
             r.rate = "n/a";
             r.ratings.testDuration = false;
             r.ratings.frameRate = false;
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        sim::DeviceConfig device;
        c.lie(device.shell);
        ui = std::make_shared<RecordingChannel>();
        EXPECT_EQ(run(device), Outcome::Ok);
        ActivityReport r = healthyCamera();
        c.shown(r);
        expectReport(r);
    }
}

// Only a person can cancel: a refused password with nobody to ask for another is told as such.
TEST_F(ActivityReportFixture, RefusedLoginStopsAndClosesTheLink) {
    const struct {
        const char* what;
        bool prompt;
        const char* comments;
    } cases[] = {
        {"nobody to ask", false, "Unknown password."},
        {"the user cancels", true, "Telnet session canceled by user."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        sim::DeviceConfig device;
        device.shell.password = "other";
        device.mac = *sim::parseMac("02:4C:55:C8:00:31");
        device.address = *parseIpv4("127.0.0.1");
        start(std::move(device));
        ASSERT_FALSE(HasFatalFailure());
        ScriptedPrompt cancels;
        ui = std::make_shared<RecordingChannel>();
        WorkerTask task(*session, ui, state, c.prompt ? &cancels : nullptr, "127.0.0.1", nullptr);
        EXPECT_EQ(report(task), Outcome::Refused);
        EXPECT_FALSE(result.loggedIn);
        EXPECT_EQ(result.report.comments, c.comments);
        EXPECT_EQ(shown.last(ActivityField::Comments), c.comments);
        EXPECT_EQ(result.report.uptime, "");
        EXPECT_TRUE(shown.ratings.empty());
        EXPECT_FALSE(session->telnet().isOpen());
    }
}

TEST_F(ActivityReportFixture, ClosedWindowIsNeverTouchedButTheDeviceIsLoggedOut) {
    state->closing = true;
    EXPECT_EQ(run(sim::DeviceConfig{}), Outcome::Ok);
    EXPECT_TRUE(ui->calls().empty());
    EXPECT_TRUE(shown.fields.empty());
    EXPECT_TRUE(shown.ratings.empty());
    EXPECT_EQ(result.report.comments, "Report Complete.");
    EXPECT_EQ(result.report.uptime, "0 days, 8 hrs, 20 min, 12 sec");
    EXPECT_FALSE(session->telnet().isOpen());
}

}  // namespace
}  // namespace lm::test
