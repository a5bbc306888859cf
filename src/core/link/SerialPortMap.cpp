#include "core/link/SerialPortMap.h"

#include <cstdlib>

#include "core/platform/WholeNumber.h"

namespace lm {

namespace {

constexpr std::string_view kPrefix = "COM";

// The number of "COMn", written the one way the names are shown: upper case, decimal, no sign, no
// leading zero, 1..kPortCount.
std::optional<int> parsePortName(std::string_view name) {
    if (!name.starts_with(kPrefix)) return std::nullopt;
    const std::string_view digits = name.substr(kPrefix.size());
    if (digits.empty() || digits.front() == '0') return std::nullopt;
    return parseWholeNumber(digits, 1, SerialPortMap::kPortCount);
}

}  // namespace

SerialPortMap SerialPortMap::standard() {
    struct Block {
        int first;
        int count;
        const char* prefix;
    };
    static constexpr Block kBlocks[] = {{1, 16, "/dev/ttyS"}, {17, 8, "/dev/ttyUSB"}, {25, 8, "/dev/ttyACM"}};
    SerialPortMap map;
    for (const Block& block : kBlocks)
        for (int i = 0; i < block.count; ++i)
            map.set(block.first + i, block.prefix + std::to_string(i));
    return map;
}

SerialPortMap SerialPortMap::fromEnvironment(std::string* error) {
    SerialPortMap map = standard();
    const char* value = std::getenv("LMTOOLS_SERIAL_PORTS");
    if (!value || !*value) return map;

    // All or nothing: a half-applied override would send a test or demo to a real port.
    std::map<int, std::string> overrides;
    std::string_view rest = value;
    for (bool more = true; more;) {
        const auto comma = rest.find(',');
        const std::string_view item = rest.substr(0, comma);
        more = comma != std::string_view::npos;
        if (more) rest.remove_prefix(comma + 1);
        const auto equals = item.find('=');
        const auto number = parsePortName(item.substr(0, equals));
        if (equals == std::string_view::npos || !number || equals + 1 == item.size()) {
            if (error) *error += std::string("LMTOOLS_SERIAL_PORTS: cannot use \"") + value + "\"\n";
            return map;
        }
        overrides[*number] = std::string(item.substr(equals + 1));
    }
    for (auto& [number, path] : overrides)
        map.set(number, std::move(path));
    return map;
}

void SerialPortMap::set(int portNumber, std::string devicePath) {
    if (portNumber < 1 || portNumber > kPortCount) return;
    paths_[portNumber] = std::move(devicePath);
}

std::optional<std::string> SerialPortMap::devicePath(std::string_view portName) const {
    const auto number = parsePortName(portName);
    if (!number) return std::nullopt;
    const auto it = paths_.find(*number);
    if (it == paths_.end()) return std::nullopt;
    return it->second;
}

}  // namespace lm
