#include "core/wizard/DeviceSettings.h"

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

std::optional<ModemModel> recogniseModem(const DeviceSettings& s) {
    if (s.modemInit == "ATE1Q0V1&B1") return ModemModel::UsRobotics;
    if (s.modemInit.empty() && s.phoneNumber.empty() && s.baudRate == "19200") return ModemModel::NovatelSage;
    if (s.phoneNumber == "S=2") return ModemModel::IdenPacketData;
    if (s.modemInit == "AT&F") return ModemModel::ThreeJTech;
    if (s.phoneNumber == "3333" && s.baudRate == "115200") return ModemModel::Ricochet;
    if (s.phoneNumber.empty() && s.baudRate == "19200" && s.modemInit == "ATZ2") return ModemModel::NexTel;
    return std::nullopt;
}

std::string idPageName(const std::string& macAddress) {
    if (macAddress.size() < 17) return "ip.html";
    return "ip" + macAddress.substr(12, 2) + macAddress.substr(15, 2) + ".html";
}

}  // namespace lm
