#pragma once

#include <span>
#include <string>
#include <string_view>

namespace lm {

// One RFC 4180 field: quoted when it holds a comma, a quote, CR or LF, with its quotes doubled. Text
// starting with "=", "+", "-" or "@" gets a leading "'": device text must not become a spreadsheet
// formula.
std::string csvField(std::string_view text);

// One RFC 4180 record: the fields joined by commas, ended by CRLF.
std::string csvRecord(std::span<const std::string> fields);

}  // namespace lm
