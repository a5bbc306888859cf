#include "core/diag/ActivityReport.h"

#include "core/diag/ActivityMeasures.h"
#include "core/link/DeviceSession.h"

namespace lm {

namespace {

constexpr Milliseconds kMissingValuePause{500};

// One run of the report: the working values and the way to whoever shows them.
class ReportRun {
public:
    ReportRun(WorkerTask& task, const ActivityReportRequest& request)
        : task_(task), request_(request), device_(task.session()) {}

    ActivityReportResult run() {
        field(ActivityField::Mac, request_.deviceId);
        field(ActivityField::Ip, request_.address);
        result_.outcome = measure(request_.startPassword);
        return std::move(result_);
    }

private:
    Outcome measure(const std::string& startPassword) {
        Session& session = task_.session();
        session.setFirmware({});
        field(ActivityField::Comments, "Establishing Telnet session...");
        const Outcome opened = task_.openAsOpened(startPassword);
        if (opened == Outcome::Failed) {
            field(ActivityField::Comments, Session::kBusyText);
            return opened;
        }
        if (opened != Outcome::Ok) {
            field(ActivityField::Comments, task_.loginFailureText());
            return opened;
        }
        result_.loggedIn = true;
        // The prompt of this device, not of one seen before: the process id's range depends on it.
        device_.adoptLoginPrompt();
        const Outcome outcome = commands();
        if (outcome == Outcome::Ok) {
            field(ActivityField::Comments, "Report Complete.");
        } else {
            field(ActivityField::Comments, "Error Reading Config info!");
        }
        device_.logout(false);
        return outcome;
    }

    Outcome commands() {
        Session& session = task_.session();
        const OutputLines& lines = session.remoteLines();

        if (Outcome o = command("cat /etc/version"); o != Outcome::Ok) return o;
        const VersionReading version = readVersion(lines, session.firmware());
        if (version.line.empty()) {
            field(ActivityField::Version, "Can't find ROM version!");
            pause();
        } else {
            field(ActivityField::Version, version.line);
        }
        session.setFirmware(version.firmware);
        versionsBad_ = version.versionBad;
        const bool camera = !version.videoServer;
        const bool newFirmware = isNewFirmware(version.firmware);

        if (Outcome o = command("cat /etc/config/ifcfg-eth0"); o != Outcome::Ok) return o;
        field(ActivityField::Mode, addressMode(lines));

        if (Outcome o = command("cat /proc/uptime"); o != Outcome::Ok) return o;
        float uptime = 0.0f;
        if (const auto seconds = readUptime(lines)) {
            uptime = *seconds;
            check(ActivityCheck::TestDuration, testDurationSufficient(uptime));
            field(ActivityField::Uptime, uptimeText(uptime));
        } else {
            field(ActivityField::Uptime, "Can't find uptime!");
            pause();
        }

        bool ccd = false;
        if (camera) {
            if (Outcome o = cameraProcess(uptime, ccd); o != Outcome::Ok) return o;
        } else {
            videoServerFillIn();
        }

        if (Outcome o = command(watchdogCommand(newFirmware)); o != Outcome::Ok) return o;
        const WatchdogReading watchdog = readWatchdog(lines, ccd);
        field(ActivityField::Watchdog, watchdog.text);
        versionsBad_ = versionsBad_ || watchdog.versionBad;

        if (Outcome o = command("cat /proc/mbus"); o != Outcome::Ok) return o;
        const BusReading bus = readBus(lines, camera);
        field(ActivityField::BusDevices, std::to_string(bus.count));
        check(ActivityCheck::AllDevicesFound, bus.count == 3);
        field(ActivityField::BusErrors, errorsText(bus.errors));
        errors_ = addErrors(errors_, bus.errors);

        if (bus.thermometer) {
            temperature(newFirmware);
        } else {
            field(ActivityField::Temperature, "na");
        }

        check(ActivityCheck::ErrorCount, errors_ && *errors_ < 2);
        check(ActivityCheck::ChipVersions, !versionsBad_);
        return Outcome::Ok;
    }

    Outcome cameraProcess(float uptime, bool& ccd) {
        const OutputLines& lines = task_.session().remoteLines();
        if (Outcome o = command("cat /proc/zelvix"); o != Outcome::Ok) return o;
        if (const auto stats = readProcessStats(lines)) {
            versionsBad_ = versionsBad_ || processVersionBad(stats->version);
            ccd = isCcdVersion(stats->version);
            check(ActivityCheck::MegaPix, isMegaPix(stats->version));
            field(ActivityField::ProcessVersion, stats->version);
            check(ActivityCheck::ExposureOk, exposureOk(stats->exposureValue));
            // A word the line stops before is shown as unknown, not as a field left empty.
            const auto shown = [](const std::string& word) { return word.empty() ? std::string("?") : word; };
            field(ActivityField::Exposure, shown(stats->exposure));
            field(ActivityField::Errors, shown(stats->errors));
            field(ActivityField::Frames, shown(stats->frames));
            const auto rate = frameRate(stats->frameCount, uptime);
            field(ActivityField::Rate, rateText(rate));
            check(ActivityCheck::FrameRate, frameRateOk(rate));
            errors_ = adjustedErrors(stats->errorCount, stats->frameCount, uptime);
        } else {
            field(ActivityField::Comments, "Can't find version!");
            pause();
        }

        if (Outcome o = command("ps"); o != Outcome::Ok) return o;
        if (const auto process = findCameraProcess(lines)) {
            field(ActivityField::Pid, process->pid);
            field(ActivityField::ProcessShare, process->share);
            check(ActivityCheck::PidRange,
                  process->pidValue && pidInRange(*process->pidValue, task_.session().shellPrompt(),
                                                  task_.session().firmware().minor));
        } else {
            field(ActivityField::Comments, "PID not found!");
            pause();
        }
        return Outcome::Ok;
    }

    void videoServerFillIn() {
        field(ActivityField::Comments, "Video server detected, Zelvix fields don't apply.");
        field(ActivityField::Rate, "10");
        check(ActivityCheck::FrameRate, true);
        field(ActivityField::Frames, "Ok");
        field(ActivityField::Errors, "0");
        check(ActivityCheck::ExposureOk, true);
        check(ActivityCheck::MegaPix, false);
        field(ActivityField::ProcessVersion, "None");
        field(ActivityField::Exposure, "Ok");
        field(ActivityField::Pid, "None");
        field(ActivityField::ProcessShare, "0%");
        check(ActivityCheck::PidRange, true);
    }

    // Up to seven readings until two in a row agree: the sensor answers mid-conversion otherwise.
    void temperature(bool newFirmware) {
        std::optional<long long> previous;
        for (int reading = 1; reading <= kTemperatureReadings; ++reading) {
            // A reply that failed is used as it stands; only a link that is gone ends the readings.
            if (command(temperatureCommand(newFirmware)) == Outcome::NoAnswer) break;
            const auto raw = readTemperatureRaw(task_.session().remoteLines());
            if (raw && raw == previous) {
                field(ActivityField::Temperature, temperatureText(*raw));
                check(ActivityCheck::TempOk, temperatureOk(*raw));
                return;
            }
            previous = raw;  // a reply without a value is no reading: it never agrees with the next
        }
        field(ActivityField::Temperature, "na");
    }

    Outcome command(const std::string& line) {
        field(ActivityField::Comments, "Running " + line + "...");
        return device_.runCommand(line);
    }

    void field(ActivityField field, const std::string& text) {
        result_.report.*(reportField(field).value) = text;
        if (request_.onField && !task_.closing()) request_.onField(field, text);
    }

    void check(ActivityCheck check, bool checked) {
        result_.report.ratings.*(reportRating(check).value) = checked;
        if (request_.onRating && !task_.closing()) request_.onRating(check, checked);
    }

    void pause() { task_.session().timing().pause(kMissingValuePause); }

    WorkerTask& task_;
    const ActivityReportRequest& request_;
    ActivityReportResult result_;
    DeviceSession device_;
    bool versionsBad_ = false;
    std::optional<long long> errors_ = 0;  // unknown once a count could not be read
};

}  // namespace

ActivityReportResult reportWorker(WorkerTask& task, const ActivityReportRequest& request) {
    return ReportRun(task, request).run();
}

}  // namespace lm
