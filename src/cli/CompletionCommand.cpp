#include <functional>
#include <string>
#include <vector>

#include "cli/Command.h"
#include "cli/ExitStatus.h"

namespace lm::cli {

namespace {

// What may follow one command path ("", "scan", "config show") on the command line.
struct Step {
    std::string path;
    std::string commands;
    std::string options;
};

void addWord(std::string& words, const std::string& word) {
    words += (words.empty() ? "" : " ") + word;
}

// The command line's own definition, walked from the top, so a command added to the table is
// completed without being listed again.
void collectSteps(const CLI::App& app, const std::string& path, std::vector<Step>& steps) {
    Step step{path, {}, {}};
    for (const CLI::Option* option : app.get_options()) {
        for (const std::string& name : option->get_snames())
            addWord(step.options, "-" + name);
        for (const std::string& name : option->get_lnames())
            addWord(step.options, "--" + name);
    }
    const std::function<bool(const CLI::App*)> every;
    const auto subcommands = app.get_subcommands(every);
    for (const CLI::App* sub : subcommands)
        addWord(step.commands, sub->get_name());
    steps.push_back(step);
    for (const CLI::App* sub : subcommands)
        collectSteps(*sub, path.empty() ? sub->get_name() : path + " " + sub->get_name(), steps);
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
    std::string paths;
    for (const Step& step : steps)
        if (!step.path.empty()) paths += (paths.empty() ? "" : " | ") + ("\"" + step.path + "\"");
    script += "        " + paths + ") path=$next ;;\n";
    script +=
        "        esac\n"
        "    done\n"
        "    case $path in\n";
    for (const Step& step : steps)
        script += "    \"" + step.path + "\") words=\"" + step.commands + "\" options=\"" + step.options +
                  "\" ;;\n";
    script +=
        "    esac\n"
        "    [[ $cur == -* ]] && words=$options\n"
        "    mapfile -t COMPREPLY < <(compgen -W \"$words\" -- \"$cur\")\n"
        "}\n"
        "complete -o default -F _lmtools_cli lmtools-cli\n";
    return script;
}

class CompletionCommand : public Command {
public:
    std::string name() const override { return "completion"; }
    std::string summary() const override {
        return "Print the shell completion script of this program: completion bash";
    }
    void define(CLI::App& command) override {
        root_ = command.get_parent();
        command.require_subcommand(1);
        command.add_subcommand("bash",
                               "The script for bash, to source or to install as a bash-completion file");
    }
    int run(CommandContext& context) override {
        std::vector<Step> steps;
        collectSteps(*root_, "", steps);
        context.out << bashScript(steps);
        return kExitDone;
    }

private:
    const CLI::App* root_ = nullptr;
};

}  // namespace

std::unique_ptr<Command> makeCompletionCommand() {
    return std::make_unique<CompletionCommand>();
}

}  // namespace lm::cli
