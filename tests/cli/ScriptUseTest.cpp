// What a script relies on: one vocabulary in every JSON output, passwords kept out of the process
// list, help and completion for every command.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "CliRun.h"
#include "core/platform/IcmpSocket.h"

namespace lm::cli {
namespace {

using Json = nlohmann::json;
using test::runCommand;
using test::runDemo;

enum Kind { Text, Number, Flag, Null, TextOrNull, Object };

bool hasKind(const Json& value, Kind kind) {
    switch (kind) {
        case Text:
            return value.is_string();
        case Number:
            return value.is_number();
        case Flag:
            return value.is_boolean();
        case Null:
            return value.is_null();
        case TextOrNull:
            return value.is_string() || value.is_null();
        case Object:
            return value.is_object();
    }
    return false;
}

// Every text of a document: no padding, no stand-in a window shows for a value not read, and the
// shared keys in their one form.
void expectVocabulary(const Json& value, const std::string& where) {
    static const std::regex id("[0-9A-F]{6}-[0-9A-F]{6}"), mac("([0-9A-F]{2}:){5}[0-9A-F]{2}"),
        address("[0-9]+\\.[0-9]+\\.[0-9]+\\.[0-9]+");
    if (value.is_array() || value.is_object()) {
        for (const auto& [key, item] : value.items()) {
            if (item.is_string()) {
                const auto text = item.get<std::string>();
                const std::regex* form = key == "id"        ? &id
                                         : key == "mac"     ? &mac
                                         : key == "address" ? &address
                                                            : nullptr;
                EXPECT_TRUE(!form || std::regex_match(text, *form)) << where << ": " << key << " " << text;
            }
            EXPECT_TRUE(std::regex_match(key, std::regex("[a-z][A-Za-z0-9]*")) || value.is_array())
                << where << ": key " << key;
            expectVocabulary(item, where + "." + key);
        }
        return;
    }
    if (!value.is_string()) return;
    const auto text = value.get<std::string>();
    EXPECT_TRUE(text.empty() || (text.front() != ' ' && text.back() != ' '))
        << where << ": \"" << text << "\"";
    for (const char* standIn : {"Unknown (ARP)", "Unknown", "na", "None", "none", "No chip!",
                                "Can't find ROM version!", "Can't find uptime!"})
        EXPECT_NE(text, standIn) << where;
}

class ScriptOutput : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("LMTOOLS_QUIET_MS", "300", 1);
        ::unsetenv("LMTOOLS_PASSWORD");
    }
    void TearDown() override { ::unsetenv("LMTOOLS_QUIET_MS"); }
};

// The demo's devices through each command's --json: the keys each must have and their types.
TEST_F(ScriptOutput, EveryJsonSpeaksOneVocabulary) {
    const struct {
        std::vector<const char*> args;
        bool needsScan;
        std::vector<std::pair<const char*, Kind>> keys;  // of the object, or of each array element
    } cases[] = {
        {{"scan", "--json"},
         true,
         {{"id", Text},
          {"address", Text},
          {"mac", Text},
          {"deviceType", Text},
          {"version", TextOrNull},
          {"product", TextOrNull},
          {"subtype", Null},
          {"interface", Text},
          {"source", Text}}},
        // A camera with every reading, and a video server whose camera readings do not apply.
        {{"report", "127.0.0.11", "--json"},
         false,
         {{"id", Text},
          {"mac", Text},
          {"address", Text},
          {"version", Text},
          {"temperature", Number},
          {"uptime", Number},
          {"frames", Number},
          {"rate", Number},
          {"processShare", Number},
          {"pid", Number},
          {"exposure", Number},
          {"busDevices", Number},
          {"ratings", Object}}},
        {{"report", "127.0.0.12", "--json"},
         false,
         {{"id", Text},
          {"processVersion", Null},
          {"frames", Null},
          {"pid", Null},
          {"exposure", Null},
          {"temperature", Number}}},
        // A device that never answered is named by its address alone.
        {{"production", "127.0.0.10", "127.0.0.99", "--json"},
         false,
         {{"id", TextOrNull},
          {"address", Text},
          {"duration", Text},
          {"firmware", TextOrNull},
          {"imaging", Null},
          {"verdict", Text}}},
        {{"config", "show", "127.0.0.10", "--json"},
         false,
         {{"httpPort", Number},
          {"connectTimeout", Number},
          {"ipDhcp", Flag},
          {"hostname", Text},
          {"device", Object}}},
    };
    const bool canScan = IcmpSocket::open().has_value();
    for (const auto& c : cases) {
        if (c.needsScan && !canScan) continue;
        auto args = c.args;
        args.push_back("-q");
        const auto run = runDemo(args);
        SCOPED_TRACE(c.args.front());
        ASSERT_LE(run.status, 3) << run.err;
        const auto document = Json::parse(run.out);
        expectVocabulary(document, c.args.front());
        const auto objects = document.is_array() ? document : Json::array({document});
        ASSERT_FALSE(objects.empty());
        for (const auto& object : objects)
            for (const auto& [key, kind] : c.keys) {
                ASSERT_TRUE(object.contains(key)) << key << " in " << object.dump();
                EXPECT_TRUE(hasKind(object[key], kind)) << key << " is " << object[key];
            }
    }
}

// show --json is what apply reads: the numbers it now prints as numbers go back unchanged.
TEST_F(ScriptOutput, ConfigShowJsonIsWhatApplyTakes) {
    const auto shown = runDemo({"config", "show", "127.0.0.13", "--json", "-q"});
    ASSERT_EQ(shown.status, 0) << shown.err;
    const auto file = testing::TempDir() + "lmtools-show-" + std::to_string(::getpid()) + ".json";
    std::ofstream(file) << shown.out;
    const auto dry = runDemo({"config", "apply", "127.0.0.13", file.c_str(), "--dry-run", "--yes", "-q"});
    EXPECT_EQ(dry.status, 0) << dry.err;
    EXPECT_EQ(dry.err.find("after the pages' rules"), std::string::npos) << dry.err;
    EXPECT_NE(dry.out.find("== /var/tmp/boa.conf"), std::string::npos) << dry.out;
    EXPECT_NE(dry.out.find("Port " + std::to_string(Json::parse(shown.out)["httpPort"].get<int>())),
              std::string::npos)
        << dry.out;
    std::filesystem::remove(file);
}

// Standard input stands in for the terminal the password would be typed on.
class StandardInput {
public:
    explicit StandardInput(const std::string& text) : text_(text), saved_(std::cin.rdbuf(text_.rdbuf())) {}
    ~StandardInput() {
        std::cin.rdbuf(saved_);
        std::cin.clear();
    }

private:
    std::istringstream text_;
    std::streambuf* saved_;
};

TEST(PasswordSources, FileAndStandardInputKeepItOffTheCommandLine) {
    ::unsetenv("LMTOOLS_PASSWORD");
    const auto dir = std::filesystem::path(testing::TempDir()) / ("lmtools-pw-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto file = [&](const std::string& name, const std::string& text) {
        std::ofstream((dir / name).string(), std::ios::binary) << text;
        return (dir / name).string();
    };
    const std::string good = file("good", "vorna\n"), crlf = file("crlf", "vorna\r\n"),
                      bare = file("bare", "vorna"), wrong = file("wrong", "nope\n"),
                      twoLines = file("two", "vorna\nmore\n"), big = file("big", std::string(5000, 'x')),
                      control = file("control", "vo\trna\n"), missing = (dir / "missing").string();
    const struct {
        std::vector<const char*> args;
        std::string input;  // standard input
        int status;
        std::string inErr;
    } cases[] = {
        {{"run", "127.0.0.10", "--password-file", good.c_str(), "--", "pwd"}, "", 0, ""},
        {{"run", "127.0.0.10", "--password-file", crlf.c_str(), "--", "pwd"}, "", 0, ""},
        {{"run", "127.0.0.10", "--password-file", bare.c_str(), "--", "pwd"}, "", 0, ""},
        // Before the command name, as --password may stand.
        {{"--password-file", good.c_str(), "reboot", "127.0.0.11"}, "", 0, ""},
        {{"run", "127.0.0.10", "--password-stdin", "--", "pwd"}, "vorna\n", 0, ""},
        {{"run", "127.0.0.10", "--password-file", wrong.c_str(), "--", "pwd"}, "", 2, "refused the password"},
        {{"run", "127.0.0.10", "--password-file", twoLines.c_str(), "--", "pwd"},
         "",
         64,
         "more than one line"},
        {{"run", "127.0.0.10", "--password-file", big.c_str(), "--", "pwd"}, "", 64, "larger than 4 KiB"},
        {{"run", "127.0.0.10", "--password-file", control.c_str(), "--", "pwd"}, "", 64, "control character"},
        {{"run", "127.0.0.10", "--password-file", missing.c_str(), "--", "pwd"},
         "",
         64,
         "--password-file " + missing + ": cannot be read (No such file or directory)"},
        {{"run", "127.0.0.10", "--password-file", dir.c_str(), "--", "pwd"}, "", 64, "cannot be read"},
        {{"run", "127.0.0.10", "--password", "vorna", "--password-file", good.c_str(), "--", "pwd"},
         "",
         64,
         "give one of --password, --password-file and --password-stdin"},
        {{"run", "127.0.0.10", "--password-stdin", "--password-file", good.c_str(), "--", "pwd"},
         "vorna\n",
         64,
         "give one of"},
        {{"config", "apply", "127.0.0.10", "-", "--password-stdin"},
         "vorna\n",
         64,
         "standard input cannot give both the password and FILE"},
    };
    for (const auto& c : cases) {
        std::string line;
        for (const char* arg : c.args)
            line += std::string(arg) + ' ';
        SCOPED_TRACE(line);
        const StandardInput input(c.input);
        const auto run = runDemo(c.args);
        EXPECT_EQ(run.status, c.status) << run.out << run.err;
        EXPECT_NE(run.err.find(c.inErr), std::string::npos) << run.err;
    }
    std::filesystem::remove_all(dir);
}

// help CMD is CMD --help; config's commands name their HOST and FILE.
TEST(Help, ForEachCommandByName) {
    EXPECT_EQ(runCommand({"help"}).out, runCommand({"--help"}).out);
    const auto reboot = runCommand({"help", "reboot"});
    EXPECT_EQ(reboot.status, 0);
    EXPECT_EQ(reboot.out, runCommand({"reboot", "--help"}).out);
    const auto apply = runCommand({"help", "config", "apply"});
    EXPECT_EQ(apply.status, 0);
    EXPECT_NE(apply.out.find("config apply [OPTIONS] [HOST] [FILE]"), std::string::npos) << apply.out;
    EXPECT_NE(apply.out.find("\n  FILE "), std::string::npos) << apply.out;
    const auto show = runCommand({"config", "show", "--help"});
    EXPECT_NE(show.out.find("config show [OPTIONS] [HOST]\n"), std::string::npos) << show.out;
    for (const auto& out : {apply.out, show.out}) {
        EXPECT_EQ(out.find("HOST TEXT"), std::string::npos) << out;
        EXPECT_EQ(out.find("(0x)"), std::string::npos) << out;
    }
    EXPECT_EQ(runCommand({"--help"}).out.find("manpage"), std::string::npos)
        << "the man page maker is hidden";
}

// Each shell's script names every command a user can type; the shells that are here read it.
TEST(Completion, EveryShellKnowsEveryCommand) {
    const auto help = runCommand({"--help"}).out;
    std::vector<std::string> commands;
    std::istringstream lines(help.substr(help.find("Subcommands:\n") + 13));
    for (std::string line; std::getline(lines, line) && !line.empty();)
        commands.push_back(line.substr(2, line.find(' ', 2) - 2));
    ASSERT_GE(commands.size(), 13u);
    const struct {
        const char* shell;
        const char* check;  // a syntax check, run when the shell is installed
    } shells[] = {{"bash", "bash -n"}, {"zsh", "zsh -n"}, {"fish", "fish --no-execute"}};
    for (const auto& s : shells) {
        SCOPED_TRACE(s.shell);
        const auto run = runCommand({"completion", s.shell});
        ASSERT_EQ(run.status, 0) << run.err;
        for (const auto& command : commands)
            EXPECT_NE(run.out.find(command), std::string::npos) << command;
        EXPECT_NE(run.out.find("config show"), std::string::npos);
        EXPECT_NE(run.out.find("password-file"), std::string::npos);
        EXPECT_EQ(run.out.find("manpage"), std::string::npos);
        const std::string shell = std::string(s.check).substr(0, std::string(s.check).find(' '));
        if (std::system(("command -v " + shell + " >/dev/null 2>&1").c_str()) != 0) continue;
        const auto file =
            testing::TempDir() + "lmtools-completion-" + std::to_string(::getpid()) + "." + s.shell;
        std::ofstream(file) << run.out;
        EXPECT_EQ(std::system((std::string(s.check) + " " + file).c_str()), 0) << run.out;
        std::filesystem::remove(file);
    }
}

}  // namespace
}  // namespace lm::cli
