// Runs the built screen saver as Windows does and looks at what it shows: its windows,
// its message boxes, its temporary movie file, and what the test control was told.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Points the Flash ProgID at one of the test controls (test_control.h), or at nothing.
bool RegisterFlashStandIn(const CLSID& clsid);
void UnregisterFlashStandIn();

// The control's log file, emptied; the saver inherits its name through the environment.
std::string ResetControlLog(const char* name);
std::vector<std::string> ReadLines(const std::string& path);
bool HasLineStartingWith(const std::vector<std::string>& lines, const std::string& start);
// Index of the first line that starts with `start`, or -1.
int LineIndex(const std::vector<std::string>& lines, const std::string& start);

// The temporary movie files "swf*.tmp" now in the temporary folder.
std::vector<std::string> MovieFiles();
void RemoveMovieFiles();

// Dispatches this thread's messages for `ms` milliseconds (a preview parent of ours must
// answer the messages its child in the saver's process sends).
void Pump(DWORD ms);

class SaverProcess {
  public:
    SaverProcess() { ZeroMemory(&process_, sizeof(process_)); }
    ~SaverProcess();
    SaverProcess(const SaverProcess&) = delete;
    SaverProcess& operator=(const SaverProcess&) = delete;

    bool Start(const std::string& program, const std::string& args);
    DWORD Id() const { return process_.dwProcessId; }
    // The process's window of `className` (a top-level one, or a child of `parent`).
    HWND WaitForWindow(const char* className, HWND parent, DWORD timeoutMs);
    bool Running() const;
    // The exit code, or -1001 when it did not end in time.
    DWORD WaitForExit(DWORD timeoutMs);

  private:
    PROCESS_INFORMATION process_;
};
