#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace lm::cli {

// Takes the serial bit-rate switch in the product's form ("-b 1200", "-b 1200 300") out of the
// arguments before the rest is parsed, and returns the rate (38400 without it).
int takeSerialBitRateSwitch(std::vector<std::string>& args);

// The whole command line program, on the given streams, so tests can run it in-process.
int runCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

}  // namespace lm::cli
