#include "cli/CliApp.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>
#include <vector>

#include "cli/Command.h"
#include "cli/ExitStatus.h"
#include "core/ProgramVersion.h"
#include "core/link/Session.h"
#include "devsim/DemoNetwork.h"

namespace lm::cli {

namespace {

constexpr const char* kDemoHelp = "Work on simulated devices on this machine instead of the network";
constexpr const char* kQuietHelp = "Show no status lines or notes, only results, questions and failures";

// The options every command takes, wherever they stand on the line. "-b 1200 [300]" is taken out
// before parsing wherever it stands; a -b left for the parser is one of another form.
struct SharedOptions {
    bool demo = false;
    bool quiet = false;
    std::vector<std::string> badBitRate;
};

// Declares the shared options on a command, or on its own commands (config show, config apply).
void addSharedOptions(CLI::App& part, SharedOptions& shared) {
    const auto subcommands = part.get_subcommands([](CLI::App*) { return true; });
    if (!subcommands.empty()) {
        for (CLI::App* sub : subcommands)
            addSharedOptions(*sub, shared);
        return;
    }
    part.add_flag("--demo", shared.demo, kDemoHelp);
    part.add_flag("-q,--quiet", shared.quiet, kQuietHelp);
    if (part.get_option_no_throw("--serial") == nullptr) return;
    part.add_option("-b", shared.badBitRate,
                    "Serial bit rate: \"-b 1200\" for 1200, \"-b 1200 300\" for 300 (default 38400)")
        ->type_name("1200 [300]")
        ->expected(1, 2);
}

// The words of the command given, its own commands' included: "config show".
std::string commandWords(const CLI::App& part) {
    std::string words = part.get_name();
    for (const CLI::App* sub = &part; !sub->get_subcommands().empty();) {
        sub = sub->get_subcommands().front();
        words += " " + sub->get_name();
    }
    return words;
}

// The command of that name among the commands of level, if any.
CLI::App* commandNamed(CLI::App& level, const std::string& name) {
    const auto commands = level.get_subcommands([&name](CLI::App* c) { return c->get_name() == name; });
    return commands.empty() ? nullptr : commands.front();
}

// A password option before the command name is the command's: it moves behind the command's
// words, where the command reads it.
void movePasswordsToCommand(CLI::App& app, std::vector<std::string>& args) {
    std::vector<std::string> passwords, others;
    std::size_t commandEnd = 0;  // in others, just behind the last command word
    CLI::App* level = &app;
    std::size_t i = 0;
    for (; i < args.size() && args[i] != "--"; ++i) {
        if ((args[i] == "--password" || args[i] == "--password-file") && i + 1 < args.size()) {
            passwords.push_back(args[i]);
            passwords.push_back(args[++i]);
        } else if (args[i].starts_with("--password=") || args[i].starts_with("--password-file=") ||
                   args[i] == "--password-stdin") {
            passwords.push_back(args[i]);
        } else {
            others.push_back(args[i]);
            if (CLI::App* command = commandNamed(*level, args[i])) {
                level = command;
                commandEnd = others.size();
            }
        }
    }
    if (commandEnd == 0 || passwords.empty()) return;
    others.insert(others.begin() + static_cast<std::ptrdiff_t>(commandEnd), passwords.begin(),
                  passwords.end());
    others.insert(others.end(), args.begin() + static_cast<std::ptrdiff_t>(i), args.end());
    args = std::move(others);
}

// Edit distance where a swap of two neighbouring letters counts as one typo.
std::size_t typoDistance(std::string_view a, std::string_view b) {
    std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
    for (std::size_t i = 0; i <= a.size(); ++i)
        d[i][0] = i;
    for (std::size_t j = 0; j <= b.size(); ++j)
        d[0][j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i)
        for (std::size_t j = 1; j <= b.size(); ++j) {
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] != b[j - 1])});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    return d[a.size()][b.size()];
}

// The name closest to word, or empty when none is near enough to be what was meant.
std::string closestName(std::string_view word, const std::vector<std::string>& names) {
    std::string best;
    std::size_t bestDistance = 0;
    for (const std::string& name : names) {
        const std::size_t distance = typoDistance(word, name);
        if (2 * distance <= name.size() && (best.empty() || distance < bestDistance)) {
            best = name;
            bestDistance = distance;
        }
    }
    return best;
}

// The commands of level a user may type: a hidden one has no group.
std::vector<CLI::App*> commandsOf(CLI::App& level) {
    return level.get_subcommands([](CLI::App* c) { return !c->get_group().empty(); });
}

std::string unknownCommandText(CLI::App& level, const std::string& before, const std::string& word) {
    std::vector<std::string> names;
    for (const CLI::App* command : commandsOf(level))
        names.push_back(command->get_name());
    const std::string closest = closestName(word, names);
    return "unknown command \"" + before + word + "\"" +
           (closest.empty() ? "; lmtools-cli " + before + "--help lists the commands"
                            : "; did you mean \"" + before + closest + "\"?");
}

// The options of one level as typed: "--json", "-q".
std::vector<std::string> optionNames(const CLI::App& level) {
    std::vector<std::string> names;
    for (const CLI::Option* option : level.get_options()) {
        for (const std::string& name : option->get_lnames())
            names.push_back("--" + name);
        for (const std::string& name : option->get_snames())
            names.push_back("-" + name);
    }
    return names;
}

// An argument that looks like an option ("-x", "--word", not "-5") that its command does not have,
// with the closest it has; empty when every option is known. A value after an option that takes
// one is not looked at.
std::string unknownOptionText(CLI::App& app, const std::vector<std::string>& args) {
    CLI::App* level = &app;
    std::string words;
    for (std::size_t i = 0; i < args.size() && args[i] != "--"; ++i) {
        const std::string& arg = args[i];
        const bool looksLikeOption =
            arg.size() > 1 && arg[0] == '-' && !std::isdigit(static_cast<unsigned char>(arg[1]));
        if (!looksLikeOption) {
            if (CLI::App* found = commandNamed(*level, arg)) {
                level = found;
                words += (words.empty() ? "" : " ") + arg;
            }
            continue;
        }
        const std::string name = arg.substr(0, arg.find('='));
        if (const CLI::Option* option = level->get_option_no_throw(name)) {
            if (option->get_items_expected_max() > 0 && name == arg) ++i;
            continue;
        }
        // Compared without their dashes, so that "-x" is not taken for "-q".
        const auto bare = [](const std::string& option) {
            return option.substr(option.find_first_not_of('-'));
        };
        const std::vector<std::string> known = optionNames(*level);
        std::vector<std::string> bareKnown;
        for (const std::string& option : known)
            bareKnown.push_back(bare(option));
        const std::string nearest = closestName(bare(name), bareKnown);
        std::string closest;
        for (std::size_t k = 0; k < known.size() && !nearest.empty(); ++k)
            if (bareKnown[k] == nearest && closest.empty()) closest = known[k];
        const std::string program = words.empty() ? "lmtools-cli" : "lmtools-cli " + words;
        return (words.empty() ? "" : words + ": ") + "unknown option \"" + name + "\"" +
               (closest.empty() ? "; " + program + " --help lists the options"
                                : "; did you mean \"" + closest + "\"?");
    }
    return {};
}

// What was said about a command line the parser refused: an unknown or missing command or an
// unknown option by name, else the parser's own words under the command they concern.
std::string parseErrorText(CLI::App& app, const std::vector<std::string>& args,
                           const CLI::ParseError& error) {
    CLI::App* level = &app;
    std::string words;  // the command words found, e.g. "config show"
    for (const std::string& arg : args) {
        if (arg == "--") break;
        if (arg.starts_with("-")) continue;
        if (commandsOf(*level).empty()) break;
        CLI::App* found = commandNamed(*level, arg);
        const std::string before = words.empty() ? "" : words + " ";
        if (found == nullptr) return unknownCommandText(*level, before, arg);
        words = before + arg;
        level = found;
    }
    if (auto unknown = unknownOptionText(app, args); !unknown.empty()) return unknown;
    const std::string program = words.empty() ? "lmtools-cli" : "lmtools-cli " + words;
    const std::string prefix = words.empty() ? "" : words + ": ";
    if (dynamic_cast<const CLI::RequiredError*>(&error) &&
        !level->get_subcommands([](CLI::App*) { return true; }).empty())
        return prefix + "missing COMMAND (usage: " + program + " COMMAND ...; " + program +
               " --help lists them)";
    return prefix + error.what();
}

}  // namespace

int runCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    std::vector<std::string> args(argv + 1, argv + argc);
    const int bitRate = takeSerialBitRateSwitch(args);

    CLI::App app{"Lumetra Tools: finds and maintains Lumetra network cameras and video servers.",
                 "lmtools-cli"};
    app.require_subcommand(1);
    SharedOptions shared;
    app.add_flag("--demo", shared.demo, kDemoHelp);
    app.add_flag("-q,--quiet", shared.quiet, kQuietHelp);
    app.set_version_flag("-V,--version", std::string("lmtools-cli ") + kProgramVersion);
    // Every command's help ends with the exit statuses; the serial bit rate is told only where a
    // serial port is used.
    const std::string exitStatuses =
        "Exit status: 0 done; 1 failed or no answer; 2 refused by the device; 3 ran but found failures;\n"
        "64 usage error; 130 interrupted.";
    app.footer(exitStatuses);

    auto commands = commandTable();
    std::vector<CLI::App*> parts;
    for (auto& command : commands) {
        auto* part = app.add_subcommand(command->name(), command->summary());
        command->define(*part);
        // The help's list of commands shows how each is typed.
        if (const auto usage = command->usage(); usage != command->name())
            part->description(command->summary() + ": " + usage);
        addSharedOptions(*part, shared);
        parts.push_back(part);
    }

    app.footer("The serial bit rate is 38400; \"-b 1200\" selects 1200 and \"-b 1200 300\" selects 300.\n" +
               exitStatuses);

    // "help CMD ..." is "CMD ... --help"; "help" alone the program's help.
    if (!args.empty() && args.front() == "help") {
        args.erase(args.begin());
        CLI::App* level = &app;
        std::string before;
        for (const std::string& word : args) {
            CLI::App* found = commandNamed(*level, word);
            if (found == nullptr || found->get_group().empty()) {
                err << errorLines(unknownCommandText(*level, before, word));
                return kExitUsage;
            }
            before += word + " ";
            level = found;
        }
        args.emplace_back("--help");
    }

    movePasswordsToCommand(app, args);
    std::vector<const char*> parsed = {"lmtools-cli"};
    for (const auto& a : args)
        parsed.push_back(a.c_str());
    try {
        app.parse(static_cast<int>(parsed.size()), parsed.data());
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e, out, err);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e, out, err);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e, out, err);
    } catch (const CLI::ParseError& e) {
        err << errorLines(parseErrorText(app, args, e));
        return kExitUsage;
    }

    Command* chosen = nullptr;
    std::string words;
    for (std::size_t i = 0; i < commands.size(); ++i)
        if (parts[i]->parsed()) {
            chosen = commands[i].get();
            words = commandWords(*parts[i]);
        }
    if (chosen == nullptr) return kExitUsage;
    std::string problem =
        shared.badBitRate.empty() ? chosen->check() : "-b takes 1200, or 1200 300 for 300 bit/s";
    if (!problem.empty()) {
        if (isMissingArgument(problem)) problem += " (usage: lmtools-cli " + chosen->usage() + ")";
        err << errorLines(words + ": " + problem);
        return kExitUsage;
    }

    problem.clear();
    NetworkProfile profile = NetworkProfile::fromEnvironment(&problem);
    SerialPortMap serialPorts = SerialPortMap::fromEnvironment(&problem);
    if (!problem.empty()) err << errorLines("ignoring bad settings:\n" + problem);

    std::unique_ptr<sim::DemoNetwork> demoNetwork;
    if (shared.demo) {
        demoNetwork = sim::DemoNetwork::start(profile, &serialPorts, &problem);
        if (!demoNetwork) {
            err << errorLines("cannot start the simulated devices: " + problem);
            return kExitFailed;
        }
    }
    Session session(std::move(profile), Timing{}, std::move(serialPorts));
    session.serial().setBitRate(bitRate);
    CommandContext context{session, out, err, shared.quiet};
    return chosen->run(context);
}

}  // namespace lm::cli
