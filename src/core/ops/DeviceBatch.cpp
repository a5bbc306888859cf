#include "core/ops/DeviceBatch.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <set>

#include "core/discovery/DeviceProbe.h"
#include "core/discovery/ModelTable.h"
#include "core/ops/FirmwareFamily.h"
#include "core/ops/FirmwareUpgrade.h"
#include "core/ops/JobPool.h"
#include "core/ops/MaintenanceOperations.h"
#include "core/ops/SetTime.h"
#include "core/ops/UpgradeBatch.h"

namespace lm {

namespace {

// A device's window as its front end shows it, keeping what the worker said last: a failed worker
// ends with its failure in its last status line or message box.
class LastWordsChannel : public WorkerChannel {
public:
    explicit LastWordsChannel(std::shared_ptr<WorkerChannel> shown) : shown_(std::move(shown)) {}

    const std::string& lastWords() const { return lastWords_; }

    void status(const std::string& text) override {
        if (!text.empty()) lastWords_ = text;
        shown_->status(text);
    }
    void progressRange(int low, int high) override { shown_->progressRange(low, high); }
    void progress(int position) override { shown_->progress(position); }
    void beep() override { shown_->beep(); }
    Answer ask(const Question& question) override {
        if (!question.text.empty()) lastWords_ = question.text;
        return shown_->ask(question);
    }
    void showResult(const std::string& text, const std::string& title) override {
        if (!text.empty()) lastWords_ = text;
        shown_->showResult(text, title);
    }
    void finish() override { shown_->finish(); }

private:
    std::shared_ptr<WorkerChannel> shown_;
    std::string lastWords_;
};

BatchResult resultOf(Outcome outcome, bool connectFailed) {
    switch (outcome) {
        case Outcome::Ok:
            return BatchResult::Ok;
        case Outcome::Refused:
            return BatchResult::Refused;
        case Outcome::NoAnswer:
            return connectFailed ? BatchResult::Unreachable : BatchResult::NoAnswer;
        case Outcome::Cancelled:
            return BatchResult::Cancelled;
        case Outcome::Failed:
            return BatchResult::Failed;
    }
    return BatchResult::Failed;
}

// One line per row.
std::string oneLine(std::string text) {
    std::replace(text.begin(), text.end(), '\n', ' ');
    std::replace(text.begin(), text.end(), '\r', ' ');
    return text;
}

// The image chosen for each device of a folder upgrade, by host.
struct ChosenImages {
    std::mutex lock;
    std::map<std::string, std::string> paths;
};

// Whether the one file given fits the device's model: a file that does not is not used unless
// asked, since nobody is asked while several devices are at work.
std::optional<BatchEnd> checkRomFile(const UpgradeBatchOptions& options, const BatchDevice& device,
                                     WorkerChannel& ui) {
    const int model = ModelTable::codeFromId(options.id.empty() ? device.id : options.id);
    if (model == ModelTable::kNoCode)
        ui.status(
            "Note: the device's model is not known (no ID given, and no usable answer to the discovery "
            "probe), so any file whose name holds \".bin\" passes as its firmware");
    if (const auto mismatch = firmwareMismatch(options.romPath, model); !mismatch.empty()) {
        if (!options.ignoreModel) return BatchEnd{BatchResult::Skipped, mismatch};
        ui.status("Note: " + mismatch + ": used all the same, as asked");
    }
    return std::nullopt;
}

// The folder's image for the device, kept in chosen for its run; else why it is left alone.
std::optional<BatchEnd> chooseFromFolder(const FirmwareFolder& folder, const BatchDevice& device,
                                         const NetworkProfile& profile, WorkerChannel& ui,
                                         ChosenImages& chosen) {
    BatchDevice known = device;
    const FolderChoice choice = folderChoiceFor(folder, known, profile);
    if (!choice.image) return BatchEnd{BatchResult::Skipped, choice.skipReason};
    ui.status("Firmware " + known.version + " is to be replaced by " + choice.image->name);
    const std::lock_guard lock(chosen.lock);
    chosen.paths[device.host] = choice.image->path;
    return std::nullopt;
}

}  // namespace

const char* batchResultWord(BatchResult result) {
    switch (result) {
        case BatchResult::Ok:
            return "ok";
        case BatchResult::Failed:
            return "failed";
        case BatchResult::Refused:
            return "refused";
        case BatchResult::NoAnswer:
            return "noAnswer";
        case BatchResult::Unreachable:
            return "unreachable";
        case BatchResult::Skipped:
            return "skipped";
        case BatchResult::Cancelled:
            return "cancelled";
    }
    return "failed";
}

std::string batchResultText(const BatchRow& row) {
    const std::string said = row.message.empty() ? batchResultWord(row.result) : row.message;
    switch (row.result) {
        case BatchResult::Ok:
            return "OK";
        case BatchResult::Refused:
            return "refused: " + said;
        case BatchResult::NoAnswer:
            return "no answer: " + said;
        case BatchResult::Unreachable:
            return "unreachable: " + said;
        case BatchResult::Skipped:
            return "skipped: " + said;
        case BatchResult::Cancelled:
            return row.message.empty() ? "cancelled" : "cancelled: " + said;
        case BatchResult::Failed:
            return said;
    }
    return said;
}

bool batchSucceeded(const std::vector<BatchRow>& rows) {
    return std::all_of(rows.begin(), rows.end(), [](const BatchRow& row) {
        return row.state == BatchRow::State::Done && row.result == BatchResult::Ok;
    });
}

BatchWork rebootBatchWork(std::string password) {
    return {{}, [password = std::move(password)](WorkerTask& task, const BatchDevice& device) {
                return rebootWorker(task, {{device.host, password}});
            }};
}

BatchWork setTimeBatchWork(std::string password) {
    return {{}, [password = std::move(password)](WorkerTask& task, const BatchDevice&) {
                return setTimeWorker(task, {password});
            }};
}

FolderChoice folderChoiceFor(const FirmwareFolder& folder, BatchDevice& device,
                             const NetworkProfile& profile) {
    // A list's marker ("Unknown (ARP)") is no version: the device is asked.
    if (ModelTable::codeFromId(device.id) == ModelTable::kNoCode || !parseFirmwareVersion(device.version)) {
        const auto reply = probeDevice(parseIpv4(device.host).value_or(0), profile, kDeviceProbeWait);
        if (!reply && ModelTable::codeFromId(device.id) == ModelTable::kNoCode)
            return {std::nullopt, "no answer to the probe, so its model and version are not known"};
        if (reply) {
            if (ModelTable::codeFromId(device.id) == ModelTable::kNoCode) device.id = reply->id;
            if (device.deviceType.empty()) device.deviceType = reply->deviceType;
            device.version = reply->version;
        }
    }
    return chooseFolderImage(folder, ModelTable::codeFromId(device.id), device.version);
}

BatchWork upgradeBatchWork(const UpgradeBatchOptions& options, const NetworkProfile& profile,
                           const Timing& timing) {
    auto shared = std::make_shared<UpgradeBatch>(timing, profile.tftpPort);
    BatchWork work;
    // Each device's image from the folder, chosen once before its run.
    auto chosen = std::make_shared<ChosenImages>();
    work.prepare = [options, chosen](Session& session, const BatchDevice& device,
                                     WorkerChannel& ui) -> std::optional<BatchEnd> {
        if (options.folder) {
            if (auto end = chooseFromFolder(*options.folder, device, session.profile(), ui, *chosen))
                return end;
        } else if (auto end = checkRomFile(options, device, ui)) {
            return end;
        }
        if (options.pcAddress.empty() && pcAddressFor(session.profile(), device.host).empty())
            return BatchEnd{BatchResult::Failed, "this PC has no address to offer the device"};
        return std::nullopt;
    };
    work.run = [options, shared, chosen](WorkerTask& task, const BatchDevice& device) {
        std::string romPath = options.romPath;
        if (options.folder) {
            const std::lock_guard lock(chosen->lock);
            romPath = chosen->paths.at(device.host);
        }
        const std::string pcAddress = options.pcAddress.empty()
                                          ? pcAddressFor(task.session().profile(), device.host)
                                          : options.pcAddress;
        const UpgradeRequest request{
            {device.host, options.password}, romPath, pcAddress, options.eraseConfig, options.saveNetwork};
        return batchUpgradeWorker(task, request, *shared);
    };
    return work;
}

DeviceBatch::DeviceBatch(std::vector<BatchDevice> devices, int jobs) : jobs_(std::clamp(jobs, 1, kMaxJobs)) {
    std::set<std::string> hosts;
    for (BatchDevice& device : devices)
        // A device listed twice (a manual entry beside the scan's) is worked on once, never twice at once.
        if (hosts.insert(device.host).second)
            rows_.push_back({std::move(device), BatchRow::State::Waiting, BatchResult::Cancelled, {}});
}

std::vector<BatchRow> DeviceBatch::rows() const {
    const std::lock_guard lock(mutex_);
    return rows_;
}

void DeviceBatch::update(std::size_t index, Observer& observer,
                         const std::function<void(BatchRow&)>& change) {
    BatchRow row;
    {
        const std::lock_guard lock(mutex_);
        change(rows_[index]);
        row = rows_[index];
    }
    observer.rowChanged(index, row);
}

std::vector<BatchRow> DeviceBatch::run(const NetworkProfile& profile, const Timing& timing,
                                       const BatchWork& work, Observer& observer) {
    JobPool::run(rows_.size(), jobs_, [&](JobPool& pool) {
        Session session(profile, timing);
        while (const auto index = pool.next()) {
            if (cancelled_) {
                update(*index, observer, [](BatchRow& row) {
                    row.state = BatchRow::State::Done;
                    row.result = BatchResult::Cancelled;
                });
                continue;
            }
            workOn(*index, session, work, observer);
        }
    });
    return rows();
}

void DeviceBatch::workOn(std::size_t index, Session& session, const BatchWork& work, Observer& observer) {
    update(index, observer, [](BatchRow& row) { row.state = BatchRow::State::Running; });
    BatchDevice device = rows()[index].device;
    // The ID names the device in every row and picks its firmware: one that cannot be read (none,
    // or a list's stand-in text) is asked of the device.
    if (ModelTable::codeFromId(device.id) == ModelTable::kNoCode) {
        const auto reply =
            probeDevice(parseIpv4(device.host).value_or(0), session.profile(), kDeviceProbeWait);
        if (reply && ModelTable::codeFromId(reply->id) != ModelTable::kNoCode) {
            device.id = reply->id;
            if (device.deviceType.empty()) device.deviceType = reply->deviceType;
            if (device.version.empty()) device.version = reply->version;
            update(index, observer, [&](BatchRow& row) { row.device = device; });
        } else if (!device.id.empty()) {
            device.id.clear();  // a stand-in text is no ID
            update(index, observer, [&](BatchRow& row) { row.device = device; });
        }
    }
    auto ui = std::make_shared<LastWordsChannel>(observer.channelFor(index));
    auto finish = [&](BatchResult result, std::string message) {
        update(index, observer, [&](BatchRow& row) {
            row.state = BatchRow::State::Done;
            row.result = result;
            row.message = oneLine(std::move(message));
        });
    };
    if (work.prepare) {
        if (auto end = work.prepare(session, device, *ui))
            return finish(end->result, std::move(end->message));
    }
    auto state = std::make_shared<OperationState>();
    state->running = true;
    Outcome outcome;
    {
        WorkerTask task(session, ui, state, nullptr, device.host, nullptr);
        outcome = work.run(task, device).outcome;
    }
    state->running = false;
    const bool connectFailed = session.telnet().lastConnectFailed();
    // The device drops the connection as it goes down; nothing more is said on it.
    session.telnet().close();
    const BatchResult result = resultOf(outcome, connectFailed);
    finish(result, result == BatchResult::Ok ? std::string() : ui->lastWords());
}

}  // namespace lm
