// Screen savers made from movies that ask for more than a machine gives in total
// (tools/hostile_movies.py): forty bitmaps each claiming 4096 x 4096, 64 MB of edges, masks
// nested 64 deep. Each runs full screen for ten seconds, answering its window's messages
// and still playing, and ends as any saver does when the mouse moves.
#include "message_box.h"
#include "saver_process.h"
#include "test_env.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "player/control/player_contract.h"

namespace {

const char* const kMovies[] = {"jpegs_40_claiming_4096", "edges_64mb", "masks_16_on_64_levels"};
const int kSeconds = 10;
const DWORD kPatienceMs = 60000;

// A copy of template.scr carrying `movie` in place of its own, as the wizard builds one.
bool SaverWith(const std::vector<unsigned char>& movie, const std::string& saver) {
    if (!CopyFileA(BinPath("template.scr").c_str(), saver.c_str(), FALSE)) {
        return false;
    }
    HANDLE update = BeginUpdateResourceA(saver.c_str(), FALSE);
    return update != NULL &&
           UpdateResourceA(
               update, "SWF", MAKEINTRESOURCEA(202), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
               const_cast<unsigned char*>(movie.data()), static_cast<DWORD>(movie.size())) &&
           EndUpdateResourceA(update, FALSE);
}

// What the player in the other process answers, or -1 when it does not within a minute:
// loading such a movie and drawing its first frame take seconds of processor time (64 MB
// of edges read, bitmaps decoded when first drawn), and more on a machine shared with others.
LRESULT Ask(HWND control, int what) {
    static const UINT query = RegisterWindowMessageW(L"FlickwellPlayerQuery");
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutA(control, query, what, 0, SMTO_NORMAL, kPatienceMs, &answer)) {
        return -1;
    }
    return static_cast<LRESULT>(answer);
}

TEST(HostileSaver, PlaysFullScreenUntilTheMouseMoves) {
    ASSERT_TRUE(UnregisterPlayer()); // the player built into the saver
    const std::string copy = TempDir() + "hostile.scr";
    for (const char* name : kMovies) {
        SCOPED_TRACE(name);
        std::vector<unsigned char> movie;
        const std::string path = WindowsPathFromEnvironment("FLICKWELL_HOSTILE_DIR") + "\\" + name;
        ASSERT_TRUE(ReadFileBytes(path + ".swf", &movie));
        ASSERT_TRUE(SaverWith(movie, copy));
        SetCursorPos(500, 400);
        SaverProcess saver;
        ASSERT_TRUE(saver.Start(copy, "/s"));
        HWND window = saver.WaitForWindow(kSaverClass, NULL);
        ASSERT_TRUE(window != NULL);
        HWND control = NULL;
        for (int i = 0; i < 250 && control == NULL; ++i) {
            Pump(40);
            control = ControlOf(window);
        }
        ASSERT_TRUE(control != NULL);
        for (int second = 0; second < kSeconds; ++second) {
            Pump(1000);
            ASSERT_TRUE(saver.Running()) << "ended after " << second << " s";
        }
        // It answers, and plays on: the movie was not stopped for want of memory.
        EXPECT_EQ(1, Ask(control, kQueryPlaying));
        MessageBoxInfo box;
        EXPECT_FALSE(WaitForMessageBox(saver.Id(), 100, &box)) << box.text;
        SetCursorPos(530, 400);
        EXPECT_EQ(0u, saver.WaitForExit(kPatienceMs));
    }
    DeleteFileA(copy.c_str());
}

} // namespace
