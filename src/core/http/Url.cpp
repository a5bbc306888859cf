#include "core/http/Url.h"

#include "core/http/HttpText.h"
#include "core/platform/WholeNumber.h"

namespace lm {

namespace {

bool mustEscape(unsigned char c) {
    return c <= 0x20 || c >= 0x7F ||
           std::string_view("\"<>\\^`{|}").find(static_cast<char>(c)) != std::string_view::npos;
}

std::optional<uint16_t> parsePort(std::string_view text, uint16_t defaultPort) {
    if (text.empty()) return defaultPort;
    return parseWholeNumber<uint16_t>(text, 1, 65535);
}

// Whether text starts with a scheme name and "://".
bool hasScheme(std::string_view text) {
    const auto colon = text.find("://");
    if (colon == 0 || colon == std::string_view::npos) return false;
    return text.substr(0, colon).find_first_of("/?#") == std::string_view::npos;
}

}  // namespace

std::optional<std::string> Url::escape(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (mustEscape(c)) {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += ch;
        }
        if (out.size() > kMaxLength) return std::nullopt;
    }
    return out;
}

std::optional<Url> Url::parse(std::string_view text, uint16_t defaultPort) {
    const auto escaped = escape(text);
    if (!escaped || !hasScheme(*escaped)) return std::nullopt;
    const std::string_view all = *escaped;
    const auto schemeEnd = all.find("://");
    if (!httptext::equalsNoCase(all.substr(0, schemeEnd), "http")) return std::nullopt;

    const std::string_view rest = all.substr(schemeEnd + 3);
    const auto authorityEnd = std::min(rest.find_first_of("/?#"), rest.size());
    const std::string_view authority = rest.substr(0, authorityEnd);
    if (authority.find_first_of("@[]") != std::string_view::npos) return std::nullopt;

    Url url;
    const auto colon = authority.find(':');
    url.host = authority.substr(0, colon);
    if (url.host.empty()) return std::nullopt;
    const auto port = parsePort(
        colon == std::string_view::npos ? std::string_view() : authority.substr(colon + 1), defaultPort);
    if (!port) return std::nullopt;
    url.port = *port;

    const std::string_view target = rest.substr(authorityEnd);
    const auto pathEnd = std::min(target.find_first_of("?#"), target.size());
    url.path = target.substr(0, pathEnd);
    if (url.path.empty()) url.path = "/";
    url.extra = target.substr(pathEnd);
    return url;
}

std::optional<Url> Url::resolve(std::string_view location, uint16_t defaultPort) const {
    location = httptext::trim(location);
    if (hasScheme(location)) return parse(location, defaultPort);
    std::string target;
    if (!location.starts_with('/')) target = path.substr(0, path.rfind('/') + 1);
    target += location;
    Url base = *this;
    base.path.clear();
    base.extra.clear();
    return parse(base.text() + target, defaultPort);
}

std::string Url::requestTarget() const {
    return path + extra.substr(0, extra.find('#'));
}

std::string Url::text() const {
    return "http://" + host + ':' + std::to_string(port) + path + extra;
}

}  // namespace lm
