// What may go into a device shell line: the one check every writer of shell lines uses.
#include <gtest/gtest.h>

#include "core/link/ShellInput.h"

namespace lm {
namespace {

TEST(ShellInput, RefusesWhatCouldRunASecondCommand) {
    const struct {
        ShellValue kind;
        std::string value;
        bool accepted;
    } cases[] = {
        {ShellValue::Text, "vorna", true},
        {ShellValue::Text, "p@ss word;$(x)", true},  // typed at a prompt or into a file, never run
        {ShellValue::Text, "\xe2\x82\xac uro", true},
        {ShellValue::Text, "vorna\nconfig clear", false},
        {ShellValue::Text, "vorna\r", false},
        {ShellValue::Text, "a\tb", false},
        {ShellValue::Text, "x\x1b:q!", false},
        {ShellValue::Text, "x\x04", false},
        {ShellValue::Text, "x\x7f", false},
        {ShellValue::Path, "/etc/config/ifcfg-eth0", true},
        {ShellValue::Path, "/var/tmp/a_b.c+d", true},
        {ShellValue::Path, "etc/version", false},
        {ShellValue::Path, "", false},
        {ShellValue::Path, "/etc/x;reboot", false},
        {ShellValue::Path, "/etc/$(reboot)", false},
        {ShellValue::Path, "/etc/`reboot`", false},
        {ShellValue::Path, "/etc/a b", false},
        {ShellValue::Path, "/etc/a\nreboot", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(shellValueProblem(c.kind, c.value, "value").empty(), c.accepted) << c.value;
}

TEST(ShellInput, CommandLineJoinsCheckedWords) {
    std::string problem;
    EXPECT_EQ(shellCommandLine({"cat", "/etc/version"}, problem), "cat /etc/version");
    EXPECT_TRUE(problem.empty());
    for (const auto& words : {std::vector<std::string>{}, {" ", ""}, {"id\nreboot"}}) {
        EXPECT_EQ(shellCommandLine(words, problem), "");
        EXPECT_FALSE(problem.empty());
    }
}

}  // namespace
}  // namespace lm
