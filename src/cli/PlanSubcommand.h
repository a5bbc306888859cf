#pragma once

#include <string>
#include <vector>

#include "cli/Command.h"
#include "core/ops/DeviceBatch.h"

namespace lm::cli {

// config plan: gives several devices their static addresses and names, from a range or a file.
class PlanSubcommand {
public:
    void addTo(CLI::App& config);
    bool parsed() const { return plan_ && plan_->parsed(); }
    std::string usage() const {
        return "config plan (--all | HOST...) (--range FIRST-LAST | --csv PLAN.csv)";
    }
    std::string check();
    int run(CommandContext& context);

private:
    // The devices to plan for, each with its ID; empty (and said why) when one cannot be named.
    std::vector<BatchDevice> devices(CommandContext& context) const;

    CLI::App* plan_ = nullptr;
    std::vector<std::string> hosts_;
    bool all_ = false;
    std::string range_;
    std::string csv_;
    std::string netmask_;
    std::string gateway_;
    std::string hostnamePattern_;
    bool dryRun_ = false;
    bool assumeYes_ = false;
    NumberOption jobs_{1, DeviceBatch::kMaxJobs, 4};
    PasswordOption password_;
};

}  // namespace lm::cli
