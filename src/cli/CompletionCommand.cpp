#include <array>
#include <string>
#include <utility>
#include <vector>

#include "cli/Command.h"
#include "cli/ExitStatus.h"

namespace lm::cli {

namespace {

// What may follow one command path ("", "scan", "config show") on the command line.
struct Step {
    std::string path;
    std::vector<std::pair<std::string, std::string>> commands;  // name, summary
    std::vector<std::string> longNames, shortNames;             // without their dashes

    std::string commandWords() const {
        std::string words;
        for (const auto& [name, summary] : commands)
            words += (words.empty() ? "" : " ") + name;
        return words;
    }
    std::string optionWords() const {
        std::string words;
        for (const std::string& name : shortNames)
            words += (words.empty() ? "-" : " -") + name;
        for (const std::string& name : longNames)
            words += (words.empty() ? "--" : " --") + name;
        return words;
    }
};

// The command line's own definition, walked from the top, so a command added to the table is
// completed without being listed again. Hidden commands (no group) are left out.
void collectSteps(const CLI::App& app, const std::string& path, std::vector<Step>& steps) {
    Step step{path, {}, {}, {}};
    for (const CLI::Option* option : app.get_options()) {
        for (const std::string& name : option->get_snames())
            step.shortNames.push_back(name);
        for (const std::string& name : option->get_lnames())
            step.longNames.push_back(name);
    }
    const auto subcommands = app.get_subcommands([](const CLI::App* c) { return !c->get_group().empty(); });
    for (const CLI::App* sub : subcommands)
        step.commands.emplace_back(sub->get_name(), sub->get_description());
    steps.push_back(step);
    for (const CLI::App* sub : subcommands)
        collectSteps(*sub, path.empty() ? sub->get_name() : path + " " + sub->get_name(), steps);
}

// The command paths below the top, as a shell's case patterns: "scan" | "config show".
std::string pathPatterns(const std::vector<Step>& steps, const char* separator) {
    std::string patterns;
    for (const Step& step : steps)
        if (!step.path.empty()) patterns += (patterns.empty() ? "" : separator) + ("\"" + step.path + "\"");
    return patterns;
}

// Commands are offered where a word starts, options once it starts with "-"; elsewhere (and after
// "--") bash completes file names.
std::string bashScript(const std::vector<Step>& steps) {
    std::string script =
        "# bash completion for lmtools-cli, made by \"lmtools-cli completion bash\"\n"
        "_lmtools_cli() {\n"
        "    local cur=${COMP_WORDS[COMP_CWORD]} path=\"\" next words options i\n"
        "    COMPREPLY=()\n"
        "    for ((i = 1; i < COMP_CWORD; i++)); do\n"
        "        [[ ${COMP_WORDS[i]} == -- ]] && return 0\n"
        "        next=\"${path:+$path }${COMP_WORDS[i]}\"\n"
        "        case $next in\n";
    script += "        " + pathPatterns(steps, " | ") + ") path=$next ;;\n";
    script +=
        "        esac\n"
        "    done\n"
        "    case $path in\n";
    for (const Step& step : steps)
        script += "    \"" + step.path + "\") words=\"" + step.commandWords() + "\" options=\"" +
                  step.optionWords() + "\" ;;\n";
    script +=
        "    esac\n"
        "    [[ $cur == -* ]] && words=$options\n"
        "    mapfile -t COMPREPLY < <(compgen -W \"$words\" -- \"$cur\")\n"
        "}\n"
        "complete -o default -F _lmtools_cli lmtools-cli\n";
    return script;
}

// The same walk for zsh: an autoloadable _lmtools-cli, or a file to source after compinit.
std::string zshScript(const std::vector<Step>& steps) {
    std::string script =
        "#compdef lmtools-cli\n"
        "# zsh completion for lmtools-cli, made by \"lmtools-cli completion zsh\"\n"
        "_lmtools_cli() {\n"
        "    local command_path=\"\" next i\n"
        "    local -a command_words option_words\n"
        "    for ((i = 2; i < CURRENT; i++)); do\n"
        "        if [[ ${words[i]} == -- ]]; then _files; return; fi\n"
        "        next=\"${command_path:+$command_path }${words[i]}\"\n"
        "        case $next in\n";
    script += "        (" + pathPatterns(steps, "|") + ") command_path=$next ;;\n";
    script +=
        "        esac\n"
        "    done\n"
        "    case $command_path in\n";
    for (const Step& step : steps)
        script += "    (\"" + step.path + "\") command_words=(" + step.commandWords() + ") option_words=(" +
                  step.optionWords() + ") ;;\n";
    script +=
        "    esac\n"
        "    if [[ ${words[CURRENT]} == -* ]]; then\n"
        "        compadd -- $option_words\n"
        "    elif (( ${#command_words} )); then\n"
        "        compadd -- $command_words\n"
        "    else\n"
        "        _files\n"
        "    fi\n"
        "}\n"
        "if [[ $zsh_eval_context[-1] == loadautofunc ]]; then\n"
        "    _lmtools_cli \"$@\"\n"
        "else\n"
        "    compdef _lmtools_cli lmtools-cli\n"
        "fi\n";
    return script;
}

// Text in fish's single quotes.
std::string fishQuoted(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) {
        if (c == '\'' || c == '\\') quoted += '\\';
        quoted += c;
    }
    return quoted + "'";
}

// For fish: one condition per command path, one line per command and option.
std::string fishScript(const std::vector<Step>& steps) {
    std::string script =
        "# fish completion for lmtools-cli, made by \"lmtools-cli completion fish\"\n"
        "function __lmtools_cli_path\n"
        "    set -l command_path ''\n"
        "    for word in (commandline -opc)[2..-1]\n"
        "        test \"$word\" = -- && return 1\n"
        "        set -l next $word\n"
        "        test -n \"$command_path\" && set next \"$command_path $word\"\n"
        "        switch $next\n"
        "            case " +
        pathPatterns(steps, " ") +
        "\n"
        "                set command_path $next\n"
        "        end\n"
        "    end\n"
        "    echo $command_path\n"
        "end\n"
        "function __lmtools_cli_at\n"
        "    set -l command_path (__lmtools_cli_path); or return 1\n"
        "    test \"$command_path\" = \"$argv[1]\"\n"
        "end\n";
    for (const Step& step : steps) {
        const std::string at =
            "complete -c lmtools-cli -n " + fishQuoted("__lmtools_cli_at " + fishQuoted(step.path));
        for (const auto& [name, summary] : step.commands)
            script += at + " -f -a " + fishQuoted(name) + " -d " + fishQuoted(summary) + "\n";
        for (const std::string& name : step.shortNames)
            script += at + " -s " + name + "\n";
        for (const std::string& name : step.longNames)
            script += at + " -l " + name + "\n";
    }
    return script;
}

class CompletionCommand : public Command {
public:
    std::string name() const override { return "completion"; }
    std::string summary() const override {
        return "Print the shell completion script of this program: completion bash|zsh|fish";
    }
    void define(CLI::App& command) override {
        root_ = command.get_parent();
        command.require_subcommand(1);
        shells_ = {command.add_subcommand(
                       "bash", "The script for bash, to source or to install as a bash-completion file"),
                   command.add_subcommand(
                       "zsh", "The script for zsh, to install as _lmtools-cli in $fpath or to source"),
                   command.add_subcommand(
                       "fish", "The script for fish, to install as lmtools-cli.fish in its completions")};
    }
    int run(CommandContext& context) override {
        std::vector<Step> steps;
        collectSteps(*root_, "", steps);
        if (shells_[1]->parsed())
            context.out << zshScript(steps);
        else if (shells_[2]->parsed())
            context.out << fishScript(steps);
        else
            context.out << bashScript(steps);
        return kExitDone;
    }

private:
    const CLI::App* root_ = nullptr;
    std::array<CLI::App*, 3> shells_{};  // bash, zsh, fish
};

}  // namespace

std::unique_ptr<Command> makeCompletionCommand() {
    return std::make_unique<CompletionCommand>();
}

}  // namespace lm::cli
