#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "cli/Command.h"
#include "core/link/Outcome.h"

namespace lm::cli {

// A device of a batch: its address, and what a scan told of it (empty for a HOST typed).
struct BatchDevice {
    std::string host;
    std::string id;
    std::string deviceType;
};

// A device's failure as its row tells it: "refused: ", "no answer: " or "unreachable: " before the
// words, so a wrong password, a silent device and one that is not there read apart.
std::string batchFailure(Outcome outcome, Session& session, const std::string& words);

// The devices a command works on: one HOST as ever, several HOSTs, or --all (every device a scan
// finds, optionally only those of --type), --jobs of them at a time.
class DeviceBatch {
public:
    static constexpr int kMaxJobs = 64;

    // Without several, the command takes one HOST only, as before.
    void addTo(CLI::App& command, bool several = true);
    // After parsing: empty when the devices can be used, else the usage problem.
    std::string check();
    bool several() const { return all_ || hosts_.size() > 1; }
    bool all() const { return all_; }
    std::vector<std::string>& hosts() { return hosts_; }
    const std::string& host() const { return hosts_.empty() ? kNone : hosts_.front(); }

    // One device's work on the job's own Session; lines written under lock. nullopt when it
    // succeeded, else the failure in words.
    using Work = std::function<std::optional<std::string>(Session&, const BatchDevice&, std::mutex& lines)>;
    // Works on every device, --jobs at a time, then prints a table of the results; the exit status:
    // 0 when all succeeded, 3 when any failed, 1 when --all found no device.
    int run(CommandContext& context, const Work& work);

private:
    std::vector<BatchDevice> devices(CommandContext& context) const;

    static inline const std::string kNone;
    std::vector<std::string> hosts_;
    std::string onlyHost_;  // the HOST of a command that takes one
    bool all_ = false;
    std::string type_;
    NumberOption jobs_{1, kMaxJobs, 4};
};

}  // namespace lm::cli
