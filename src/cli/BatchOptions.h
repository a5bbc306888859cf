#pragma once

#include <string>
#include <vector>

#include "cli/Command.h"
#include "core/ops/DeviceBatch.h"

namespace lm::cli {

// The devices a command works on: one HOST as ever, several HOSTs, or --all (every device a scan
// finds, optionally only those of --type), --jobs of them at a time; the results as a table, or
// as JSON with --json.
class BatchOptions {
public:
    // Without several, the command takes one HOST only, as before.
    void addTo(CLI::App& command, bool several = true);
    // After parsing: empty when the devices can be used, else the usage problem.
    std::string check();
    // --json asks for the batch's results even of one device.
    bool several() const { return all_ || json_ || asBatch_ || hosts_.size() > 1; }
    // Even one HOST is worked on as a batch is, its result in the table.
    void workAsBatch() { asBatch_ = true; }
    bool json() const { return json_; }
    bool all() const { return all_; }
    std::vector<std::string>& hosts() { return hosts_; }
    const std::string& host() const { return hosts_.empty() ? kNone : hosts_.front(); }

    // Works on every device as the core's batch does, each device's lines on the terminal, then
    // prints the results; the exit status: 0 when all succeeded, 3 when any did not, 1 when --all
    // found no device.
    // The rows, when asked for, are left in rows.
    int run(CommandContext& context, const BatchWork& work, bool assumeYes,
            std::vector<BatchRow>* rows = nullptr);
    // The devices given worked on, jobs at a time, each device's lines on the terminal.
    static std::vector<BatchRow> runOn(CommandContext& context, const std::vector<BatchDevice>& targets,
                                       int jobs, const BatchWork& work, bool assumeYes);
    // The devices as given, or those the scan found for --all with what it learned of them.
    std::vector<BatchDevice> devices(CommandContext& context) const;

private:
    void print(const std::vector<BatchRow>& rows, std::ostream& out) const;

    static inline const std::string kNone;
    std::vector<std::string> hosts_;
    std::string onlyHost_;  // the HOST of a command that takes one
    bool all_ = false;
    bool json_ = false;
    bool asBatch_ = false;
    std::string type_;
    NumberOption jobs_{1, DeviceBatch::kMaxJobs, 4};
};

}  // namespace lm::cli
