#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "cli/CliApp.h"

namespace lm::cli::test {

// What one in-process run of the command line program printed and returned.
struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

inline CliRun runCommand(std::vector<const char*> args) {
    args.insert(args.begin(), "lmtools-cli");
    std::ostringstream out, err;
    CliRun run;
    run.status = runCli(static_cast<int>(args.size()), args.data(), out, err);
    run.out = out.str();
    run.err = err.str();
    return run;
}

// A run against the demo's simulated devices.
inline CliRun runDemo(std::vector<const char*> args) {
    args.insert(args.begin(), "--demo");
    return runCommand(std::move(args));
}

}  // namespace lm::cli::test
