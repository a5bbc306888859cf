#pragma once

namespace lm {

// How a shell operation or a worker ended. Each front end maps it once: the command line program
// to its exit status, the desktop program to its texts. Nothing infers an outcome from a text.
enum class Outcome {
    Ok,         // done, and the device said so
    NoAnswer,   // no connection, a broken link, or silence past the budget
    Refused,    // the device refused: password, "Bad command", "Invalid argument", "Permission denied"
    Cancelled,  // the user stopped it (Cancel, No, closing the window)
    Failed,     // anything else that went wrong: bad input, a file the device cannot open, a busy link
};

}  // namespace lm
