#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lm {

// An http URL split into the parts a request needs. Only plain "http" with a host is accepted;
// user names and passwords are refused, since this client never sends credentials.
struct Url {
    static constexpr std::size_t kMaxLength = 2'083;

    std::string host;
    uint16_t port = 80;
    std::string path = "/";
    std::string extra;  // "?query", "#fragment" or both

    // Writes the characters a URL may not hold as %XX; nullopt when the result is too long.
    static std::optional<std::string> escape(std::string_view text);
    // Escapes and splits; a port-less URL takes defaultPort.
    static std::optional<Url> parse(std::string_view text, uint16_t defaultPort);

    // Where a redirect's Location leads from here: a full URL, a new path ("/..."), or a name
    // that replaces what follows the last "/" of the path.
    std::optional<Url> resolve(std::string_view location, uint16_t defaultPort) const;

    // The request line's target: path and query. A fragment never leaves the client.
    std::string requestTarget() const;
    std::string text() const;

    bool operator==(const Url&) const = default;
};

}  // namespace lm
