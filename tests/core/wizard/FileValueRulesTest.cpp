// Which values may be written into the device's files: what would change a file's meaning is
// refused by field, and the values the pages themselves offer all pass.
#include <gtest/gtest.h>

#include <string>

#include "core/wizard/FileValueRules.h"
#include "core/wizard/PageRules.h"

namespace lm::wizard {
namespace {

TEST(FileValueRules, RefusesWhatChangesAFileMeaning) {
    const struct {
        const char* field;
        std::string value;
        const char* refusal;  // a part of the reason; empty when the value passes
    } cases[] = {
        // Sourced KEY=value and resolv.conf: separators, substitutions and quotes.
        {"hostname", "cam; reboot", "holds \";\""},
        {"hostname", "cam;reboot", "start a command in network"},
        {"hostname", "cam|nc", "start a command"},
        {"hostname", "cam&", "start a command"},
        {"hostname", "~root", "home folder"},
        {"hostname", "#cam", "comment"},
        {"hostname", "cam-1.site_b", ""},
        {"domain", "x$(reboot)", "substitute a command or variable in resolv.conf"},
        {"domain", "x`reboot`", "substitute"},
        {"domain", "example.com", ""},
        {"gateway", "10.0.0.1 x", "split"},
        // The number inside connect '/bin/chat -T...': a quote ends it, a shell runs the rest.
        {"phoneNumber", "555'; reboot; '",
         "\"'\", which would end or start a quoted part in the dial command"},
        {"phoneNumber", "555\"1", "quoted part"},
        {"phoneNumber", "555$HOME", "substitute"},
        {"phoneNumber", "555;1", "start a command"},
        {"phoneNumber", "555 1212", ""},  // the modem page's own warning covers blanks
        {"phoneNumber", "*70,9,555#1!?", ""},
        // pppd's files and the chat script: words, quotes and comments.
        {"ispUser", "o'brien", "quoted part in chap-secrets and options"},
        {"ispUser", "joe smith", "split"},
        {"ispUser", "joe@isp.net", ""},
        {"ispPassword", "@/etc/passwd", "read the secret from a file"},
        {"ispPassword", "p@ss!w0rd$%&;(~", ""},
        {"ispPassword", "pass word", "split"},
        {"modemInit", "AT&F E1", "split the value in two in chat.dialout"},
        {"modemInit", "AT\\c", "escape"},
        {"connectTimeout", "30 'x'", "split"},
        {"baudRate", "#38400", "comment"},
        {"httpPort", "80 81", "split the value in two in boa.conf"},
        // The upload script takes words; its password and the key form take the rest of a line.
        {"ftpHost", "ftp.example.com 2121", "upload script"},
        {"ftpUser", "cam one", "split"},
        {"ftpPath", "pics/a b.jpg", "split"},
        {"ftpPassword", "top floor 'q' $x;#", ""},
        {"ftpPath2", "any thing; $x", ""},
        {"ispName", "AT&T", ""},
        // A control character ends the line in every file.
        {"ftpPassword", "pw\nreboot", "control character"},
        {"ispName", "XO\r", "control character"},
    };
    for (const auto& c : cases) {
        const std::string problem = fileValueProblem(c.field, c.value);
        const std::string label = std::string(c.field) + " '" + c.value + "': " + problem;
        if (*c.refusal == '\0') {
            EXPECT_EQ(problem, "") << label;
        } else {
            EXPECT_NE(problem.find(c.refusal), std::string::npos) << label;
        }
    }
}

// The modem table's init strings and numbers, the providers and the speeds are the pages' own
// values; each must be writable where it lands.
TEST(FileValueRules, ThePagesOwnValuesPass) {
    for (const auto& name : modemNames()) {
        DeviceSettings settings;
        bool network = false;
        FirmwareVersion firmware{2, 1, 3};
        WizardModel model{settings, network, firmware};
        PageView view = initialisePage(kModem, model);
        view[Field::ModemCombo].text = name;
        controlChanged(kModem, Field::ModemCombo, model, view);
        for (const auto& [field, control] : {std::pair{"modemInit", Field::InitField},
                                             {"phoneNumber", Field::PhoneField},
                                             {"baudRate", Field::BaudCombo}})
            EXPECT_EQ(fileValueProblem(field, view[control].text), "") << name << " " << field;
    }
    for (const auto& provider : providerNames())
        EXPECT_EQ(fileValueProblem("ispName", provider), "") << provider;
    for (const auto& speed : baudRates())
        EXPECT_EQ(fileValueProblem("baudRate", speed), "") << speed;
    EXPECT_EQ(settingsValueProblem(DeviceSettings{}), std::nullopt);
}

// What a hostile device gave is caught wherever it sits in the model, by field.
TEST(FileValueRules, SettingsNameTheFirstFieldThatCannotBeWritten) {
    DeviceSettings s;
    s.macAddress = "02:4C:55:00:9A:2B";
    s.domain = "x$(reboot)";
    s.hostname = "cam;reboot";
    auto problem = settingsValueProblem(s);
    ASSERT_TRUE(problem);
    EXPECT_EQ(problem->field, "hostname");
    s.hostname = s.domain = "cam";
    s.macAddress = "02:4C:55:00: ;:2B";
    problem = settingsValueProblem(s);
    ASSERT_TRUE(problem);
    EXPECT_EQ(problem->field, "macAddress");
}

}  // namespace
}  // namespace lm::wizard
