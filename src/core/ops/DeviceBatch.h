#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/link/Session.h"
#include "core/ops/FirmwareFolder.h"
#include "core/ops/WorkerTask.h"

namespace lm {

// A device of a batch: its address, and what is known of it (empty when nothing is).
struct BatchDevice {
    BatchDevice() = default;
    // The version is left out where only the other facts are known.
    BatchDevice(std::string host_, std::string id_, std::string deviceType_, std::string version_ = {})
        : host(std::move(host_)),
          id(std::move(id_)),
          deviceType(std::move(deviceType_)),
          version(std::move(version_)) {}

    std::string host;
    std::string id;
    std::string deviceType;
    std::string version;  // the firmware version it announced
};

// How one device of a batch ended, as scripts read it.
enum class BatchResult { Ok, Failed, Refused, NoAnswer, Unreachable, Skipped, Cancelled };

// The fixed word of a result: "ok", "failed", "refused", "noAnswer", "unreachable", "skipped",
// "cancelled".
const char* batchResultWord(BatchResult result);

// One device's row of a batch.
struct BatchRow {
    enum class State { Waiting, Running, Done };

    BatchDevice device;
    State state = State::Waiting;
    BatchResult result = BatchResult::Cancelled;
    std::string message;  // the device's or our words; empty when there are none
};

// The row's result as a table shows it: "OK", or the failure with "refused: ", "no answer: ",
// "unreachable: ", "skipped: " before the words, so a wrong password, a silent device and one that
// is not there read apart.
std::string batchResultText(const BatchRow& row);

// Whether every device of the batch was done.
bool batchSucceeded(const std::vector<BatchRow>& rows);

// How a device left alone ended, and why.
struct BatchEnd {
    BatchResult result = BatchResult::Skipped;
    std::string message;
};

// What a batch does to each device: prepare, on the job's session before anything is sent to the
// device, may leave it alone; run is the operation's worker.
struct BatchWork {
    std::function<std::optional<BatchEnd>(Session&, const BatchDevice&, WorkerChannel&)> prepare;
    std::function<OperationResult(WorkerTask&, const BatchDevice&)> run;
};

BatchWork rebootBatchWork(std::string password);
BatchWork setTimeBatchWork(std::string password);

struct UpgradeBatchOptions {
    std::string password;
    std::string romPath;
    std::string pcAddress;  // empty: the closest of this PC's addresses, per device
    std::string id;         // used for every device when given, else each device's own
    bool eraseConfig = true;
    bool saveNetwork = false;
    bool ignoreModel = false;  // a file whose name does not fit the model is used (else skipped)
    // When given, each device gets the folder's image chosen for it (romPath and id unused).
    std::shared_ptr<const FirmwareFolder> folder;
};
// The folder's image for the device, after asking the device for its ID and version where they are
// not known or cannot be read (device keeps what it said); else why the device is left alone.
FolderChoice folderChoiceFor(const FirmwareFolder& folder, BatchDevice& device,
                             const NetworkProfile& profile);

// Every device's image through one TFTP port (the profile's) and one echo allowance, restored when
// the last copy of the work is gone.
BatchWork upgradeBatchWork(const UpgradeBatchOptions& options, const NetworkProfile& profile,
                           const Timing& timing);

// Several devices worked on at once, jobs at a time, each job on a Session of its own, in the order
// given, each address once. Nobody is asked for a password while it runs: every device gets the one given. A
// device whose ID is not known (or not readable) is asked for it first, so every row names its device. Cancel
// stops the devices not yet started; those at work finish.
class DeviceBatch {
public:
    static constexpr int kMaxJobs = 64;

    // How a front end shows the batch. Both are called on the job's thread.
    class Observer {
    public:
        virtual ~Observer() = default;
        // The window of one device: its worker's status lines, progress and questions.
        virtual std::shared_ptr<WorkerChannel> channelFor(std::size_t index) = 0;
        virtual void rowChanged(std::size_t /*index*/, const BatchRow& /*row*/) {}
    };

    DeviceBatch(std::vector<BatchDevice> devices, int jobs);

    // Works on every device and returns the rows, in the order of the devices.
    std::vector<BatchRow> run(const NetworkProfile& profile, const Timing& timing, const BatchWork& work,
                              Observer& observer);
    // From any thread.
    void cancel() { cancelled_ = true; }
    bool cancelled() const { return cancelled_; }
    std::vector<BatchRow> rows() const;

private:
    void workOn(std::size_t index, Session& session, const BatchWork& work, Observer& observer);
    void update(std::size_t index, Observer& observer, const std::function<void(BatchRow&)>& change);

    int jobs_;
    std::atomic<bool> cancelled_{false};
    mutable std::mutex mutex_;
    std::vector<BatchRow> rows_;
};

}  // namespace lm
