// fwanswer, which the demo relies on to get through our installers' message boxes: it
// answers them in order, starts an uninstall entry's command as stored, and gives up
// when a box it was told to expect never comes.
#include "acceptance_helpers.h"
#include "test_env.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const char kUninstallList[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

std::string Answer(const std::string& arguments) {
    return "\"" + WindowsPathFromEnvironment("FLICKWELL_TOOLS_DIR") + "\\fwanswer.exe\" " +
           arguments;
}

bool EntryExists(const char* stem) {
    return KeyExists(HKEY_LOCAL_MACHINE, (std::string(kUninstallList) + "\\" + stem).c_str());
}

TEST(AnswerTool, InstallsAndUninstallsTheDeliveredStubWithoutAPerson) {
    // The stub as delivered installs its default saver under the stem "ssqmv".
    ASSERT_EQ(0u, RunAndWait(Answer("ok \"" + BinPath("setup.ex_") + "\""), 120000));
    EXPECT_TRUE(EntryExists("ssqmv"));

    ASSERT_EQ(0u, RunAndWait(Answer("yes,ok --uninstall \"Template Screen Saver\""), 120000));
    EXPECT_FALSE(EntryExists("ssqmv"));
}

TEST(AnswerTool, ReportsWhatItCannotDo) {
    EXPECT_EQ(2u, RunAndWait(Answer("ok --uninstall \"No Such Screen Saver\""), 60000));
    EXPECT_EQ(2u, RunAndWait(Answer("maybe \"" + BinPath("setup.ex_") + "\""), 60000));
    // A program that ends without the box it was expected to show.
    EXPECT_EQ(3u, RunAndWait(Answer("ok \"" + BinPath("qmbuild.exe") + "\" --help"), 60000));
}

} // namespace
