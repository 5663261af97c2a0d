// On the Windows 95/98/Me family the wizard says so and ends with -1.
#include "message_box.h"
#include "test_env.h"

#include <gtest/gtest.h>

TEST(WizardOsGate, RefusesTheWindows9xFamily) {
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process;
    std::string line = "\"" + BinPath("qmwizard.exe") + "\"";
    ASSERT_TRUE(
        CreateProcessA(NULL, &line[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process));
    MessageBoxInfo box;
    ASSERT_TRUE(WaitForMessageBox(process.dwProcessId, 15000, &box));
    EXPECT_EQ("Flickwell Wizard", box.caption);
    EXPECT_EQ("Tovik Flickwell Wizard does not support Windows 95/98/ME now, sorry. Click OK to "
              "quit.",
              box.text);
    EXPECT_EQ(BoxIcon::Information, box.icon);
    EXPECT_EQ(std::vector<int>{IDOK}, box.buttons);
    PressButton(box, IDOK);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process.hProcess, 15000));
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    EXPECT_EQ(static_cast<DWORD>(-1), code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}
