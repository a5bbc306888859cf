#include "core/discovery/DiscoveryReply.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "core/discovery/SplitString.h"

namespace lm {

namespace {

// "Maker/Type-Rest" gives "Type"; a token without "/" is the type as it stands.
std::string typeFromProduct(const std::string& product) {
    const auto slash = product.find('/');
    if (slash == std::string::npos) return product;
    const auto rest = std::string_view(product).substr(slash + 1);
    return std::string(rest.substr(0, rest.find('-')));
}

}  // namespace

DiscoveryReply DiscoveryReply::parse(std::span<const unsigned char> datagram) {
    const auto bytes = datagram.first(std::min(datagram.size(), kMaxBytes));
    const auto nul = std::find(bytes.begin(), bytes.end(), 0);
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()),
                                static_cast<std::size_t>(nul - bytes.begin()));

    DiscoveryReply reply;
    std::vector<std::string> tokens;
    splitString(text, ' ', tokens);
    if (!tokens.empty()) {
        reply.product = tokens[0];
        reply.deviceType = typeFromProduct(tokens[0]);
    }
    if (tokens.size() >= 3) reply.version = tokens[2];

    std::vector<std::string> pair;
    for (std::size_t i = 3; i < tokens.size(); ++i) {
        splitString(tokens[i], '=', pair);
        if (pair.size() < 2) continue;
        if (pair[0] == "id")
            reply.id = pair[1];
        else if (pair[0] == "subtype") {
            reply.deviceType += " " + pair[1];
            reply.subtype += (reply.subtype.empty() ? "" : " ") + pair[1];
        }
    }
    return reply;
}

}  // namespace lm
