// What the acceptance tests do to a system as a person would, and how they look at it: start
// programs, answer their message boxes, wait for files to go, read the screen.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "message_box.h"
#include "test_env.h"
#include "window_driver.h"

inline bool WaitUntilGone(const std::string& path, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (FileExistsAt(path)) {
        if (GetTickCount() - start > timeoutMs) {
            return false;
        }
        Sleep(100);
    }
    return true;
}

// A started program, ended if a failed step leaves it running.
struct Process {
    PROCESS_INFORMATION info = {};
    bool started;

    explicit Process(std::string commandLine) {
        STARTUPINFOA startup = {};
        startup.cb = sizeof(startup);
        started = CreateProcessA(NULL, &commandLine[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup,
                                 &info) != FALSE;
    }
    ~Process() {
        if (started) {
            TerminateProcess(info.hProcess, 1); // fails harmlessly once it has ended
            CloseHandle(info.hThread);
            CloseHandle(info.hProcess);
        }
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
};

// Waits for the next message box of `pid`, checks what it says and presses `button`.
inline void Answer(DWORD pid, const char* caption, const char* text, BoxIcon icon, int button) {
    MessageBoxInfo box;
    ASSERT_TRUE(WaitForMessageBox(pid, 30000, &box)) << "no message box: " << text;
    EXPECT_EQ(caption, box.caption);
    EXPECT_EQ(text, box.text);
    EXPECT_EQ(BoxIconName(icon), std::string(BoxIconName(box.icon)));
    ASSERT_TRUE(PressButton(box, button));
    for (int i = 0; i < 100 && IsWindow(box.window); ++i) {
        Sleep(50);
    }
}

// The primary screen as it shows now: rows top down, 0x00RRGGBB pixels.
struct Screenshot {
    int width = 0, height = 0;
    std::vector<DWORD> pixels;

    double ShareOf(DWORD rgb) const {
        size_t matching = 0;
        for (DWORD pixel : pixels) {
            matching += (pixel & 0xFFFFFF) == rgb;
        }
        return pixels.empty() ? 0 : static_cast<double>(matching) / pixels.size();
    }

    // A 32-bit top-down BMP file, for a check on the host.
    bool Save(const std::string& path) const {
        BITMAPFILEHEADER file = {};
        BITMAPINFOHEADER info = {sizeof(info), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        const DWORD bytes = static_cast<DWORD>(pixels.size() * 4);
        file.bfType = 0x4D42; // "BM"
        file.bfOffBits = sizeof(file) + sizeof(info);
        file.bfSize = file.bfOffBits + bytes;
        std::vector<unsigned char> out(file.bfSize);
        memcpy(&out[0], &file, sizeof(file));
        memcpy(&out[sizeof(file)], &info, sizeof(info));
        memcpy(&out[file.bfOffBits], pixels.data(), bytes);
        return WriteFileBytes(path, out);
    }
};

inline Screenshot TakeScreenshot() {
    Screenshot shot;
    shot.width = GetSystemMetrics(SM_CXSCREEN);
    shot.height = GetSystemMetrics(SM_CYSCREEN);
    BITMAPINFO info = {};
    info.bmiHeader = {
        sizeof(info.bmiHeader), shot.width, -shot.height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    HDC screen = GetDC(NULL), memory = CreateCompatibleDC(screen);
    void* bits = NULL;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, NULL, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, shot.width, shot.height, screen, 0, 0, SRCCOPY);
    GdiFlush();
    const DWORD* first = static_cast<const DWORD*>(bits);
    shot.pixels.assign(first, first + static_cast<size_t>(shot.width) * shot.height);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(NULL, screen);
    return shot;
}

// Runs a package's installer as an end user would: its one box says it is done.
inline void InstallPackage(const std::string& installer, const char* displayName) {
    Process setup("\"" + installer + "\"");
    ASSERT_TRUE(setup.started) << installer;
    ASSERT_NO_FATAL_FAILURE(Answer(setup.info.dwProcessId, displayName,
                                   "Installation completed successfully.", BoxIcon::Information,
                                   IDOK));
    ASSERT_EQ(0u, WaitForExit(setup.info.hProcess, 30000));
}
