// The installer's command-line reader: program name, tokens, numbers and the role.
#include "setup/command_line.h"
#include "setup/system_state.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> Tokens(const std::string& text, size_t count) {
    std::vector<std::string> tokens;
    const char* position = text.c_str();
    char token[kTextSize];
    for (size_t i = 0; i < count; ++i) {
        memset(token, 'x', sizeof(token));
        position = NextToken(position, token);
        tokens.push_back(token);
    }
    return tokens;
}

TEST(CommandLine, ProgramNameIsCutAsTheStartUpCodeCutsIt) {
    const char* cases[][2] = {{"setup.exe", ""},
                              {"\"C:\\Program Files\\UN.exe\" -u x", "-u x"},
                              {"\"C:\\Program Files\\UN.exe\"-u", "-u"},
                              {"\"unterminated name -u", ""},
                              {"setup.exe \t\r\n  -pid 5", "-pid 5"},
                              {"", ""}};
    for (const auto& c : cases) {
        EXPECT_STREQ(c[1], SkipProgramName(c[0])) << c[0];
    }
}

TEST(CommandLine, TokensFollowTheQuotingRulesAndOneThatWouldNotFitIsRefusedWhole) {
    const std::string fits(kTextSize - 1, 'a'), tooLong(kTextSize, 'b');
    const struct {
        std::string text;
        std::vector<std::string> tokens;
    } cases[] = {
        {"   \t ", {"", ""}},
        {"\"-u\" x", {"-u", "x"}},
        {"\"C:\\Program Files\\Tovik\\UN.exe\" -u", {"C:\\Program Files\\Tovik\\UN.exe", "-u"}},
        {"\"quoted\"letters next", {"quoted", "letters", "next"}},
        {"ab\"cd ef", {"ab\"cd", "ef"}},
        {"\"runs to the end", {"runs to the end", ""}},
        {"\"\" after", {"", "after"}},
        {"a\\\"b\" c", {"a\\\"b\"", "c"}},
        {"\"back\\\"slash", {"back\\", "slash"}},
        {"tab\tseparated\t\t\"and quoted\"", {"tab", "separated", "and quoted"}},
        {fits + " next", {fits, "next"}},
        {tooLong + " next", {"", "next"}},
        {"-u \"C:\\" + tooLong + "\" tail", {"-u", "", "tail"}},
        // An unquoted path without blanks, as older uninstall entries hold it, still reads.
        {"-u C:\\WINDOWS\\system32\\qmv01234.scr",
         {"-u", "C:\\WINDOWS\\system32\\qmv01234.scr", ""}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.tokens, Tokens(c.text, c.tokens.size())) << c.text;
    }
}

TEST(CommandLine, DecimalsStopAtTheFirstOtherCharacter) {
    const std::pair<const char*, DWORD> cases[] = {
        {"", 0},           {"1234", 1234}, {"12x", 12},
        {"-5", 0},         {" 7", 0},      {"4294967295", 4294967295u},
        {"4294967296", 0}, {"007", 7},     {"3.9", 3}};
    for (const auto& c : cases) {
        EXPECT_EQ(c.second, ParseDecimal(c.first)) << c.first;
    }
}

TEST(CommandLine, FirstTokenChoosesTheRole) {
    const std::pair<const char*, Role> cases[] = {
        {"", Role::Install},        {"-u C:\\a.scr", Role::Uninstall},
        {"-U", Role::Uninstall},    {"\"-u\" C:\\a.scr", Role::Uninstall},
        {"-pid 12", Role::Cleanup}, {"-Pid 12", Role::Cleanup},
        {"/u", Role::Install},      {"-uninstall", Role::Install},
        {"-p", Role::Install}};
    for (const auto& c : cases) {
        char token[kTextSize] = {0};
        NextToken(c.first, token);
        EXPECT_EQ(static_cast<int>(c.second), static_cast<int>(ChooseRole(token))) << c.first;
    }
}

// The process tests start the registered command with blanks in both paths; here, one
// that would not fit is refused, not cut.
TEST(CommandLine, UninstallCommandThatWouldNotFitIsRefused) {
    char command[kTextSize] = {0};
    const std::string deep = "C:\\" + std::string(200, 'd') + "\\UNqmv01234.exe";
    EXPECT_TRUE(BuildUninstallCommand(deep.c_str(), "C:\\a.scr", command));
    EXPECT_FALSE(
        BuildUninstallCommand(deep.c_str(), ("C:\\" + std::string(60, 's')).c_str(), command));
    EXPECT_STREQ("", command);
}

} // namespace
