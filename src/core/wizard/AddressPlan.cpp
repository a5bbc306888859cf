#include "core/wizard/AddressPlan.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <set>

#include "core/discovery/DeviceRecord.h"
#include "core/discovery/SplitString.h"
#include "core/wizard/FileValueRules.h"

namespace lm {

namespace {

constexpr int kMaxHostnameLength = 63;

std::string trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t\r");
    return std::string(text.substr(first, last - first + 1));
}

uint32_t hostOrder(Ipv4 address) {
    return ntohl(address);
}

// A mask whose ones all come before its zeros, and not all zeros.
bool isNetmask(Ipv4 mask) {
    const uint32_t bits = hostOrder(mask);
    return bits != 0 && ((~bits + 1) & ~bits) == 0;
}

// The width W of "{n:0W}", 1 to 9; nullopt for any other text.
std::optional<int> patternWidth(std::string_view field) {
    if (field.size() != 6 || !field.starts_with("{n:0") || field[5] != '}') return std::nullopt;
    if (field[4] < '1' || field[4] > '9') return std::nullopt;
    return field[4] - '0';
}

// A hostname: letters, digits and inner hyphens, as a device's name on the network must be.
std::string hostnameProblem(const std::string& name) {
    if (name.empty()) return "is empty";
    if (name.size() > kMaxHostnameLength)
        return "is longer than " + std::to_string(kMaxHostnameLength) + " characters";
    for (const char c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-')
            return "may hold only letters, digits and \"-\"";
    if (name.front() == '-' || name.back() == '-') return "may not start or end with \"-\"";
    return wizard::fileValueProblem("hostname", name);
}

std::string rowName(const PlannedAddress& row) {
    return row.device.id + " (" + row.device.host + ")";
}

// The address, netmask and gateway of a row, each readable and writable.
std::string valueProblem(const PlannedAddress& row) {
    const auto address = parseIpv4(row.address);
    if (!address) return "\"" + row.address + "\" is not an address";
    const auto mask = parseIpv4(row.netmask);
    if (!mask || !isNetmask(*mask)) return "netmask \"" + row.netmask + "\" is not a netmask";
    const uint32_t host = hostOrder(*address);
    const uint32_t bits = hostOrder(*mask);
    if ((host >> 24) == 0 || (host >> 28) >= 14) return row.address + " is not an address a device can hold";
    if (bits != 0xFFFFFFFFu && bits != 0xFFFFFFFEu &&
        ((host & ~bits) == 0 || (host & ~bits) == (~bits & 0xFFFFFFFFu)))
        return row.address + " is the network's or its broadcast address under netmask " + row.netmask;
    if (!row.gateway.empty()) {
        const auto gateway = parseIpv4(row.gateway);
        if (!gateway) return "gateway \"" + row.gateway + "\" is not an address";
        if ((hostOrder(*gateway) & bits) != (host & bits))
            return "gateway " + row.gateway + " is outside the network of " + row.address + "/" + row.netmask;
        if (*gateway == *address) return "gateway " + row.gateway + " is the device's own address";
    }
    for (const auto& [field, value] : {std::pair<const char*, const std::string&>{"ipAddress", row.address},
                                       {"netmask", row.netmask},
                                       {"gateway", row.gateway}})
        if (auto why = wizard::fileValueProblem(field, value); !why.empty())
            return field + std::string(" ") + why;
    if (!row.hostname.empty())
        if (auto why = hostnameProblem(row.hostname); !why.empty())
            return "hostname \"" + row.hostname + "\" " + why;
    return {};
}

// Fills a row's empty cells from the options; the pattern names device number n.
std::string takeDefaults(PlannedAddress& row, const PlanDefaults& defaults, int n) {
    if (row.netmask.empty()) row.netmask = defaults.netmask;
    if (row.gateway.empty()) row.gateway = defaults.gateway;
    if (row.hostname.empty() && !defaults.hostnamePattern.empty()) {
        std::string why;
        row.hostname = hostnameFromPattern(defaults.hostnamePattern, n, why);
        if (!why.empty()) return why;
    }
    return {};
}

}  // namespace

std::optional<std::pair<Ipv4, Ipv4>> parseAddressRange(std::string_view text) {
    const auto dash = text.find('-');
    if (dash == std::string_view::npos) return std::nullopt;
    const auto first = parseIpv4(text.substr(0, dash));
    const auto last = parseIpv4(text.substr(dash + 1));
    if (!first || !last || hostOrder(*first) > hostOrder(*last)) return std::nullopt;
    return std::pair{*first, *last};
}

std::string hostnameFromPattern(std::string_view pattern, int n, std::string& why) {
    why.clear();
    std::string name;
    for (std::size_t i = 0; i < pattern.size();) {
        if (pattern[i] != '{') {
            if (pattern[i] == '}') {
                why = "the hostname pattern has a \"}\" without its \"{\"";
                return {};
            }
            name += pattern[i++];
            continue;
        }
        const auto close = pattern.find('}', i);
        const std::string_view field =
            close == std::string_view::npos ? pattern.substr(i) : pattern.substr(i, close - i + 1);
        const auto width = field == "{n}" ? std::optional<int>(0) : patternWidth(field);
        if (!width) {
            why = "the hostname pattern takes {n} or {n:0W}, not \"" + std::string(field) + "\"";
            return {};
        }
        std::string number = std::to_string(n);
        if (number.size() < static_cast<std::size_t>(*width))
            number.insert(0, static_cast<std::size_t>(*width) - number.size(), '0');
        name += number;
        i += field.size();
    }
    if (auto problem = hostnameProblem(name); !problem.empty()) {
        why = "the hostname pattern gives \"" + name + "\", which " + problem;
        return {};
    }
    return name;
}

std::string readPlanFile(std::istream& in, std::vector<PlanFileRow>& rows) {
    static const std::vector<std::string> kHeader{"id", "ipAddress", "netmask", "gateway", "hostname"};
    rows.clear();
    std::string line;
    std::vector<std::string> cells;
    int number = 0;
    bool headerSeen = false;
    constexpr std::size_t kMaxLine = 1024;
    constexpr std::size_t kMaxRows = 4096;
    while (std::getline(in, line)) {
        ++number;
        if (line.size() > kMaxLine) return "line " + std::to_string(number) + " is too long";
        if (trimmed(line).empty()) continue;
        const std::string row = trimmed(line);
        splitString(row, ',', cells);
        if (row.back() == ',') cells.emplace_back();  // the split drops a trailing empty cell
        for (std::string& cell : cells)
            cell = trimmed(cell);
        if (!headerSeen) {
            if (cells != kHeader)
                return "line " + std::to_string(number) +
                       " must be the header id,ipAddress,netmask,gateway,hostname";
            headerSeen = true;
            continue;
        }
        if (cells.size() != kHeader.size())
            return "line " + std::to_string(number) + " has " + std::to_string(cells.size()) +
                   " cells, not 5";
        if (rows.size() == kMaxRows) return "holds more than " + std::to_string(kMaxRows) + " rows";
        rows.push_back({number, cells[0], cells[1], cells[2], cells[3], cells[4]});
    }
    if (!headerSeen) return "is empty: the header id,ipAddress,netmask,gateway,hostname is missing";
    if (rows.empty()) return "has no rows";
    return {};
}

std::string planFromRange(std::vector<BatchDevice> devices, Ipv4 first, Ipv4 last,
                          const PlanDefaults& defaults, std::vector<PlannedAddress>& plan) {
    plan.clear();
    std::sort(devices.begin(), devices.end(),
              [](const BatchDevice& a, const BatchDevice& b) { return a.id < b.id; });
    const uint64_t size = uint64_t{hostOrder(last)} - hostOrder(first) + 1;
    if (size < devices.size())
        return "the range holds " + std::to_string(size) + (size == 1 ? " address" : " addresses") + " for " +
               std::to_string(devices.size()) + " devices";
    for (std::size_t i = 0; i < devices.size(); ++i) {
        PlannedAddress row{
            devices[i], dotted(htonl(hostOrder(first) + static_cast<uint32_t>(i))), {}, {}, {}};
        if (auto why = takeDefaults(row, defaults, static_cast<int>(i + 1)); !why.empty()) return why;
        plan.push_back(std::move(row));
    }
    return {};
}

std::string planFromFile(const std::vector<BatchDevice>& devices, const std::vector<PlanFileRow>& rows,
                         const PlanDefaults& defaults, std::vector<PlannedAddress>& plan) {
    plan.clear();
    std::set<std::string> seen;
    for (const PlanFileRow& row : rows) {
        const std::string where = "line " + std::to_string(row.line) + ": ";
        if (!macOfDeviceId(row.id))
            return where + "\"" + row.id + "\" is not a device ID such as 024C55-C20002";
        if (!seen.insert(row.id).second) return where + row.id + " is planned twice";
        const auto found = std::find_if(devices.begin(), devices.end(),
                                        [&](const BatchDevice& device) { return device.id == row.id; });
        if (found == devices.end()) return where + "no device with ID " + row.id + " was found";
        PlannedAddress planned{*found, row.ipAddress, row.netmask, row.gateway, row.hostname};
        if (auto why = takeDefaults(planned, defaults, static_cast<int>(plan.size() + 1)); !why.empty())
            return where + why;
        if (auto why = valueProblem(planned); !why.empty() && !planned.netmask.empty()) return where + why;
        plan.push_back(std::move(planned));
    }
    return {};
}

void takeInterfaceNetmask(std::vector<PlannedAddress>& plan, const std::vector<InterfaceRow>& interfaces) {
    for (PlannedAddress& row : plan) {
        if (!row.netmask.empty()) continue;
        const auto host = parseIpv4(row.device.host);
        if (const InterfaceRow* reaching = host ? interfaceHolding(interfaces, *host) : nullptr)
            row.netmask = dotted(reaching->mask);
    }
}

std::string planProblem(const std::vector<PlannedAddress>& plan, const std::vector<InterfaceRow>& interfaces,
                        const std::function<bool(const std::string& address)>& answers) {
    std::map<std::string, std::string> byAddress;  // new address -> the device planned there
    std::map<std::string, std::string> heldNow;    // current address -> its device
    for (const PlannedAddress& row : plan)
        heldNow[row.device.host] = row.device.id;
    for (const PlannedAddress& row : plan) {
        if (row.netmask.empty())
            return rowName(row) + ": no netmask is given and no interface of this computer reaches it";
        if (auto why = valueProblem(row); !why.empty()) return rowName(row) + ": " + why;
        if (const auto [at, added] = byAddress.emplace(row.address, row.device.id); !added)
            return row.address + " is planned for both " + at->second + " and " + row.device.id;
        if (row.gateway.empty()) {
            const auto host = parseIpv4(row.device.host);
            const InterfaceRow* reaching = host ? interfaceHolding(interfaces, *host) : nullptr;
            const auto address = parseIpv4(row.address);
            if (!reaching || (*address & reaching->mask) != (reaching->address & reaching->mask))
                return rowName(row) + ": " + row.address +
                       " is outside the network this computer reaches it on, and no gateway is given";
        }
    }
    // Only once every row is sound is the network asked.
    for (const PlannedAddress& row : plan) {
        if (row.address == row.device.host) continue;
        if (const auto holder = heldNow.find(row.address); holder != heldNow.end())
            return row.address + " is held now by " + holder->second + ": planned for " + row.device.id;
        if (answers && answers(row.address))
            return row.address + " already answers on the network: planned for " + row.device.id;
    }
    return {};
}

std::string checkedPlan(const std::vector<BatchDevice>& devices, const PlanSource& source,
                        const PlanDefaults& defaults, const std::vector<InterfaceRow>& interfaces,
                        const std::function<bool(const std::string& address)>& answers,
                        std::vector<PlannedAddress>& plan) {
    plan.clear();
    std::string problem;
    if (source.range) {
        problem = planFromRange(devices, source.range->first, source.range->second, defaults, plan);
    } else {
        problem = planFromFile(devices, source.rows, defaults, plan);
        if (!problem.empty()) problem = source.fileName + ": " + problem;
    }
    if (!problem.empty()) return problem;
    takeInterfaceNetmask(plan, interfaces);
    return planProblem(plan, interfaces, answers);
}

}  // namespace lm
