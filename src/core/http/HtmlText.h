#pragma once

#include <string>
#include <string_view>

namespace lm {

// Text made safe between tags and inside quoted attributes: & < > " and ' become entities.
std::string htmlEscaped(std::string_view text);

}  // namespace lm
