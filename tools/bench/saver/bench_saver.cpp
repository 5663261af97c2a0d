// Measures the screen saver (not a test; scripts/bench-saver.sh runs it under Wine):
//   start-up: from process creation to the movie's first frame on the screen, with the
//   player built into the saver (nothing registered, as on an end user's machine), beside
//   an empty program that creates and destroys a window, interleaved in one run; and, with
//   the script reading the host's process times, the CPU the saver uses while it plays a
//   still movie and an animated one, full screen.
// Usage: bench_saver.exe RUNS STILL_MOVIE.swf SECONDS
#include "saver_process.h"
#include "test_env.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Both movies' stage colour (tools/make_movie.py and the script's still movie).
const COLORREF kStage = RGB(0x1E, 0x4A, 0x7A);

double Ms(LONGLONG ticks) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(ticks) / static_cast<double>(frequency.QuadPart);
}

LONGLONG Now() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

COLORREF ScreenCentre() {
    HDC screen = GetDC(NULL);
    const COLORREF colour =
        GetPixel(screen, GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2);
    ReleaseDC(NULL, screen);
    return colour;
}

// Milliseconds from creating the saver's process to its movie on the screen, or -1.
double SaverFirstFrame(const std::string& program) {
    SaverProcess saver;
    const LONGLONG start = Now();
    if (!saver.Start(program, "/s")) {
        return -1;
    }
    double result = -1;
    while (result < 0 && Ms(Now() - start) < 10000) {
        if (ScreenCentre() == kStage) {
            result = Ms(Now() - start);
        }
    }
    HWND window = saver.WaitForWindow("WindowsScreenSaverClass", NULL, 5000);
    PostMessageA(window, WM_KEYDOWN, VK_SPACE, 0);
    saver.WaitForExit(10000);
    return result;
}

// Milliseconds from creating the empty program's process to its end.
double EmptyProgram() {
    SaverProcess empty;
    const LONGLONG start = Now();
    if (!empty.Start(NextToThisProgram("bench_empty_window.exe"), "")) {
        return -1;
    }
    empty.WaitForExit(10000);
    return Ms(Now() - start);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void Summarise(const char* what, std::vector<double> values) {
    std::sort(values.begin(), values.end());
    printf("%-44s min %7.1f ms   median %7.1f ms   max %7.1f ms   (%u runs)\n", what,
           values.front(), values[values.size() / 2], values.back(),
           static_cast<unsigned>(values.size()));
}

// A copy of template.scr whose movie is `movie`.
bool SaverWithMovie(const std::string& copy, const std::string& movie) {
    std::vector<unsigned char> bytes;
    if (!ReadFileBytes(movie, &bytes) ||
        !CopyFileA(BinPath("template.scr").c_str(), copy.c_str(), FALSE)) {
        return false;
    }
    HANDLE update = BeginUpdateResourceA(copy.c_str(), FALSE);
    return update != NULL &&
           UpdateResourceA(update, "SWF", MAKEINTRESOURCEA(202),
                           MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), bytes.data(),
                           static_cast<DWORD>(bytes.size())) &&
           EndUpdateResourceA(update, FALSE);
}

} // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? atoi(argv[1]) : 20;
    const std::string stillMovie = argc > 2 ? argv[2] : "";
    const int seconds = argc > 3 ? atoi(argv[3]) : 10;

    UnregisterFlashStandIn(); // nothing registered: the saver plays with its own player
    const std::string still = TempDir() + "flickwell_bench_still.scr";
    const std::string animated = BinPath("template.scr"); // the default movie moves
    if (stillMovie.empty() || !SaverWithMovie(still, stillMovie)) {
        fprintf(stderr, "cannot make the saver with the still movie\n");
        return 1;
    }
    printf("screen %d x %d\n", GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    SaverFirstFrame(still); // the first run pays for loading everything once
    EmptyProgram();
    std::vector<double> saver, empty;
    for (int i = 0; i < runs; ++i) {
        const double a = SaverFirstFrame(still);
        const double b = EmptyProgram();
        if (a >= 0) {
            saver.push_back(a);
        }
        if (b >= 0) {
            empty.push_back(b);
        }
    }
    if (saver.empty() || empty.empty()) {
        fprintf(stderr, "no measurements\n");
        return 1;
    }
    Summarise("template.scr /s, start to first frame shown", saver);
    Summarise("empty window program, start to end", empty);
    printf("median difference: %.1f ms\n", Median(saver) - Median(empty));

    const struct Movie {
        const char* what;
        std::string program;
    } movies[] = {{"still movie", still}, {"animated default movie", animated}};
    for (const Movie& movie : movies) {
        SaverProcess running;
        running.Start(movie.program, "/s");
        HWND window = running.WaitForWindow("WindowsScreenSaverClass", NULL, 10000);
        Sleep(1000); // past start-up
        // Wine tells nothing of another process's CPU time: the script reads it from the
        // host while this line's program runs undisturbed.
        printf("IDLE %s|%s|%d\n", movie.what,
               movie.program.substr(movie.program.find_last_of('\\') + 1).c_str(), seconds);
        fflush(stdout);
        Sleep(seconds * 1000 + 500);
        PostMessageA(window, WM_KEYDOWN, VK_SPACE, 0);
        running.WaitForExit(10000);
    }
    DeleteFileA(still.c_str());
    return 0;
}
