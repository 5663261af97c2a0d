// Measures the screen saver (not a test; scripts/bench-saver.sh runs it under Wine):
//   start-up: from process creation to the control's Play, beside an empty program that
//   creates and destroys a window, interleaved in one run; and, with the script reading
//   the host's process times, the CPU the saver uses while the player shows a still movie.
// Usage: bench_saver.exe RUNS STILL_MOVIE.swf SECONDS
#include "saver_process.h"
#include "test_control.h"
#include "test_env.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

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

// Milliseconds from creating the saver's process to the control's Play, or -1.
double SaverStartup(const std::string& log) {
    DeleteFileA(log.c_str());
    SaverProcess saver;
    LONGLONG start = Now();
    if (!saver.Start(BinPath("template.scr"), "/s")) {
        return -1;
    }
    double result = -1;
    for (int i = 0; i < 1000 && result < 0; ++i) {
        for (const std::string& line : ReadLines(log)) {
            if (line.compare(0, 5, "Play ") == 0) {
                result = Ms(_atoi64(line.c_str() + 5) - start);
                break;
            }
        }
        Sleep(2);
    }
    HWND window = saver.WaitForWindow("WindowsScreenSaverClass", NULL, 5000);
    PostMessageA(window, WM_KEYDOWN, VK_SPACE, 0);
    saver.WaitForExit(10000);
    return result;
}

// Milliseconds from creating the empty program's process to its end.
double EmptyProgram() {
    SaverProcess empty;
    LONGLONG start = Now();
    if (!empty.Start(NextToThisProgram("bench_empty_window.exe"), "")) {
        return -1;
    }
    empty.WaitForExit(10000);
    return Ms(Now() - start);
}

void Summarise(const char* what, std::vector<double> values) {
    std::sort(values.begin(), values.end());
    printf("%-34s min %7.1f ms   median %7.1f ms   max %7.1f ms   (%u runs)\n", what,
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
    int runs = argc > 1 ? atoi(argv[1]) : 20;
    std::string stillMovie = argc > 2 ? argv[2] : "";
    int seconds = argc > 3 ? atoi(argv[3]) : 10;

    // Start-up, with the stand-in that notes when Play arrives.
    if (!RegisterFlashStandIn(CLSID_TestTimedPlay)) {
        fprintf(stderr, "cannot register the timing control\n");
        return 1;
    }
    std::string log = TempDir() + "bench.log";
    SetEnvironmentVariableA("FLICKWELL_CONTROL_LOG", log.c_str());
    SaverStartup(log); // the first run pays for loading everything once
    EmptyProgram();
    std::vector<double> saver, empty;
    for (int i = 0; i < runs; ++i) {
        double a = SaverStartup(log);
        double b = EmptyProgram();
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
    Summarise("template.scr /s, start to Play", saver);
    Summarise("empty window program, start to end", empty);
    std::sort(saver.begin(), saver.end());
    std::sort(empty.begin(), empty.end());
    printf("median difference: %.1f ms (aim: within 50 ms)\n",
           saver[saver.size() / 2] - empty[empty.size() / 2]);

    // Idle CPU while the movie player shows a still movie.
    UnregisterFlashStandIn();
    std::string copy = TempDir() + "flickwell_bench_still.scr";
    std::string animated = TempDir() + "flickwell_bench_animated.scr";
    if (!RegisterPlayer() || stillMovie.empty() || !SaverWithMovie(copy, stillMovie) ||
        !CopyFileA(BinPath("template.scr").c_str(), animated.c_str(), FALSE)) {
        fprintf(stderr, "cannot set up the still movie with the player\n");
        return 1;
    }
    // The animated default movie beside it shows that the measurement sees work.
    struct Movie {
        const char* what;
        std::string program;
    } movies[] = {{"still movie", copy}, {"animated default movie", animated}};
    for (const Movie& movie : movies) {
        SaverProcess saver;
        saver.Start(movie.program, "/s");
        HWND window = saver.WaitForWindow("WindowsScreenSaverClass", NULL, 10000);
        Sleep(1000); // past start-up
        // Wine tells nothing of another process's CPU time: the script reads it from the
        // host while this line's program runs undisturbed.
        printf("IDLE %s|%s|%d\n", movie.what,
               movie.program.substr(movie.program.find_last_of('\\') + 1).c_str(), seconds);
        fflush(stdout);
        Sleep(seconds * 1000 + 500);
        PostMessageA(window, WM_KEYDOWN, VK_SPACE, 0);
        saver.WaitForExit(10000);
    }
    return 0;
}
