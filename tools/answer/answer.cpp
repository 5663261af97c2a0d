// fwanswer: starts a program and answers its message boxes as a person would, printing
// what each box says. For scripts that run our installers under Wine without a person.
//
//   fwanswer.exe BUTTONS COMMAND LINE...
//   fwanswer.exe BUTTONS --uninstall "DISPLAY NAME"
//
// BUTTONS is a comma-separated list (ok, yes, no, cancel): one answer per box, in the
// order the boxes appear. The rest of the line is started exactly as written; with
// --uninstall, the "UninstallString" of the uninstall entry whose "DisplayName" is the
// name given is started exactly as stored, as the system's list of programs would.
// The exit code is the program's, or 3 when an expected box did not come.
// FWANSWER_WAIT_SECONDS, when set, replaces the 60 s each box and the program's end may
// take (a 32-bit program started through an emulator needs minutes).
#include "common/unique_handle.h"
#include "message_box.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

DWORD g_boxTimeoutMs = 60000;
DWORD g_exitTimeoutMs = 120000;

void ReadTimeouts() {
    char text[16] = {0};
    const DWORD length = GetEnvironmentVariableA("FWANSWER_WAIT_SECONDS", text, sizeof(text));
    const unsigned long seconds = length > 0 && length < sizeof(text) ? strtoul(text, NULL, 10) : 0;
    if (seconds > 0 && seconds < 3600) {
        g_boxTimeoutMs = g_exitTimeoutMs = static_cast<DWORD>(seconds * 1000);
    }
}

// Skips one token of a command line (quotes group blanks) and the blanks after it.
const char* SkipToken(const char* line) {
    bool quoted = false;
    while (*line != '\0' && (quoted || (*line != ' ' && *line != '\t'))) {
        if (*line == '"') {
            quoted = !quoted;
        }
        ++line;
    }
    while (*line == ' ' || *line == '\t') {
        ++line;
    }
    return line;
}

bool ParseButtons(const std::string& list, std::vector<int>* buttons) {
    size_t start = 0;
    while (start <= list.size()) {
        size_t comma = list.find(',', start);
        std::string word =
            list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (word == "ok") {
            buttons->push_back(IDOK);
        } else if (word == "yes") {
            buttons->push_back(IDYES);
        } else if (word == "no") {
            buttons->push_back(IDNO);
        } else if (word == "cancel") {
            buttons->push_back(IDCANCEL);
        } else {
            return false;
        }
        if (comma == std::string::npos) {
            break;
        }
        start = comma + 1;
    }
    return true;
}

// The uninstall command of the entry named `displayName` in one registry view.
bool FindUninstallCommandIn(REGSAM view, const std::string& displayName, std::string* command) {
    const char kUninstall[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
    HKEY opened = NULL;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstall, 0, KEY_READ | view, &opened) !=
        ERROR_SUCCESS) {
        return false;
    }
    RegKey list(opened);
    bool found = false;
    char entry[256];
    for (DWORD i = 0; !found; ++i) {
        DWORD length = sizeof(entry);
        if (RegEnumKeyExA(list.Get(), i, entry, &length, NULL, NULL, NULL, NULL) != ERROR_SUCCESS) {
            break;
        }
        char name[1024] = {0}, uninstall[1024] = {0};
        DWORD nameSize = sizeof(name) - 1, uninstallSize = sizeof(uninstall) - 1;
        if (RegGetValueA(list.Get(), entry, "DisplayName", RRF_RT_REG_SZ, NULL, name, &nameSize) ==
                ERROR_SUCCESS &&
            displayName == name &&
            RegGetValueA(list.Get(), entry, "UninstallString", RRF_RT_REG_SZ, NULL, uninstall,
                         &uninstallSize) == ERROR_SUCCESS) {
            *command = uninstall;
            found = true;
        }
    }
    return found;
}

// Like the system's list of programs, both views: this program's own first, then the
// 32-bit one (where a 32-bit installer writes when this program is 64-bit).
bool FindUninstallCommand(const std::string& displayName, std::string* command) {
    return FindUninstallCommandIn(0, displayName, command) ||
           FindUninstallCommandIn(KEY_WOW64_32KEY, displayName, command);
}

// The next box of the program, or false once it has ended without one or time is up.
bool WaitForBox(HANDLE process, DWORD pid, MessageBoxInfo* box) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < g_boxTimeoutMs) {
        if (WaitForMessageBox(pid, 250, box)) {
            return true;
        }
        if (WaitForSingleObject(process, 0) == WAIT_OBJECT_0) {
            return false;
        }
    }
    return false;
}

const char* ButtonName(int id) {
    switch (id) {
    case IDOK:
        return "OK";
    case IDYES:
        return "Yes";
    case IDNO:
        return "No";
    default:
        return "Cancel";
    }
}

std::string OneLine(const std::string& text) {
    std::string line;
    for (char c : text) {
        if (c == '\r') {
            continue;
        }
        line += c == '\n' ? ' ' : c;
    }
    return line;
}

} // namespace

int main(int argc, char** argv) {
    ReadTimeouts();
    std::vector<int> buttons;
    if (argc < 3 || !ParseButtons(argv[1], &buttons)) {
        fprintf(stderr, "usage: fwanswer ok|yes|no|cancel[,...] COMMAND LINE...\n");
        return 2;
    }
    std::string command = SkipToken(SkipToken(GetCommandLineA()));
    if (lstrcmpA(argv[2], "--uninstall") == 0) {
        if (argc != 4) {
            fprintf(stderr, "usage: fwanswer BUTTONS --uninstall \"DISPLAY NAME\"\n");
            return 2;
        }
        const std::string name = argv[3];
        if (!FindUninstallCommand(name, &command)) {
            fprintf(stderr, "fwanswer: no uninstall entry named \"%s\"\n", name.c_str());
            return 2;
        }
        printf("  uninstall command: %s\n", command.c_str());
        fflush(stdout);
    }
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');

    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process;
    if (!CreateProcessA(NULL, line.data(), NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) {
        fprintf(stderr, "fwanswer: cannot start %s (error %lu)\n", command.c_str(), GetLastError());
        return 2;
    }
    CloseHandle(process.hThread);
    KernelHandle program(process.hProcess);

    int result = 0;
    for (int button : buttons) {
        MessageBoxInfo box;
        if (!WaitForBox(program.Get(), process.dwProcessId, &box)) {
            DWORD code = 0;
            if (WaitForSingleObject(program.Get(), 0) == WAIT_OBJECT_0 &&
                GetExitCodeProcess(program.Get(), &code)) {
                // A program whose box could not be created (no display driver) ends too.
                fprintf(stderr, "fwanswer: no message box came (the program ended, code %ld)\n",
                        static_cast<long>(code));
            } else {
                fprintf(stderr, "fwanswer: no message box came (time is up)\n");
            }
            result = 3;
            break;
        }
        printf("  message box \"%s\": %s -> %s\n", box.caption.c_str(), OneLine(box.text).c_str(),
               ButtonName(button));
        fflush(stdout);
        PressButton(box, button);
        // The next box may only come once this one is gone.
        for (int i = 0; i < 200 && IsWindow(box.window); ++i) {
            Sleep(50);
        }
    }
    DWORD code = 3;
    if (WaitForSingleObject(program.Get(), g_exitTimeoutMs) == WAIT_OBJECT_0) {
        GetExitCodeProcess(program.Get(), &code);
    } else {
        fprintf(stderr, "fwanswer: the program did not end\n");
        TerminateProcess(program.Get(), 3);
    }
    return result != 0 ? result : static_cast<int>(code);
}
