#pragma once

#include <string>
#include <vector>

#include "cli/BatchOptions.h"
#include "cli/Command.h"

namespace lm::cli {

// config backup and config restore: the settings of a site's devices into one file, and back.
class SiteSubcommands {
public:
    void addTo(CLI::App& config);
    bool parsed() const;
    std::string usage() const;
    std::string check();
    int run(CommandContext& context);

private:
    int backup(CommandContext& context);
    int restore(CommandContext& context);

    CLI::App* backup_ = nullptr;
    CLI::App* restore_ = nullptr;
    BatchOptions devices_;
    std::string output_;
    std::string siteFile_;
    std::vector<std::string> ids_;
    std::vector<std::string> replacements_;
    NumberOption jobs_{1, DeviceBatch::kMaxJobs, 4};
    PasswordOption passwords_[2];  // backup, restore
    bool dryRun_ = false;
    bool assumeYes_ = false;
};

}  // namespace lm::cli
