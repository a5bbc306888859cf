#include "core/wizard/FileValueRules.h"

#include <array>

#include "core/link/ShellInput.h"
#include "core/wizard/SettingsFields.h"

namespace lm::wizard {

namespace {

enum class Form {
    Line,    // the rest of a line: "ISP=" in dialout.conf, "password=" in the upload file
    Word,    // one word of a file read word by word: boa.conf, pppd options, chat script, FTP script
    Secret,  // the secret of chap-secrets: a word, and "@" first would name a file to read it from
    Shell,   // a word the device's shell reads: sourced KEY=value files, resolv.conf
    // The number inside the quoted dial command ("connect '/bin/chat -T...'") that diald and pppd
    // hand to a shell. A blank only splits chat's arguments, which the modem page warns about.
    Dial,
};

struct Placement {
    const char* field;
    Form form;
    const char* where;
};

// Every text field by the files it is written into; a field in several forms must pass each.
constexpr std::array kPlacements{
    Placement{"ipAddress", Form::Shell, "ifcfg-eth0"},
    Placement{"netmask", Form::Shell, "ifcfg-eth0"},
    Placement{"gateway", Form::Shell, "network"},
    Placement{"hostname", Form::Shell, "network"},
    Placement{"domain", Form::Shell, "resolv.conf"},
    Placement{"dns1", Form::Shell, "resolv.conf"},
    Placement{"dns2", Form::Shell, "resolv.conf"},
    Placement{"dns3", Form::Shell, "resolv.conf"},
    Placement{"httpPort", Form::Word, "boa.conf"},
    Placement{"phoneNumber", Form::Dial, "the dial command in diald.conf and options"},
    Placement{"phoneNumber", Form::Line, "dialout.conf"},
    Placement{"connectTimeout", Form::Word, "chat.dialout"},
    Placement{"baudRate", Form::Word, "diald.conf and options"},
    Placement{"modemInit", Form::Word, "chat.dialout"},
    Placement{"ispName", Form::Line, "dialout.conf"},
    Placement{"ispUser", Form::Word, "chap-secrets and options"},
    Placement{"ispPassword", Form::Secret, "chap-secrets"},
    Placement{"ftpHost", Form::Word, "the upload script"},
    Placement{"ftpUser", Form::Word, "the upload script"},
    Placement{"ftpPassword", Form::Line, "the upload file"},
    Placement{"ftpPath", Form::Word, "the upload script"},
    Placement{"ftpPath2", Form::Line, "the upload file"},
    Placement{"ftpTimeout", Form::Word, "the upload script"},
    Placement{"scheduleEvery", Form::Line, "the schedule file"},
    Placement{"scheduleStart", Form::Word, "the schedule file"},
    Placement{"scheduleStop", Form::Word, "the schedule file"},
};

// What c does to a value of the form at that place; nullptr when nothing.
const char* effect(char c, Form form, bool first) {
    if (form == Form::Line) return nullptr;
    switch (c) {
        case ' ':
            return form == Form::Dial ? nullptr : "would split the value in two";
        case '\'':
        case '"':
            return "would end or start a quoted part";
        case '\\':
            return "would escape the character after it";
        case '#':
            return first ? "would turn the line's rest into a comment" : nullptr;
        case '@':
            return form == Form::Secret && first ? "would make pppd read the secret from a file of that name"
                                                 : nullptr;
        default:
            break;
    }
    if (form != Form::Shell && form != Form::Dial) return nullptr;
    switch (c) {
        case ';':
        case '&':
        case '|':
        case '<':
        case '>':
        case '(':
        case ')':
            return "would end the value and start a command";
        case '$':
        case '`':
            return "would have the device's shell substitute a command or variable";
        case '~':
            return first ? "would have the device's shell substitute a home folder" : nullptr;
        default:
            return nullptr;
    }
}

std::string problemIn(std::string_view value, const Placement& placement) {
    for (std::size_t i = 0; i < value.size(); ++i)
        if (const char* what = effect(value[i], placement.form, i == 0))
            return "holds \"" + std::string(1, value[i]) + "\", which " + what + " in " + placement.where;
    return {};
}

}  // namespace

std::string fileValueProblem(std::string_view field, std::string_view value) {
    if (hasControlCharacter(value))
        return "holds a control character (line end, tab, escape or the like), which would end the line";
    for (const Placement& placement : kPlacements)
        if (field == placement.field)
            if (std::string problem = problemIn(value, placement); !problem.empty()) return problem;
    return {};
}

std::optional<FieldValueProblem> settingsValueProblem(const DeviceSettings& settings) {
    // The address page's name on the server carries the MAC's last two bytes as the device gave them.
    if (std::string problem = problemIn(settings.macAddress, {"macAddress", Form::Word, "the upload script"});
        !problem.empty() || hasControlCharacter(settings.macAddress))
        return FieldValueProblem{"macAddress", problem.empty() ? "holds a control character" : problem};
    for (const SettingsField& field : settingsFields()) {
        if (!field.text) continue;
        if (std::string problem = fileValueProblem(field.name, settings.*field.text); !problem.empty())
            return FieldValueProblem{field.name, std::move(problem)};
    }
    return std::nullopt;
}

}  // namespace lm::wizard
