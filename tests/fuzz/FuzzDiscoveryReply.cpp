// Discovery replies and ARP tables are device- or network-supplied text.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "core/discovery/DiscoveryReply.h"
#include "core/discovery/ModelTable.h"
#include "core/ops/FirmwareFolder.h"
#include "core/platform/ArpTable.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto reply = lm::DiscoveryReply::parse(std::span(data, size));
    if (reply.deviceType.size() > 2 * lm::DiscoveryReply::kMaxBytes) __builtin_trap();
    (void)lm::ModelTable::nameForCode(lm::ModelTable::codeFromId(reply.id));
    // The announced version picks a folder's image: what reads as one reads back as the same.
    if (const auto version = lm::parseFirmwareVersion(reply.version)) {
        if (lm::parseFirmwareVersion(lm::versionText(*version)) != version) __builtin_trap();
    }
    (void)lm::imageVersion(std::string_view(reinterpret_cast<const char*>(data), size),
                           lm::firmwareFamily(200));
    (void)lm::parseArpTable(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
