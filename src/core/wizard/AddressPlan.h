#pragma once

#include <functional>
#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/ops/DeviceBatch.h"
#include "core/platform/InterfaceTable.h"
#include "core/platform/Ipv4.h"

namespace lm {

// One device's new static address and name. An empty hostname keeps the name the device has.
struct PlannedAddress {
    BatchDevice device;  // as found: host is the address it answers at now
    std::string address;
    std::string netmask;
    std::string gateway;
    std::string hostname;
};

// One row of a plan file ("id,ipAddress,netmask,gateway,hostname"); empty cells take the defaults.
struct PlanFileRow {
    int line = 0;
    std::string id;
    std::string ipAddress;
    std::string netmask;
    std::string gateway;
    std::string hostname;
};

// What the options give every device: --netmask, --gateway and --hostname-pattern.
struct PlanDefaults {
    std::string netmask;
    std::string gateway;
    std::string hostnamePattern;
};

// "FIRST-LAST", two addresses with FIRST not after LAST; nullopt otherwise.
std::optional<std::pair<Ipv4, Ipv4>> parseAddressRange(std::string_view text);

// The name the pattern gives device number n (counting from 1): "{n}" is the number, "{n:02}" the
// number at least two digits wide with leading zeros. Empty when it cannot: the pattern's problem in why.
std::string hostnameFromPattern(std::string_view pattern, int n, std::string& why);

// Reads a plan file: a header naming the five columns, then one row per device. Empty when it
// could be read, else why not (with the line).
std::string readPlanFile(std::istream& in, std::vector<PlanFileRow>& rows);

// The devices in ID order, each given the next address of the range.
std::string planFromRange(std::vector<BatchDevice> devices, Ipv4 first, Ipv4 last,
                          const PlanDefaults& defaults, std::vector<PlannedAddress>& plan);

// The file's rows in its order, each for the device of its ID among those found.
std::string planFromFile(const std::vector<BatchDevice>& devices, const std::vector<PlanFileRow>& rows,
                         const PlanDefaults& defaults, std::vector<PlannedAddress>& plan);

// Fills in the netmask a row left empty with that of the PC interface that reaches the device.
void takeInterfaceNetmask(std::vector<PlannedAddress>& plan, const std::vector<InterfaceRow>& interfaces);

// Why the plan may not be sent: a value the device's files refuse, two devices on one address, an
// address outside the reaching interface's network without a gateway, or an address that already
// answers (answers() is asked about every new address that is not the device's own now; one that
// another planned device holds now is refused without asking). Empty when none.
std::string planProblem(const std::vector<PlannedAddress>& plan, const std::vector<InterfaceRow>& interfaces,
                        const std::function<bool(const std::string& address)>& answers);

// Where a plan's addresses come from: a range, or the rows of a plan file (named in its problems).
struct PlanSource {
    std::optional<std::pair<Ipv4, Ipv4>> range;
    std::vector<PlanFileRow> rows;
    std::string fileName;
};

// The plan for the devices found, with the netmask of the reaching interface where none is given,
// checked by planProblem. Empty when it may be sent, else why not.
std::string checkedPlan(const std::vector<BatchDevice>& devices, const PlanSource& source,
                        const PlanDefaults& defaults, const std::vector<InterfaceRow>& interfaces,
                        const std::function<bool(const std::string& address)>& answers,
                        std::vector<PlannedAddress>& plan);

}  // namespace lm
