#include "core/diag/ProductionTest.h"

#include <algorithm>
#include <mutex>

#include "core/diag/ProductionRules.h"
#include "core/link/DeviceSession.h"
#include "core/ops/JobPool.h"

namespace lm {

std::array<int, kProductionColumns> productionColumnWidths(int clientWidth) {
    const int u = (clientWidth - 16) / 12;
    return {
        clientWidth - 11 * u + 44, u, u - 16, u, u - 20, u - 6, u + 16, u - 12, u - 6, u - 6, u - 6, u - 6};
}

const char* verdictText(ProductionVerdict verdict) {
    switch (verdict) {
        case ProductionVerdict::Passed:
            return "OK";
        case ProductionVerdict::PassedShort:
            return "(T)";
        case ProductionVerdict::Failed:
            return "No";
        case ProductionVerdict::Untested:
            break;
    }
    return "";
}

std::vector<DeviceRecord> productionOrder(std::vector<DeviceRecord> devices) {
    std::stable_sort(devices.begin(), devices.end(),
                     [](const DeviceRecord& a, const DeviceRecord& b) { return a.id < b.id; });
    return devices;
}

std::vector<ProductionRow> productionRows(const std::vector<DeviceRecord>& ordered) {
    std::vector<ProductionRow> rows(ordered.size());
    for (std::size_t i = 0; i < ordered.size(); ++i) {
        rows[i].id = ordered[i].id;
        rows[i].address = ordered[i].address;
        rows[i].cell(ProductionColumn::Mac) = "??  " + rows[i].name();
    }
    return rows;
}

namespace {

constexpr Milliseconds kMissingValuePause{500};

// The window as the jobs share it: one call at a time, and the rows kept alongside.
class SharedWindow {
public:
    SharedWindow(ProductionUi& ui, std::vector<ProductionRow>& rows) : ui_(ui), rows_(rows) {}

    bool closing() {
        std::lock_guard lock(mutex_);
        if (!closed_) closed_ = ui_.closing();
        return closed_;
    }
    void status(std::size_t device, const std::string& text) {
        show("Checking device " + std::to_string(device + 1) + ": " + text + "...");
    }
    void show(const std::string& text) {
        std::lock_guard lock(mutex_);
        if (!closed_ && !(closed_ = ui_.closing())) ui_.setStatus(text);
    }
    void cell(std::size_t device, ProductionColumn column, const std::string& text) {
        std::lock_guard lock(mutex_);
        rows_[device].cell(column) = text;
        if (!closed_ && !(closed_ = ui_.closing())) ui_.setCell(device, column, text);
    }
    ProductionRow& row(std::size_t device) { return rows_[device]; }

private:
    ProductionUi& ui_;
    std::vector<ProductionRow>& rows_;
    std::mutex mutex_;
    bool closed_ = false;
};

// One device's test on a job's own session.
class DeviceTest {
public:
    DeviceTest(Session& session, SharedWindow& window, std::size_t device)
        : s_(session), device_(session), window_(window), index_(device) {}

    // False when the window closed: the test as a whole ends.
    bool run(const DeviceRecord& record, const std::string& password) {
        s_.setFirmware({});
        status("Establishing Telnet session");
        s_.setPassword(password);
        s_.setConnectionIsNetwork(true);
        if (window_.closing()) return false;
        const LoginResult login = s_.loginNetwork(record.hostPart(), false, nullptr);
        if (login != LoginOk) {
            // A refused password leaves the connection open: it must not linger into the next device.
            device_.logout(false);
            const bool timeout = login == LoginFailed;
            const char* message = timeout ? "Unable to establish telnet session." : "Unknown password.";
            window_.status(index_, message);
            cell(ProductionColumn::Duration, timeout ? "Timeout" : "Password");
            s_.timing().pause(kMissingValuePause);
            verdict(ProductionVerdict::Failed);
            return true;
        }
        window_.row(index_).loggedIn = true;
        // This device's prompt, not the previous one's: the commands end at it and the PID range
        // depends on it.
        device_.adoptLoginPrompt();
        const Step outcome = measure();
        device_.logout(false);
        if (outcome == Step::Closed) return false;
        if (outcome == Step::Failed) {
            status("Error Reading Config info!");
            // The test did not finish: whatever passed so far cannot make the device pass.
            pass_ = false;
        }
        verdict(!pass_        ? ProductionVerdict::Failed
                : durationOk_ ? ProductionVerdict::Passed
                              : ProductionVerdict::PassedShort);
        return true;
    }

private:
    enum class Step { Done, Failed, Closed };

    Step measure() {
        const OutputLines& lines = s_.remoteLines();
        if (window_.closing()) return Step::Closed;
        if (!command("cat /etc/version")) return Step::Failed;
        const VersionReading version = readVersion(lines, s_.firmware());
        versionsBad_ = version.versionBad;
        cell(ProductionColumn::Firmware, findLineValue(lines, "version").text);
        s_.setFirmware(version.firmware);
        const bool newFirmware = isNewFirmware(version.firmware);
        kind_ = deviceKindOf(lines);

        if (window_.closing()) return Step::Closed;
        if (kind_ == DeviceKind::A) {
            if (!command("cat /proc/zelvix")) return Step::Failed;
            cell(ProductionColumn::Imaging, findWordFrom(lines, "11.", "10.", ""));
            kind_ = refinedKind(kind_, lines);
        }

        if (window_.closing()) return Step::Closed;
        if (!command("cat /proc/uptime")) return Step::Failed;
        float uptime = 0.0f;
        if (const auto seconds = readUptime(lines)) {
            uptime = *seconds;
            durationOk_ = testDurationSufficient(uptime);
            cell(ProductionColumn::Duration, durationCell(uptime));
        } else {
            missing("Can't find uptime!");
            cell(ProductionColumn::Duration, "No");
        }

        if (window_.closing()) return Step::Closed;
        if (kind_ == DeviceKind::C) {
            cell(ProductionColumn::Exposure, "OK(V)");
            cell(ProductionColumn::Rate, "OK(V)");
        } else if (!imaging(uptime)) {
            return Step::Failed;
        }

        if (window_.closing()) return Step::Closed;
        if (kind_ == DeviceKind::C) {
            cell(ProductionColumn::Pid, "OK");
        } else {
            if (!command("ps")) return Step::Failed;
            if (const auto process = findCameraProcess(lines)) {
                const std::string pid = pidCell(*process, s_.firmware().minor);
                cell(ProductionColumn::Pid, pid);
                pass_ = pass_ && pid == "OK";
            } else {
                cell(ProductionColumn::Pid, "No");
                missing("PID not found!");
            }
        }

        if (window_.closing()) return Step::Closed;
        if (!command(watchdogCommand(newFirmware))) return Step::Failed;
        const WatchdogReading watchdog = readWatchdog(lines, false);
        BusCount bus;
        if (watchdogMissing(watchdog) && kind_ != DeviceKind::B) {
            cell(ProductionColumn::Devices, "No");
            pass_ = false;
        } else {
            if (!watchdogMissing(watchdog)) {
                versionsBad_ = versionsBad_ || watchdog.versionBad;
                cell(ProductionColumn::Watchdog, watchdog.text);
            }
            if (window_.closing()) return Step::Closed;
            if (!command("cat /proc/mbus")) return Step::Failed;
            bus = countBusDevices(lines);
            const std::string devices = devicesCell(kind_, bus);
            cell(ProductionColumn::Devices, devices);
            pass_ = pass_ && devices == "OK";
            errors_ = addErrors(errors_, bus.errors);
        }

        if (!bus.thermometer) {
            cell(ProductionColumn::Temperature, "No");
            pass_ = false;
        } else if (!temperature(newFirmware)) {
            return Step::Closed;
        }

        const std::string errors = errorsCell(errors_);
        cell(ProductionColumn::Errors, errors);
        pass_ = pass_ && errors == "OK";
        cell(ProductionColumn::Versions, versionsBad_ ? "No" : "OK");
        pass_ = pass_ && !versionsBad_;
        return Step::Done;
    }

    bool imaging(float uptime) {
        const OutputLines& lines = s_.remoteLines();
        if (!command("cat /proc/zelvix")) return false;
        const auto stats = readProcessStats(lines);
        if (!stats) {
            missing("Can't find version!");
            versionsBad_ = true;
            return true;
        }
        versionsBad_ = versionsBad_ || processVersionBad(stats->version);
        if (productionExposureOk(stats->exposureValue)) {
            cell(ProductionColumn::Exposure, "OK");
        } else {
            cell(ProductionColumn::Exposure, "No (" + stats->exposure + ")");
            pass_ = false;
        }
        errors_ = adjustedErrors(stats->errorCount, stats->frameCount, uptime);
        // An uptime of 0 gives no rate at all, and no rate is not a passing one.
        const auto rate = frameRate(stats->frameCount, uptime);
        if (rate && *rate > rateThreshold(kind_)) {
            cell(ProductionColumn::Rate, kind_ == DeviceKind::E ? "OK(M)" : "OK");
        } else {
            cell(ProductionColumn::Rate, "No");
            pass_ = false;
        }
        return true;
    }

    // Up to seven readings until two in a row agree; false when the window closed meanwhile.
    bool temperature(bool newFirmware) {
        std::optional<long long> previous;
        for (int reading = 1; reading <= kTemperatureReadings; ++reading) {
            if (window_.closing()) return false;
            // A reply that failed is used as it stands; only a link that is gone ends the readings.
            if (runCommand(temperatureCommand(newFirmware)) == Outcome::NoAnswer) break;
            const auto raw = readTemperatureRaw(s_.remoteLines());
            if (raw && raw == previous) {
                const std::string text = temperatureCell(*raw);
                cell(ProductionColumn::Temperature, text);
                pass_ = pass_ && text.starts_with("OK");
                return true;
            }
            previous = raw;  // a reply without a value is no reading: it never agrees with the next
        }
        cell(ProductionColumn::Temperature, "No");
        pass_ = false;
        return true;
    }

    Outcome runCommand(const std::string& line) {
        status("running " + line);
        return device_.runCommand(line);
    }
    bool command(const std::string& line) { return runCommand(line) == Outcome::Ok; }

    void missing(const std::string& message) {
        status(message);
        pass_ = false;
        s_.timing().pause(kMissingValuePause);
    }
    void status(const std::string& text) { window_.status(index_, text); }
    void cell(ProductionColumn column, const std::string& text) { window_.cell(index_, column, text); }
    void verdict(ProductionVerdict verdict) {
        window_.row(index_).verdict = verdict;
        cell(ProductionColumn::Mac, std::string(verdictText(verdict)) + "  " + window_.row(index_).name());
    }

    Session& s_;
    DeviceSession device_;
    SharedWindow& window_;
    std::size_t index_;
    DeviceKind kind_ = DeviceKind::Unknown;
    bool pass_ = true;
    bool durationOk_ = false;
    bool versionsBad_ = false;
    std::optional<long long> errors_ = 0;  // unknown once a count could not be read
};

}  // namespace

std::vector<ProductionRow> productionWorker(const std::vector<DeviceRecord>& ordered, ProductionUi& ui,
                                            const ProductionSettings& settings) {
    std::vector<ProductionRow> rows = productionRows(ordered);
    SharedWindow window(ui, rows);
    JobPool::run(ordered.size(), settings.jobs, [&](JobPool& pool) {
        Session session(settings.profile, settings.timing);
        while (const auto i = pool.next()) {
            if (!DeviceTest(session, window, *i).run(ordered[*i], settings.password)) pool.stop();
        }
    });
    if (!window.closing()) window.show("Report Complete.");
    return rows;
}

}  // namespace lm
