// The project file through the profile functions, and the wizard's small text rules.
#include "wizard/project_settings.h"
#include "wizard/text_rules.h"
#include "wizard_test_util.h"

#include <gtest/gtest.h>

namespace {

TEST(ProjectSettingsTest, LoadReadsSixKeysInAnyCaseAndSaveUpdatesTheirLinesInPlace) {
    const std::string file = Scratch() + "carried.qmv";
    WriteText(file, "[Other]\r\nDisplayName=Wrong\r\n[parameters]\r\nCOMPANY=Tovik Works\r\n"
                    "displayname=Old\r\n");
    ProjectSettings settings;
    ASSERT_TRUE(settings.Load(file.c_str()));
    EXPECT_EQ(file, settings.ProjectPath());
    std::string pairs;
    for (const auto& pair : settings.Values()) {
        pairs += pair.first + "=" + pair.second + ";";
    }
    EXPECT_EQ("DisplayName=Old;MoviePath=;Company=Tovik Works;Copyright=;DestinationPath=;"
              "UseDefaultCompany=True;",
              pairs);
    settings.Set("DisplayName", "New");
    ASSERT_TRUE(settings.Save(file.c_str()));
    EXPECT_EQ("[Other]\r\nDisplayName=Wrong\r\n[parameters]\r\nCOMPANY=Tovik Works\r\n"
              "displayname=New\r\nMoviePath=\r\nCopyright=\r\nDestinationPath=\r\n"
              "UseDefaultCompany=True\r\n",
              FileText(file));
}

TEST(ProjectSettingsTest, QuotedLongAndFolderlessValues) {
    const std::string dir = Scratch(), file = dir + "quotes.qmv";
    ProjectSettings quoted, loaded;
    quoted.Set("DisplayName", "\"Sky\"");
    quoted.Set("MoviePath", std::string(300, 'm'));
    ASSERT_TRUE(quoted.Save(file.c_str()) && loaded.Load(file.c_str()));
    EXPECT_EQ("Sky", loaded.Get("DisplayName")) << "the profile format drops enclosing quotes";
    EXPECT_EQ(std::string(259, 'm'), loaded.Get("MoviePath"));

    // A folder is no project file (a missing one is the end-to-end test's).
    EXPECT_FALSE(ProjectSettings().Load(dir.substr(0, dir.size() - 1).c_str()));
    // A name without a folder means the current folder, not the Windows folder.
    ASSERT_TRUE(SetCurrentDirectoryA(dir.c_str()));
    WriteText(dir + "here.qmv", "[Parameters]\r\nDisplayName=Here\r\n");
    ProjectSettings settings;
    ASSERT_TRUE(settings.Load("here.qmv"));
    EXPECT_EQ("Here", settings.Get("DisplayName"));
    settings.Set("DisplayName", "Still here");
    ASSERT_TRUE(settings.Save("here.qmv"));
    EXPECT_NE(std::string::npos, FileText(dir + "here.qmv").find("DisplayName=Still here"));

    // A path that cannot be made whole within MAX_PATH is refused, never cut.
    const std::string deep = dir + std::string(250, 'd') + ".qmv";
    EXPECT_FALSE(settings.Save(deep.c_str()));
    EXPECT_FALSE(ProjectSettings().Load(deep.c_str()));
}

TEST(TextRulesTest, DisplayNameFromThePath) {
    struct Case {
        const char* path;
        UINT codePage;
        const char* name;
    } cases[] = {
        {"C:\\Movies\\ocean waves.swf", CP_ACP, "Ocean waves"},
        {"C:\\Movies\\intro.final.swf", CP_ACP, "Intro.final"},
        {"C:\\Movies\\.swf", CP_ACP, ".swf"},
        {"C:\\Movies\\noext", CP_ACP, "Noext"},
        {"C:\\9 lives.swf", CP_ACP, "9 lives"},
        {"C:\\\xE9t\xE9.swf", 1252, "\xE9t\xE9"}, // only a to z are raised
        {"sunset.swf", CP_ACP, ""},
        {"\\sunset.swf", CP_ACP, ""},
        {"C:\\Movies\\", CP_ACP, ""},
        // In Shift-JIS, 0x95 0x5C is one character whose second byte is a backslash.
        {"C:\\movies\\\x95\x5C.swf", 932, "\x95\x5C"},
        {"C:\\movies\\\x95\x5C.swf", 1252, ".swf"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.name, DeriveDisplayNameFor(c.path, c.codePage)) << c.path;
    }
    EXPECT_EQ("Sunset", DeriveDisplayName("C:\\sunset.swf"));
}

TEST(TextRulesTest, CommandLineArgument) {
    struct Case {
        const char* line;
        bool found;
        const char* argument;
    } cases[] = {
        {"qmwizard.exe", false, ""},
        {"qmwizard.exe ", false, ""},
        {"qmwizard.exe C:\\p.qmv", true, "C:\\p.qmv"},
        {"qmwizard.exe \"C:\\my projects\\p.qmv\"", true, "C:\\my projects\\p.qmv"},
        {"qmwizard.exe \"C:\\a b\\p.qmv\" -x \"y\" more", true, "C:\\a b\\p.qmv\" -x \"y"},
        {"qmwizard.exe C:\\my projects\\p.qmv -x", true, "C:\\my projects\\p.qmv -x"},
        {"qmwizard.exe  C:\\p.qmv", true, " C:\\p.qmv"},
        {"\"C:\\Program Files\\Flickwell\\qmwizard.exe\" p.qmv", true, "p.qmv"},
        {"\"C:\\Program Files\\Flickwell\\qmwizard.exe\"", false, ""},
        {"qmwizard.exe\tp.qmv", false, ""},
        {"qmwizard.exe \"C:\\unclosed p.qmv", true, "C:\\unclosed p.qmv"},
        {"qmwizard.exe \"\"", false, ""},
    };
    for (const Case& c : cases) {
        std::string argument = "stale";
        EXPECT_EQ(c.found, FindCommandArgument(c.line, &argument)) << c.line;
        EXPECT_EQ(c.argument, argument) << c.line;
    }
}

} // namespace
