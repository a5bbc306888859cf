#include "DeviceConfig.h"

#include <arpa/inet.h>

#include <cstdio>

namespace lm::sim {

namespace {

constexpr std::array<std::pair<HttpFault, std::string_view>, 8> kFaultNames{{
    {HttpFault::None, "none"},
    {HttpFault::NotFound, "notFound"},
    {HttpFault::WrongType, "wrongType"},
    {HttpFault::Chunked, "chunked"},
    {HttpFault::Redirect, "redirect"},
    {HttpFault::NoLength, "noLength"},
    {HttpFault::Slow, "slow"},
    {HttpFault::Silent, "silent"},
}};

struct Model {
    uint8_t code;
    const char* product;  // token 0 of the reply
    const char* subtype;
    unsigned width, height;
};

// The product line and subtype each model announces, chosen so that the scan's reading of them
// (the part after "/" up to "-", then the subtype) gives the model's name. "Pell-Mandor" keeps its
// hyphen only because its product token has no "/".
constexpr std::array<Model, 18> kModels{{
    {0xC0, "Lumetra/Zelvix-1", "", 352, 288},
    {0xC1, "Lumetra/Zelvix-2", "", 352, 288},
    {0xC2, "Lumetra/Draviel6-1", "", 352, 288},
    {0xC3, "Pell-Mandor", "", 352, 288},
    {0xC4, "Lumetra/ZelvixMP-1", "", 640, 480},
    {0xC5, "Lumetra/Quorbent-1", "", 640, 480},
    {0xC6, "Lumetra/Farloomer-1", "", 640, 480},
    {0xC7, "Lumetra/Draviel1-1", "", 352, 288},
    {0xC8, "Lumetra/ZelvixXL-2", "VGA", 640, 480},
    {0xC9, "Lumetra/ZelvixXL-2", "1.3MP", 640, 512},
    {0xCA, "Lumetra/ZelvixXL-2", "3MP", 640, 480},
    {0xCB, "Lumetra/DravielXL-1", "1", 640, 480},
    {0xCC, "Lumetra/DravielXL-1", "12", 640, 480},
    {0xCD, "Lumetra/DravielXL-2", "1", 640, 480},
    {0xCE, "Lumetra/ZelvixXL-3", "5MP", 640, 480},
    {0xCF, "Lumetra/DravielXL-2", "2", 640, 480},
    {0xD0, "Lumetra/ZelvixSC-1", "5MP", 640, 480},
    {0xD1, "Lumetra/ZelvixSC-1", "3MP", 640, 480},
}};

constexpr std::array<const char*, 5> kDemoVersions{"4.2.1", "4.1.7", "3.9.12", "4.3.0", "2.8.4"};

const Model* findModel(uint8_t code) {
    for (const Model& model : kModels)
        if (model.code == code) return &model;
    return nullptr;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string_view faultName(HttpFault fault) {
    for (const auto& [f, name] : kFaultNames)
        if (f == fault) return name;
    return "none";
}

std::optional<HttpFault> faultFromName(std::string_view name) {
    for (const auto& [f, n] : kFaultNames)
        if (n == name) return f;
    return std::nullopt;
}

std::optional<Mac> parseMac(std::string_view text) {
    if (text.size() != 17) return std::nullopt;
    Mac mac{};
    for (std::size_t i = 0; i < mac.size(); ++i) {
        const std::size_t at = i * 3;
        const int high = hexDigit(text[at]);
        const int low = hexDigit(text[at + 1]);
        if (high < 0 || low < 0 || (i + 1 < mac.size() && text[at + 2] != ':')) return std::nullopt;
        mac[i] = static_cast<uint8_t>(high * 16 + low);
    }
    return mac;
}

std::string identifierOf(const DeviceConfig& device) {
    const Mac& m = device.mac;
    char text[16];
    std::snprintf(text, sizeof text, "%02X%02X%02X-%02X%02X%02X", m[0], m[1], m[2], m[3], m[4], m[5]);
    return text;
}

std::string replyOf(const DeviceConfig& device) {
    if (device.reply) return *device.reply;
    std::string text = device.product + " cam " + device.version + " id=" + identifierOf(device);
    if (!device.subtype.empty()) text += " subtype=" + device.subtype;
    return text;
}

Ipv4 broadcastOf(const DeviceConfig& device) {
    if (device.broadcast != 0) return device.broadcast;
    const uint32_t host = ntohl(device.address);
    const bool loopback = (host >> 24) == 127;
    return htonl(loopback ? 0x7FFFFFFFu : (host | 0xFFu));
}

DeviceConfig modelDevice(uint8_t modelCode) {
    DeviceConfig device;
    device.mac = {0x02, 0x4C, 0x55, modelCode, 0, 0};
    device.product = "Lumetra/Device-1";
    if (const Model* model = findModel(modelCode)) {
        device.product = model->product;
        device.subtype = model->subtype;
    }
    return device;
}

std::vector<DeviceConfig> demoDevices(std::size_t count, Ipv4 firstAddress) {
    std::vector<DeviceConfig> devices;
    devices.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const Model& model = kModels[i % kModels.size()];
        DeviceConfig device = modelDevice(model.code);
        device.http.width = model.width;
        device.http.height = model.height;
        // The last two MAC bytes count devices, so MACs stay distinct across models.
        device.mac[4] = static_cast<uint8_t>(i >> 8);
        device.mac[5] = static_cast<uint8_t>(i);
        device.address = htonl(ntohl(firstAddress) + static_cast<uint32_t>(i));
        device.version = kDemoVersions[(i / 3) % kDemoVersions.size()];
        devices.push_back(std::move(device));
    }
    return devices;
}

}  // namespace lm::sim
