#include "core/platform/NetworkProfile.h"

#include <cstdlib>
#include <string_view>

#include "core/platform/WholeNumber.h"

namespace lm {

std::optional<std::vector<InterfaceRow>> NetworkProfile::interfaceTable() const {
    if (interfaces) return interfaces;
    return readSystemInterfaces();
}

std::optional<std::vector<InterfaceRow>> NetworkProfile::parseInterfaces(const std::string& text) {
    std::vector<InterfaceRow> rows;
    std::string_view rest = text;
    for (bool more = !rest.empty(); more;) {
        const auto comma = rest.find(',');
        const auto item = rest.substr(0, comma);
        more = comma != std::string_view::npos;
        if (more) rest.remove_prefix(comma + 1);
        const auto slash = item.find('/');
        if (slash == std::string_view::npos) return std::nullopt;
        const auto address = parseIpv4(item.substr(0, slash));
        const auto mask = parseIpv4(item.substr(slash + 1));
        if (!address || !mask) return std::nullopt;
        rows.push_back(InterfaceRow{*address, *mask, 1, {}});
    }
    return rows;
}

NetworkProfile NetworkProfile::fromEnvironment(std::string* error) {
    NetworkProfile profile;
    auto complain = [error](const char* name, const char* value) {
        if (error) *error += std::string(name) + ": cannot use \"" + value + "\"\n";
    };
    auto port = [&](const char* name, uint16_t& field) {
        if (const char* v = std::getenv(name)) {
            if (const auto value = parseWholeNumber<uint16_t>(v, 1, 65535))
                field = *value;
            else
                complain(name, v);
        }
    };
    port("LMTOOLS_DISCOVERY_PORT", profile.discoveryPort);
    port("LMTOOLS_TELNET_PORT", profile.telnetPort);
    port("LMTOOLS_HTTP_PORT", profile.httpPort);
    port("LMTOOLS_TFTP_PORT", profile.tftpPort);
    if (const char* v = std::getenv("LMTOOLS_QUIET_MS")) {
        if (const auto ms = parseWholeNumber<int>(v, 1, 600000))
            profile.quietPeriod = Milliseconds(*ms);
        else
            complain("LMTOOLS_QUIET_MS", v);
    }
    if (const char* v = std::getenv("LMTOOLS_INTERFACES")) {
        if (auto rows = parseInterfaces(v))
            profile.interfaces = std::move(rows);
        else
            complain("LMTOOLS_INTERFACES", v);
    }
    if (const char* v = std::getenv("LMTOOLS_ARP_TABLE"); v && *v) profile.arpTablePath = v;
    if (const char* v = std::getenv("LMTOOLS_ECHO_SETTING"); v && *v) profile.echoSettingPath = v;
    return profile;
}

}  // namespace lm
