#include "wizard/DeviceSettings.h"

#include <array>

namespace lm {

namespace {
constexpr std::array<const char*, 7> kModemNames{"US Robotics", "3JTech", "Novatel Sage", "iDEN Packet Data",
                                                 "Ricochet",    "NexTel", "Other"};
}

const char* modemModelName(ModemModel model) {
    return kModemNames[static_cast<std::size_t>(model)];
}

bool modemModelFromName(const std::string& name, ModemModel& model) {
    for (std::size_t i = 0; i < kModemNames.size(); ++i)
        if (name == kModemNames[i]) {
            model = static_cast<ModemModel>(i);
            return true;
        }
    return false;
}

}  // namespace lm
