#pragma once

#include <ostream>
#include <string>

#include "link/Session.h"

namespace lm::cli {

struct PageOptions {
    std::string file = "cameras.html";  // "-" writes to standard output
    int screenWidth = 1920;             // pixels of the screen the page is meant for
};

// Runs one scan and writes the all-devices page of what it found. Returns the exit status.
int runPage(const Session& session, const PageOptions& options, std::ostream& out, std::ostream& err);

}  // namespace lm::cli
