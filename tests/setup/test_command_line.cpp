// The installer's command-line reader: program name, tokens, numbers and the role.
#include "setup/command_line.h"
#include "setup/system_state.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> Tokens(const char* text, size_t count) {
    std::vector<std::string> tokens;
    char token[kTextSize];
    for (size_t i = 0; i < count; ++i) {
        memset(token, 'x', sizeof(token));
        text = NextToken(text, token);
        tokens.push_back(token);
    }
    return tokens;
}

TEST(CommandLine, ProgramNameIsCutAsTheStartUpCodeCutsIt) {
    struct Case {
        const char* line;
        const char* rest;
    } cases[] = {
        {"setup.exe", ""},
        {"setup.exe -u x", "-u x"},
        {"\"C:\\Program Files\\UN.exe\" -u x", "-u x"},
        {"\"C:\\Program Files\\UN.exe\"-u", "-u"},
        {"\"unterminated name -u", ""},
        {"setup.exe \t\r\n  -pid 5", "-pid 5"},
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_STREQ(c.rest, SkipProgramName(c.line)) << c.line;
    }
}

TEST(CommandLine, TokensFollowTheQuotingRules) {
    struct Case {
        const char* text;
        std::vector<std::string> tokens;
    } cases[] = {
        {"", {"", ""}},
        {"   \t ", {"", ""}},
        {"-u C:\\a.scr", {"-u", "C:\\a.scr", ""}},
        {"\"-u\" x", {"-u", "x"}},
        {"\"C:\\Program Files\\Tovik\\UN.exe\" -u", {"C:\\Program Files\\Tovik\\UN.exe", "-u"}},
        {"\"quoted\"letters next", {"quoted", "letters", "next"}},
        {"ab\"cd ef", {"ab\"cd", "ef"}},
        {"\"runs to the end", {"runs to the end", ""}},
        {"\"\" after", {"", "after"}},
        {"a\\\"b\" c", {"a\\\"b\"", "c"}},
        {"\"back\\\"slash", {"back\\", "slash"}},
        {"tab\tseparated\t\t\"and quoted\"", {"tab", "separated", "and quoted"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.tokens, Tokens(c.text, c.tokens.size())) << c.text;
    }
}

TEST(CommandLine, TokenThatWouldNotFitIsRefusedWhole) {
    const std::string fits(kTextSize - 1, 'a');
    const std::string tooLong(kTextSize, 'b');
    EXPECT_EQ((std::vector<std::string>{fits, "next"}), Tokens((fits + " next").c_str(), 2));
    EXPECT_EQ((std::vector<std::string>{"", "next"}), Tokens((tooLong + " next").c_str(), 2));
    EXPECT_EQ((std::vector<std::string>{"-u", "", "tail"}),
              Tokens(("-u \"C:\\" + tooLong + "\" tail").c_str(), 3));
}

TEST(CommandLine, DecimalsStopAtTheFirstOtherCharacter) {
    struct Case {
        const char* text;
        DWORD value;
    } cases[] = {
        {"", 0},
        {"0", 0},
        {"1234", 1234},
        {"12x", 12},
        {"-5", 0},
        {" 7", 0},
        {"4294967295", 4294967295u},
        {"4294967296", 0},
        {"007", 7},
        {"3.9", 3},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.value, ParseDecimal(c.text)) << c.text;
    }
}

TEST(CommandLine, FirstTokenChoosesTheRole) {
    struct Case {
        const char* line;
        Role role;
    } cases[] = {
        {"", Role::Install},
        {"   ", Role::Install},
        {"-u C:\\a.scr", Role::Uninstall},
        {"-U C:\\a.scr", Role::Uninstall},
        {"\"-u\" C:\\a.scr", Role::Uninstall},
        {"-pid 12 -exe x", Role::Cleanup},
        {"-Pid 12", Role::Cleanup},
        {"/u", Role::Install},
        {"u", Role::Install},
        {"-uninstall", Role::Install},
        {"-p", Role::Install},
    };
    for (const Case& c : cases) {
        char token[kTextSize] = {0};
        NextToken(c.line, token);
        EXPECT_EQ(static_cast<int>(c.role), static_cast<int>(ChooseRole(token))) << c.line;
    }
}

// The command registered for the uninstaller reads back as Windows and the uninstall
// role read it, even with blanks in both paths.
TEST(CommandLine, UninstallCommandReadsBackWhole) {
    const char* uninstaller = "C:\\Program Files (x86)\\Tovik\\Flickwell\\UNqmv01234.exe";
    const char* installed = "C:\\WINDOWS\\SYSTEM\\Sky Lanterns.scr";
    char command[kTextSize] = {0};
    ASSERT_TRUE(BuildUninstallCommand(uninstaller, installed, command));
    EXPECT_EQ(std::string("\"") + uninstaller + "\" -u \"" + installed + "\"", command);

    const char* arguments = SkipProgramName(command);
    EXPECT_EQ((std::vector<std::string>{"-u", installed, ""}), Tokens(arguments, 3));
    // An unquoted path without blanks, as older entries hold it, still reads.
    EXPECT_EQ((std::vector<std::string>{"-u", "C:\\WINDOWS\\system32\\qmv01234.scr"}),
              Tokens(SkipProgramName("C:\\UN.exe -u C:\\WINDOWS\\system32\\qmv01234.scr"), 2));

    // A command that would not fit is refused, not cut.
    const std::string deep = "C:\\" + std::string(200, 'd') + "\\UNqmv01234.exe";
    EXPECT_FALSE(BuildUninstallCommand(deep.c_str(), installed, command));
    EXPECT_STREQ("", command);
}

} // namespace
