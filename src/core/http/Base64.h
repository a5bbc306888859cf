#pragma once

#include <span>
#include <string>

namespace lm {

// The bytes in standard base64 (RFC 4648, with padding), as a data: URI carries them.
std::string base64Encoded(std::span<const unsigned char> bytes);

}  // namespace lm
