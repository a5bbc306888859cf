#include <cstdlib>

#include "Command.h"
#include "link/ShellInput.h"
#include "platform/Ipv4.h"

namespace lm::cli {

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

std::string hostProblem(const std::string& host) {
    if (host.empty()) return "the device address (HOST) is missing";
    if (!parseIpv4(host)) return "\"" + host + "\" is not an IPv4 address such as 192.168.1.20";
    return {};
}

}  // namespace lm::cli
