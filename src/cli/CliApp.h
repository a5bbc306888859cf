#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace lm::cli {

// The whole command line program, on the given streams, so tests can run it in-process.
int runCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

}  // namespace lm::cli
