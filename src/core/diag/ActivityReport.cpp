#include "core/diag/ActivityReport.h"

#include "core/diag/ActivityMeasures.h"
#include "core/link/DeviceSession.h"

namespace lm {

namespace {

constexpr Milliseconds kMissingValuePause{500};

// One run of the report: the working values and the way to the window.
class ReportRun {
public:
    ReportRun(WorkerTask& task, ActivityReport& report)
        : task_(task), report_(report), device_(task.session()) {}

    Outcome run(const std::string& startPassword) {
        if (auto* ui = task_.ui()) ui->enableControl(kReportClose, false);
        field(kReportMac, report_.mac);
        field(kReportIp, report_.ip);
        const Outcome outcome = measure(startPassword);
        if (auto* ui = task_.ui()) ui->enableControl(kReportClose, true);
        return outcome;
    }

private:
    Outcome measure(const std::string& startPassword) {
        Session& session = task_.session();
        session.setFirmware({});
        field(kReportComments, "Establishing Telnet session...");
        const Outcome opened = task_.openAsOpened(startPassword);
        if (opened == Outcome::Failed) {
            field(kReportComments, Session::kBusyText);
            return opened;
        }
        if (opened != Outcome::Ok) {
            field(kReportComments, task_.loginFailureText());
            return opened;
        }
        // The prompt of this device, not of one seen before: the process id's range depends on it.
        device_.adoptLoginPrompt();
        const Outcome outcome = commands();
        if (outcome == Outcome::Ok) {
            field(kReportComments, "Report Complete.");
        } else {
            field(kReportComments, "Error Reading Config info!");
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
            field(kReportVersion, "Can't find ROM version!");
            pause();
        } else {
            field(kReportVersion, version.line);
        }
        session.setFirmware(version.firmware);
        versionsBad_ = version.versionBad;
        const bool camera = !version.videoServer;
        const bool newFirmware = isNewFirmware(version.firmware);

        if (Outcome o = command("cat /etc/config/ifcfg-eth0"); o != Outcome::Ok) return o;
        field(kReportMode, addressMode(lines));

        if (Outcome o = command("cat /proc/uptime"); o != Outcome::Ok) return o;
        float uptime = 0.0f;
        if (const auto seconds = readUptime(lines)) {
            uptime = *seconds;
            check(kRatingTestDuration, testDurationSufficient(uptime));
            field(kReportUptime, uptimeText(uptime));
        } else {
            field(kReportUptime, "Can't find uptime!");
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
        field(kReportWatchdog, watchdog.text);
        versionsBad_ = versionsBad_ || watchdog.versionBad;

        if (Outcome o = command("cat /proc/mbus"); o != Outcome::Ok) return o;
        const BusReading bus = readBus(lines, camera);
        field(kReportBusDevices, std::to_string(bus.count));
        check(kRatingAllDevicesFound, bus.count == 3);
        field(kReportBusErrors, errorsText(bus.errors));
        errors_ = addErrors(errors_, bus.errors);

        if (bus.thermometer) {
            temperature(newFirmware);
        } else {
            field(kReportTemperature, "na");
        }

        check(kRatingErrorCount, errors_ && *errors_ < 2);
        check(kRatingChipVersions, !versionsBad_);
        return Outcome::Ok;
    }

    Outcome cameraProcess(float uptime, bool& ccd) {
        const OutputLines& lines = task_.session().remoteLines();
        if (Outcome o = command("cat /proc/zelvix"); o != Outcome::Ok) return o;
        if (const auto stats = readProcessStats(lines)) {
            versionsBad_ = versionsBad_ || processVersionBad(stats->version);
            ccd = isCcdVersion(stats->version);
            check(kRatingMegaPix, isMegaPix(stats->version));
            field(kReportProcessVersion, stats->version);
            check(kRatingExposureOk, exposureOk(stats->exposureValue));
            // A word the line stops before is shown as unknown, not as a field left empty.
            const auto shown = [](const std::string& word) { return word.empty() ? std::string("?") : word; };
            field(kReportExposure, shown(stats->exposure));
            field(kReportErrors, shown(stats->errors));
            field(kReportFrames, shown(stats->frames));
            const auto rate = frameRate(stats->frameCount, uptime);
            field(kReportRate, rateText(rate));
            check(kRatingFrameRate, frameRateOk(rate));
            errors_ = adjustedErrors(stats->errorCount, stats->frameCount, uptime);
        } else {
            field(kReportComments, "Can't find version!");
            pause();
        }

        if (Outcome o = command("ps"); o != Outcome::Ok) return o;
        if (const auto process = findCameraProcess(lines)) {
            field(kReportPid, process->pid);
            field(kReportProcessShare, process->share);
            check(kRatingPidRange,
                  process->pidValue && pidInRange(*process->pidValue, task_.session().shellPrompt(),
                                                  task_.session().firmware().minor));
        } else {
            field(kReportComments, "PID not found!");
            pause();
        }
        return Outcome::Ok;
    }

    void videoServerFillIn() {
        field(kReportComments, "Video server detected, Zelvix fields don't apply.");
        field(kReportRate, "10");
        check(kRatingFrameRate, true);
        field(kReportFrames, "Ok");
        field(kReportErrors, "0");
        check(kRatingExposureOk, true);
        check(kRatingMegaPix, false);
        field(kReportProcessVersion, "None");
        field(kReportExposure, "Ok");
        field(kReportPid, "None");
        field(kReportProcessShare, "0%");
        check(kRatingPidRange, true);
    }

    // Up to seven readings until two in a row agree: the sensor answers mid-conversion otherwise.
    void temperature(bool newFirmware) {
        std::optional<long long> previous;
        for (int reading = 1; reading <= kTemperatureReadings; ++reading) {
            // A reply that failed is used as it stands; only a link that is gone ends the readings.
            if (command(temperatureCommand(newFirmware)) == Outcome::NoAnswer) break;
            const auto raw = readTemperatureRaw(task_.session().remoteLines());
            if (raw && raw == previous) {
                field(kReportTemperature, temperatureText(*raw));
                check(kRatingTempOk, temperatureOk(*raw));
                return;
            }
            previous = raw;  // a reply without a value is no reading: it never agrees with the next
        }
        field(kReportTemperature, "na");
    }

    Outcome command(const std::string& line) {
        field(kReportComments, "Running " + line + "...");
        return device_.runCommand(line);
    }

    void field(int id, const std::string& text) {
        for (const ReportField& f : kReportFields)
            if (f.id == id) report_.*(f.value) = text;
        if (auto* ui = task_.ui()) ui->setFieldText(id, text);
    }

    void check(int id, bool checked) {
        for (const ReportRating& r : kReportRatings)
            if (r.id == id) report_.ratings.*(r.value) = checked;
        if (auto* ui = task_.ui()) ui->setChecked(id, checked);
    }

    void pause() { task_.session().timing().pause(kMissingValuePause); }

    WorkerTask& task_;
    ActivityReport& report_;
    DeviceSession device_;
    bool versionsBad_ = false;
    std::optional<long long> errors_ = 0;  // unknown once a count could not be read
};

}  // namespace

Outcome reportWorker(WorkerTask& task, ActivityReport& report, const std::string& startPassword) {
    return ReportRun(task, report).run(startPassword);
}

}  // namespace lm
