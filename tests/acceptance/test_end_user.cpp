// An end user's machine: a fresh system where nothing was ever installed, no Flash control,
// no toolkit, nothing registered. The installer that qmbuild made in the story's system
// (acceptance_story) runs here; the system starts the screen saver from its setting, and
// it plays its movie with the player it carries: no message box, the movie on the screen
// (kept as a screenshot for the host check against the engine's own picture), and nothing
// left behind when the mouse moves.
#include "acceptance_helpers.h"
#include "player/control/player_contract.h"
#include "system_driver.h"
#include "window_driver.h"

#include <gtest/gtest.h>

#include <objbase.h>

#include <string>

namespace {

const char kDesktop[] = "Control Panel\\Desktop";
const char kName[] = "Still Life";
const DWORD kStage = 0x1E4A7A; // the movie's stage colour (make_end_user_movie.py)

TEST(EndUser, TheInstalledSaverPlaysItsMovieWhereNothingElseIsInstalled) {
    CLSID flash;
    ASSERT_FALSE(SUCCEEDED(CLSIDFromProgID(L"ShockwaveFlash.ShockwaveFlash", &flash)))
        << "this system should know no Flash control";

    const std::string installer = WindowsPathFromEnvironment("FLICKWELL_END_USER_INSTALLER");
    ASSERT_TRUE(FileExistsAt(installer)) << "acceptance_story leaves it: " << installer;
    ASSERT_NO_FATAL_FAILURE(InstallPackage(installer, kName));

    std::string current;
    ASSERT_TRUE(ReadString(HKEY_CURRENT_USER, kDesktop, "SCRNSAVE.EXE", &current));
    Process saver(current + " /s");
    ASSERT_TRUE(saver.started) << current;
    HWND player = WaitForWindowOfClass(saver.info.dwProcessId, "FlickwellPlayer", 20000);
    ASSERT_TRUE(player != NULL) << "no movie player in the screen saver";
    const std::string url = WindowText(player);
    ASSERT_EQ("file://", url.substr(0, 7)) << url;
    const std::string moviePath = url.substr(7);

    // The movie shows (its stage colour at the screen's corner, in the band around it), and
    // no message box came.
    Screenshot shot;
    for (int i = 0; i < 100; ++i) {
        shot = TakeScreenshot();
        if ((shot.pixels[0] & 0xFFFFFF) == kStage) {
            break;
        }
        Sleep(100);
    }
    EXPECT_EQ(kStage, shot.pixels[0] & 0xFFFFFF) << "the movie is not on the screen";
    const UINT query = RegisterWindowMessageW(kPlayerQueryMessage);
    DWORD_PTR playing = 0;
    SendMessageTimeoutW(player, query, kQueryPlaying, 0, SMTO_ABORTIFHUNG, 5000, &playing);
    EXPECT_EQ(1u, playing);
    MessageBoxInfo box;
    EXPECT_FALSE(WaitForMessageBox(saver.info.dwProcessId, 500, &box)) << box.text;
    EXPECT_TRUE(shot.Save(OutputPath("end_user_screen.bmp")));

    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    const POINT moves[] = {{width / 2, height / 2},
                           {width / 2 + 40, height / 2 + 30},
                           {width / 2 + 120, height / 2 + 90}};
    MoveMouseThrough(moves, 3);
    EXPECT_NE(STILL_ACTIVE, WaitForExit(saver.info.hProcess, 10000))
        << "the mouse move did not end the screen saver";
    EXPECT_TRUE(WaitUntilGone(moviePath, 5000)) << "the temporary movie stays: " << moviePath;
}

} // namespace
