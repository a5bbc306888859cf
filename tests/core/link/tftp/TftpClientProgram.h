#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/platform/Timing.h"

namespace lm::test {

// A real TFTP client of the distribution, run to fetch one file from a server on 127.0.0.1 with
// 512-byte blocks in octet mode and no options.
class TftpClientProgram {
public:
    enum class Kind { TftpHpa, Curl };

    // nullopt when the program is not installed.
    static std::optional<TftpClientProgram> find(Kind kind);
    const char* name() const { return kind_ == Kind::TftpHpa ? "tftp" : "curl"; }

    // True when the program fetched the file and ended well within the limit (it is killed otherwise).
    bool fetch(uint16_t port, const std::string& file, const std::string& into, Milliseconds limit) const;

private:
    TftpClientProgram(Kind kind, std::string path) : kind_(kind), path_(std::move(path)) {}
    Kind kind_;
    std::string path_;
};

}  // namespace lm::test
