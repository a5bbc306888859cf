#include "TftpClientProgram.h"

#include <vector>

#include "ChildProcess.h"

namespace lm::test {

std::optional<TftpClientProgram> TftpClientProgram::find(Kind kind) {
    auto path = findOnPath(kind == Kind::TftpHpa ? "tftp" : "curl");
    if (!path) return std::nullopt;
    return TftpClientProgram(kind, std::move(*path));
}

bool TftpClientProgram::fetch(uint16_t port, const std::string& file, const std::string& into,
                              Milliseconds limit) const {
    const auto portText = std::to_string(port);
    const std::vector<std::string> argv =
        kind_ == Kind::TftpHpa
            ? std::vector<std::string>{path_, "-m", "octet", "127.0.0.1", portText, "-c", "get", file, into}
            : std::vector<std::string>{path_,
                                       "--silent",
                                       "--tftp-blksize",
                                       "512",
                                       "--tftp-no-options",
                                       "--output",
                                       into,
                                       "tftp://127.0.0.1:" + portText + "/" + file};
    auto child = ChildProcess::start(argv);
    return child && child->wait(limit) == 0;
}

}  // namespace lm::test
