// lmtools-cli(1), written from the command table so every command and option in it is the one the
// program has. Hidden: the build runs it to make the page.
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "cli/Command.h"
#include "cli/ExitStatus.h"
#include "core/ProgramVersion.h"

namespace lm::cli {

namespace {

// Text as roff prints it: no request at a line start, backslashes and hyphens as themselves.
std::string roff(const std::string& text) {
    std::string out;
    bool lineStart = true;
    for (const char c : text) {
        if (lineStart && (c == '.' || c == '\'')) out += "\\&";
        if (c == '\\')
            out += "\\e";
        else if (c == '-')
            out += "\\-";
        else
            out += c;
        lineStart = c == '\n';
    }
    return out;
}

std::string bold(const std::string& text) {
    return "\\fB" + roff(text) + "\\fR";
}
std::string italic(const std::string& text) {
    return "\\fI" + roff(text) + "\\fR";
}

// "--password-file FILE, or -q, --quiet" as a tagged paragraph's tag.
std::string optionTag(const CLI::Option& option) {
    std::string tag;
    for (const std::string& name : option.get_snames())
        tag += (tag.empty() ? "" : ", ") + bold("-" + name);
    for (const std::string& name : option.get_lnames())
        tag += (tag.empty() ? "" : ", ") + bold("--" + name);
    if (option.get_items_expected_max() > 0) {
        std::string value =
            option.get_option_text().empty() ? option.get_type_name() : option.get_option_text();
        if (value.empty() || value == "TEXT") value = "VALUE";
        tag += " " + italic(value);
    }
    return tag;
}

bool isShared(const CLI::Option& option) {
    for (const char* name : {"help", "demo", "quiet"})
        if (option.check_lname(name)) return true;
    return option.check_sname("b");
}

// The options of part; of a command, those that are not every command's.
void options(const CLI::App& part, std::string& page) {
    for (const CLI::Option* option : part.get_options()) {
        if (!option->nonpositional() || (part.get_parent() && isShared(*option))) continue;
        page += ".TP\n" + optionTag(*option) + "\n" + roff(option->get_description()) + "\n";
    }
}

// The command's arguments as its help lists them: "HOST", "FILE".
void arguments(const CLI::App& part, std::string& page) {
    for (const CLI::Option* option : part.get_options())
        if (!option->nonpositional())
            page += ".TP\n" + italic(option->get_name()) + "\n" + roff(option->get_description()) + "\n";
}

void commandSection(const CLI::App& part, const std::string& path, const std::string& summary,
                    const std::string& usage, std::string& page) {
    page += ".SS " + roff(path) + "\n";
    page += bold("lmtools-cli") + " " + roff(usage) + " [" + italic("OPTIONS") + "]\n.PP\n" + roff(summary) +
            ".\n";
    arguments(part, page);
    options(part, page);
    for (const CLI::App* sub :
         part.get_subcommands([](const CLI::App* c) { return !c->get_group().empty(); })) {
        std::string subUsage = path + " " + sub->get_name();
        for (const CLI::Option* option : sub->get_options())
            if (!option->nonpositional()) subUsage += " " + option->get_name();
        commandSection(*sub, path + " " + sub->get_name(), sub->get_description(), subUsage, page);
    }
}

constexpr const char* kHead = R"(.TH LMTOOLS\-CLI 1 "" "lmtools-cli @VERSION@" "User Commands"
.SH NAME
lmtools\-cli \- find, maintain and test Lumetra network cameras from the command line
.SH SYNOPSIS
.B lmtools\-cli
[\fB\-\-demo\fR] [\fB\-q\fR] \fICOMMAND\fR [\fIARGUMENTS\fR] [\fIOPTIONS\fR]
.br
.B lmtools\-cli help
[\fICOMMAND\fR]
.br
.B lmtools\-cli
\fB\-V\fR | \fB\-\-version\fR
.SH DESCRIPTION
.B lmtools\-cli
does from a terminal, a script or an ssh session what the desktop program
.BR lmtools (1)
does: it finds the Lumetra cameras and video servers on the local networks, logs in to one to run a
command, read a file or its logs, set its clock, restart it, erase its configuration or replace its
firmware, reads its activity report, runs the production test over many devices, and reads or
writes its settings as the Setup Wizard does.
.PP
Results go to standard output; status lines, notes, questions and errors go to standard error, and
every error line starts with
.BR "lmtools\-cli: " .
A device's text reaches a terminal only made safe; a file or a pipe gets it as it came.
Progress is drawn only when standard error is a terminal.
.PP
A command that logs in starts with the admin password given by
.BR \-\-password ,
.B \-\-password\-file
or
.B \-\-password\-stdin
(only one of them), else by
.BR LMTOOLS_PASSWORD ,
else with the factory password (except
.BR reboot ,
.B erase
and
.BR upgrade ,
which never guess); when the device refuses it, another is asked on a terminal.
A password given with
.B \-\-password
shows in the process list; the other two keep it out of it.
.SH OPTIONS
These options are taken by every command, before or after its name.
)";

constexpr const char* kTail = R"(.SH OUTPUT FOR SCRIPTS
.BR "scan \-\-json" ,
.BR "report \-\-json" ,
.B production \-\-json
and
.B config show \-\-json
speak one vocabulary: keys in lowerCamelCase,
.B id
is always the device ID (024C55\-C20002),
.B mac
always the MAC (02:4C:55:C2:00:02),
.B address
the IPv4 address, numbers are numbers, and a value the device did not give is
.B null
rather than a text the window shows in its place.
.B scan \-\-csv
and
.B production \-\-csv
write RFC 4180 CSV with a header row; the production test's columns keep the titles of its window.
.SH EXAMPLES
Try every command on simulated devices:
.PP
.nf
.RS
lmtools\-cli \-\-demo scan
lmtools\-cli \-\-demo report 127.0.0.11
.RE
.fi
.PP
Keep a list of the devices, and later see what changed (exit status 3 when anything did):
.PP
.nf
.RS
lmtools\-cli scan \-\-json > devices.json
lmtools\-cli scan \-\-diff devices.json
.RE
.fi
.PP
Restart three devices, two at a time, with the password from a file only you can read:
.PP
.nf
.RS
lmtools\-cli reboot 192.168.1.20 192.168.1.21 192.168.1.22 \-\-jobs 2 \e
    \-\-password\-file ~/.config/lmtools\-password
.RE
.fi
.PP
Give a device a new web port, checked page by page as the Setup Wizard checks it:
.PP
.nf
.RS
lmtools\-cli config show 192.168.1.20 \-\-json > camera.json
sed \-i 's/"httpPort": 80/"httpPort": 8080/' camera.json
lmtools\-cli config apply 192.168.1.20 camera.json
.RE
.fi
.PP
Save the settings of every device of the site, see what a restore would change, and put a broken
camera's settings onto its replacement:
.PP
.nf
.RS
lmtools\-cli config backup \-\-all \-o site.json
lmtools\-cli config restore site.json \-\-dry\-run
lmtools\-cli config restore site.json 024C55\-C20002 \-\-replace 024C55\-C20002=024C55\-C20009
.RE
.fi
.PP
Test every device of the network and keep the table:
.PP
.nf
.RS
lmtools\-cli production \-\-csv > production.csv
.RE
.fi
.PP
Hand the site over: one HTML file with every device's picture, settings and test results:
.PP
.nf
.RS
lmtools\-cli site\-report \-\-all \-\-with\-tests \-o site.html
.RE
.fi
.SH ENVIRONMENT
.TP
.B LMTOOLS_PASSWORD
The admin password, when no password option is given.
.TP
.B LMTOOLS_SERIAL_PORTS
.IR COM n = PATH [, ...]:
serial port names mapped to other device paths.
COM1 to COM16 are /dev/ttyS0 to /dev/ttyS15, COM17 to COM24 /dev/ttyUSB0 to /dev/ttyUSB7,
COM25 to COM32 /dev/ttyACM0 to /dev/ttyACM7.
.TP
.BR LMTOOLS_DISCOVERY_PORT ", " LMTOOLS_TELNET_PORT ", " LMTOOLS_HTTP_PORT ", " LMTOOLS_TFTP_PORT
The devices' ports, 7364, 23, 80 and 69 unless set (for tests and the simulator).
.TP
.B LMTOOLS_QUIET_MS
How long, in milliseconds, the network must be quiet before a scan ends (5000).
.TP
.B LMTOOLS_INTERFACES
.IR ADDRESS / MASK [, ...]:
a stand\-in for this computer's interface table.
.TP
.B LMTOOLS_ARP_TABLE
A file in the format of /proc/net/arp, read instead of it.
.TP
.B LMTOOLS_ECHO_SETTING
A file used instead of /proc/sys/net/ipv4/icmp_echo_ignore_all.
.SH FILES
.TP
.I ~/.config/Lumetra/Lumetra Tools.conf
The settings of the desktop program (views, window placement, network interface).
.B lmtools\-cli
reads no settings file: everything it uses is on its command line or in its environment.
.TP
.I /usr/share/bash\-completion/completions/lmtools\-cli
.TQ
.I /usr/share/zsh/vendor\-completions/_lmtools\-cli
.TQ
.I /usr/share/fish/vendor_completions.d/lmtools\-cli.fish
Completion of commands and options, made by
.BR "lmtools\-cli completion bash" | zsh | fish .
.SH EXIT STATUS
)";

constexpr const char* kSeeAlso = R"(.SH SEE ALSO
.BR lmtools (1),
.BR lmsim (1)
)";

class ManPageCommand : public Command {
public:
    std::string name() const override { return "manpage"; }
    std::string summary() const override { return "Print the manual page of this program (roff)"; }
    void define(CLI::App& command) override {
        root_ = command.get_parent();
        command.group("");
    }
    int run(CommandContext& context) override {
        std::string page = kHead;
        page.replace(page.find("@VERSION@"), 9, kProgramVersion);
        options(*root_, page);
        page +=
            ".TP\n" + bold("-b 1200") + ", " + bold("-b 1200 300") +
            "\n(the commands with \\fB\\-\\-serial\\fR) the serial bit rate: 1200 or 300 instead of 38400.\n";
        page += ".SH COMMANDS\n";
        std::map<std::string, std::pair<std::string, std::string>> commands;  // summary, usage
        for (const auto& command : commandTable())
            commands[command->name()] = {command->summary(), command->usage()};
        for (const CLI::App* part :
             root_->get_subcommands([](const CLI::App* c) { return !c->get_group().empty(); })) {
            const auto& [summary, usage] = commands[part->get_name()];
            commandSection(*part, part->get_name(), summary, usage, page);
        }
        page += kTail;
        for (const ExitStatusRow& row : kExitStatusTable)
            page += ".TP\n.B " + std::to_string(row.status) + "\n" + roff(row.meaning) + "\n";
        page += kSeeAlso;
        context.out << page;
        return kExitDone;
    }

private:
    const CLI::App* root_ = nullptr;
};

}  // namespace

std::unique_ptr<Command> makeManPageCommand() {
    return std::make_unique<ManPageCommand>();
}

}  // namespace lm::cli
