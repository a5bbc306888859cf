#pragma once

#include <CLI/CLI.hpp>

#include <istream>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/TerminalText.h"
#include "core/link/Session.h"

namespace lm::cli {

// What every command runs with.
struct CommandContext {
    Session& session;
    std::ostream& out;
    std::ostream& err;
    // --quiet: no status lines and no notes, only results, questions and failures.
    bool quiet = false;

    void error(std::string_view text) const { err << errorLines(text); }
    void note(std::string_view text) const {
        if (!quiet) err << "Note: " << text << '\n';
    }
};

// One command of lmtools-cli: its name and help, its options, and what it does. A new command is
// a new file with a class like this and one row in the table (CommandTable.cpp).
class Command {
public:
    virtual ~Command() = default;
    virtual std::string name() const = 0;
    virtual std::string summary() const = 0;
    // How the command is typed, for the reminder with a missing argument: "reboot HOST".
    virtual std::string usage() const { return name(); }
    // Declares the command's arguments and options on its part of the command line.
    virtual void define(CLI::App& command) = 0;
    // After parsing: empty when the arguments can be used, else what is wrong with them (exit 64).
    virtual std::string check() { return {}; }
    // The exit status.
    virtual int run(CommandContext& context) = 0;
};

// Every command, in the order the help lists them.
std::vector<std::unique_ptr<Command>> commandTable();

// The problem of an argument left out, such as "missing HOST"; the program adds the usage line.
std::string missingArgument(std::string_view name);
bool isMissingArgument(std::string_view problem);

// Commands that log in take the admin password as --password, --password-file FILE or
// --password-stdin (its first line, so it never shows in the process list), else LMTOOLS_PASSWORD.
class PasswordOption {
public:
    void addTo(CLI::App& command, const std::string& help);
    // Reads the file or standard input once; what is wrong with the password given, else empty.
    std::string check();
    // The password given, if any (after check).
    std::optional<std::string> given() const;
    bool readsStandardInput() const { return stdin_ && stdin_->count(); }

private:
    std::string value_, path_;
    bool fromStdin_ = false;
    std::optional<std::string> read_;
    CLI::Option* option_ = nullptr;
    CLI::Option* file_ = nullptr;
    CLI::Option* stdin_ = nullptr;
};

// The password of a file's first line, or of standard input's: the line end (LF or CRLF) is not
// part of it; more lines, or more than 4 KiB, are refused. Empty when read, else what is wrong.
std::string readPasswordLine(std::istream& in, const std::string& source, std::string& password);

// A whole-number option with its allowed range, checked after parsing so that the problem names
// the range in plain numbers.
class NumberOption {
public:
    NumberOption(int low, int high, int value) : low_(low), high_(high), value_(value) {}
    void addTo(CLI::App& command, const std::string& name, const std::string& help);
    int value() const { return value_; }
    std::string check();

private:
    int low_, high_, value_;
    std::string name_, text_;
    CLI::Option* option_ = nullptr;
};

// Empty when host is a dotted IPv4 address, else what is wrong with it.
std::string hostProblem(const std::string& host);

}  // namespace lm::cli
