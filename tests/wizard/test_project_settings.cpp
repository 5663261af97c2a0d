#include "wizard/project_settings.h"
#include "wizard/text_rules.h"
#include "test_env.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string Scratch() {
    return MakeScratchDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
}

std::string FileText(const std::string& path) {
    std::vector<unsigned char> bytes;
    ReadFileBytes(path, &bytes);
    return std::string(bytes.begin(), bytes.end());
}

void WriteText(const std::string& path, const std::string& text) {
    WriteFileBytes(path, std::vector<unsigned char>(text.begin(), text.end()));
}

std::vector<std::string> Keys(const ProjectSettings& settings) {
    std::vector<std::string> keys;
    for (const auto& pair : settings.Values()) {
        keys.push_back(pair.first);
    }
    return keys;
}

TEST(ProjectSettingsTest, NewProjectSavesItsThreeKeysInOrder) {
    const std::string file = Scratch() + "new.qmv";
    ProjectSettings settings;
    settings.Set("DisplayName", "Sky");
    settings.Set("MoviePath", "C:\\movies\\sky.swf");
    settings.Set("DestinationPath", "");
    settings.Set("DisplayName", "Sky"); // set twice: one pair, in its first place
    EXPECT_EQ("", settings.Get("Company"));
    ASSERT_TRUE(settings.Save(file.c_str()));
    EXPECT_EQ("[Parameters]\r\nDisplayName=Sky\r\nMoviePath=C:\\movies\\sky.swf\r\n"
              "DestinationPath=\r\n",
              FileText(file));
    EXPECT_EQ("", settings.ProjectPath());
}

TEST(ProjectSettingsTest, LoadFillsDefaultsAndSaveWritesAllSix) {
    const std::string file = Scratch() + "ocean.qmv";
    WriteText(file, "[Other]\r\nDisplayName=Wrong\r\n[Parameters]\r\nDisplayName=Ocean\r\n");
    ProjectSettings settings;
    ASSERT_TRUE(settings.Load(file.c_str()));
    EXPECT_EQ(file, settings.ProjectPath());
    EXPECT_EQ((std::vector<std::string>{"DisplayName", "MoviePath", "Company", "Copyright",
                                        "DestinationPath", "UseDefaultCompany"}),
              Keys(settings));
    EXPECT_EQ("Ocean", settings.Get("DisplayName"));
    EXPECT_EQ("", settings.Get("MoviePath"));
    EXPECT_EQ("True", settings.Get("UseDefaultCompany"));
    settings.Set("DestinationPath", "C:\\out\\Ocean.exe");
    ASSERT_TRUE(settings.Save(file.c_str()));
    EXPECT_EQ("[Other]\r\nDisplayName=Wrong\r\n[Parameters]\r\nDisplayName=Ocean\r\nMoviePath=\r\n"
              "Company=\r\nCopyright=\r\nDestinationPath=C:\\out\\Ocean.exe\r\n"
              "UseDefaultCompany=True\r\n",
              FileText(file));
}

TEST(ProjectSettingsTest, CarriedKeysComeBackUnchangedAndLinesAreUpdatedInPlace) {
    const std::string file = Scratch() + "carried.qmv";
    WriteText(file, "[parameters]\r\nCOMPANY=Tovik Works\r\ncopyright=(c) 2004 \"Tovik\"\r\n"
                    "displayname=Old\r\nUseDefaultCompany=no way\r\n");
    ProjectSettings settings;
    ASSERT_TRUE(settings.Load(file.c_str()));
    EXPECT_EQ("Old", settings.Get("DisplayName"));
    settings.Set("DisplayName", "New");
    ASSERT_TRUE(settings.Save(file.c_str()));
    const std::string text = FileText(file);
    EXPECT_NE(std::string::npos, text.find("COMPANY=Tovik Works\r\n"));
    EXPECT_NE(std::string::npos, text.find("copyright=(c) 2004 \"Tovik\"\r\n"));
    EXPECT_NE(std::string::npos, text.find("displayname=New\r\n")) << text;
    EXPECT_NE(std::string::npos, text.find("UseDefaultCompany=no way\r\n"));
    EXPECT_EQ(std::string::npos, text.find("Old"));
}

TEST(ProjectSettingsTest, QuotedValuesAndLongValues) {
    const std::string file = Scratch() + "quotes.qmv";
    ProjectSettings settings;
    settings.Set("DisplayName", "\"Sky\"");
    settings.Set("MoviePath", std::string(300, 'm'));
    ASSERT_TRUE(settings.Save(file.c_str()));
    ProjectSettings loaded;
    ASSERT_TRUE(loaded.Load(file.c_str()));
    EXPECT_EQ("Sky", loaded.Get("DisplayName")) << "the profile format drops enclosing quotes";
    EXPECT_EQ(std::string(259, 'm'), loaded.Get("MoviePath"));
}

TEST(ProjectSettingsTest, MissingFileLoadsDefaults) {
    const std::string dir = Scratch();
    for (const std::string& path : {dir + "missing.qmv", dir.substr(0, dir.size() - 1)}) {
        ProjectSettings settings;
        EXPECT_FALSE(settings.Load(path.c_str())) << path;
        EXPECT_EQ(path, settings.ProjectPath());
        EXPECT_EQ(6u, settings.Values().size());
        EXPECT_EQ("True", settings.Get("UseDefaultCompany"));
    }
}

TEST(ProjectSettingsTest, NameWithoutFolderMeansTheCurrentFolder) {
    const std::string dir = Scratch();
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
    ProjectSettings other;
    EXPECT_FALSE(other.Load(deep.c_str()));
}

TEST(TextRulesTest, DisplayNameFromThePath) {
    EXPECT_EQ("Ocean waves", DeriveDisplayName("C:\\Movies\\ocean waves.swf"));
    EXPECT_EQ("Intro.final", DeriveDisplayName("C:\\Movies\\intro.final.swf"));
    EXPECT_EQ(".swf", DeriveDisplayName("C:\\Movies\\.swf"));
    EXPECT_EQ("Noext", DeriveDisplayName("C:\\Movies\\noext"));
    EXPECT_EQ("9 lives", DeriveDisplayName("C:\\9 lives.swf"));
    EXPECT_EQ("\xE9t\xE9", DeriveDisplayName("C:\\\xE9t\xE9.swf")) << "only a to z are raised";
    EXPECT_EQ("", DeriveDisplayName("sunset.swf"));
    EXPECT_EQ("", DeriveDisplayName("\\sunset.swf"));
    EXPECT_EQ("", DeriveDisplayName("C:\\Movies\\"));
}

TEST(TextRulesTest, DoubleByteTrailBytesAreNotBackslashes) {
    // In Shift-JIS, 0x95 0x5C is one character whose second byte is a backslash.
    const char path[] = "C:\\movies\\\x95\x5C.swf";
    EXPECT_EQ("\x95\x5C", DeriveDisplayNameFor(path, 932));
    EXPECT_EQ(".swf", DeriveDisplayNameFor(path, 1252)) << "single-byte: it is a backslash";
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
        {"qmwizard.exe \"C:\\p.qmv\" -x", true, "C:\\p.qmv"},
        {"qmwizard.exe C:\\my projects\\p.qmv -x", true, "C:\\my projects\\p.qmv -x"},
        {"qmwizard.exe  C:\\p.qmv", true, " C:\\p.qmv"},
        {"\"C:\\Program Files\\Flickwell\\qmwizard.exe\" p.qmv", true, "p.qmv"},
        {"\"C:\\Program Files\\Flickwell\\qmwizard.exe\"", false, ""},
        {"qmwizard.exe\tp.qmv", false, ""},
        {"qmwizard.exe \"C:\\unclosed p.qmv", true, "C:\\unclosed p.qmv"},
    };
    for (const Case& c : cases) {
        std::string argument = "stale";
        EXPECT_EQ(c.found, FindCommandArgument(c.line, &argument)) << c.line;
        EXPECT_EQ(c.argument, argument) << c.line;
    }
}

} // namespace
