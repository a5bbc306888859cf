#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace lm {

// Maps the port names users know from the devices' manuals ("COM1") to device paths:
//   COM1..COM16 -> /dev/ttyS0..15, COM17..COM24 -> /dev/ttyUSB0..7, COM25..COM32 -> /dev/ttyACM0..7.
// LMTOOLS_SERIAL_PORTS="COM3=/dev/pts/4,COM5=/tmp/console" replaces single entries (tests, demo,
// unusual adapters).
class SerialPortMap {
public:
    static constexpr int kPortCount = 32;

    static SerialPortMap standard();
    // The standard map with the environment's overrides; a malformed value is reported in error and
    // ignored whole. Names are matched as users write them: "COM" in capitals, 1..32.
    static SerialPortMap fromEnvironment(std::string* error = nullptr);

    void set(int portNumber, std::string devicePath);
    // The device path of "COMn"; nullopt for any other name or a number outside the map.
    std::optional<std::string> devicePath(std::string_view portName) const;

private:
    std::map<int, std::string> paths_;
};

}  // namespace lm
