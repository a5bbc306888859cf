#include <cstdlib>

#include "cli/Command.h"
#include "core/link/ShellInput.h"
#include "core/platform/Ipv4.h"
#include "core/platform/WholeNumber.h"

namespace lm::cli {

namespace {
constexpr std::string_view kMissing = "missing ";
}

std::string missingArgument(std::string_view name) {
    return std::string(kMissing) + std::string(name);
}

bool isMissingArgument(std::string_view problem) {
    return problem.starts_with(kMissing);
}

void PasswordOption::addTo(CLI::App& command, const std::string& help) {
    option = command.add_option("--password", value, help);
}

std::optional<std::string> PasswordOption::given() const {
    if (option && option->count()) return value;
    if (const char* env = std::getenv("LMTOOLS_PASSWORD")) return std::string(env);
    return std::nullopt;
}

std::string PasswordOption::check() const {
    const auto password = given();
    return password ? shellValueProblem(ShellValue::Text, *password, "password") : std::string();
}

void NumberOption::addTo(CLI::App& command, const std::string& name, const std::string& help) {
    name_ = name;
    option_ = command
                  .add_option(name, text_,
                              help + " (" + std::to_string(low_) + " to " + std::to_string(high_) +
                                  ", default " + std::to_string(value_) + ")")
                  ->type_name("N");
}

std::string NumberOption::check() {
    if (!option_ || !option_->count()) return {};
    const auto range = " from " + std::to_string(low_) + " to " + std::to_string(high_);
    if (const auto number = parseWholeNumber(text_, low_, high_)) {
        value_ = *number;
        return {};
    }
    const bool isNumber = parseWholeNumber<long long>(text_, -(1LL << 62), 1LL << 62).has_value();
    return name_ + (isNumber ? " must be" : " must be a whole number") + range;
}

std::string hostProblem(const std::string& host) {
    if (host.empty()) return missingArgument("HOST");
    if (!parseIpv4(host)) return "\"" + host + "\" is not an IPv4 address such as 192.168.1.20";
    return {};
}

}  // namespace lm::cli
