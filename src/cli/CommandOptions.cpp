#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>

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
    option_ = command.add_option("--password", value_, help);
    file_ =
        command.add_option("--password-file", path_, "Read the admin password from the first line of FILE")
            ->type_name("FILE");
    stdin_ = command.add_flag("--password-stdin", fromStdin_,
                              "Read the admin password from the first line of standard input");
}

std::string readPasswordLine(std::istream& in, const std::string& source, std::string& password) {
    constexpr std::size_t kMaxBytes = 4096;
    std::string text(kMaxBytes + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (in.bad()) return source + " cannot be read";
    text.resize(static_cast<std::size_t>(in.gcount()));
    if (text.size() > kMaxBytes) return source + " is larger than 4 KiB: it should hold the password alone";
    const auto end = text.find('\n');
    if (end != std::string::npos && end + 1 != text.size())
        return source + " holds more than one line: it should hold the password alone";
    text.resize(std::min(end, text.size()));
    if (text.ends_with('\r')) text.pop_back();
    password = std::move(text);
    return {};
}

std::string PasswordOption::check() {
    const int sources = (option_ && option_->count() ? 1 : 0) + (file_ && file_->count() ? 1 : 0) +
                        (readsStandardInput() ? 1 : 0);
    if (sources > 1) return "give one of --password, --password-file and --password-stdin";
    std::string problem;
    if (file_ && file_->count() && !read_) {
        std::ifstream file(path_, std::ios::binary);
        if (!file) return "--password-file " + path_ + ": cannot be read (" + std::strerror(errno) + ")";
        std::string password;
        problem = readPasswordLine(file, "--password-file " + path_, password);
        read_ = std::move(password);
    } else if (readsStandardInput() && !read_) {
        std::string password;
        problem = readPasswordLine(std::cin, "standard input", password);
        read_ = std::move(password);
    }
    if (!problem.empty()) return problem;
    const auto password = given();
    return password ? shellValueProblem(ShellValue::Text, *password, "password") : std::string();
}

std::optional<std::string> PasswordOption::given() const {
    if (read_) return read_;
    if (option_ && option_->count()) return value_;
    if (const char* env = std::getenv("LMTOOLS_PASSWORD")) return std::string(env);
    return std::nullopt;
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
