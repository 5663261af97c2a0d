// Runs the built screen saver as Windows does and looks at what it shows: its windows,
// its message boxes and its temporary movie file.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

const char kSaverClass[] = "WindowsScreenSaverClass";
const char kHostClass[] = "AtlAxWin7"; // the control's container
const DWORD kWait = 20000;

// A file in the folder of the running program (the tests and their helpers share one).
std::string NextToThisProgram(const char* name);

// Points the Flash ProgID at one of the test controls (test_control.h), or at nothing;
// or registers the movie player control.
bool RegisterFlashStandIn(const CLSID& clsid);
void UnregisterFlashStandIn();
bool RegisterPlayer();
// Leaves nothing registered: neither the player nor a stand-in.
bool UnregisterPlayer();

std::vector<std::string> ReadLines(const std::string& path);
std::vector<unsigned char> EmbeddedMovie(); // SWF 202 of template.scr

// The temporary movie files "swf*.tmp" now in the temporary folder.
std::vector<std::string> MovieFiles();
void RemoveMovieFiles();
// Expects one movie file, named by a tick count between `before` and now, holding the
// embedded movie byte for byte.
void ExpectOneFaithfulMovieFile(DWORD before);

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
    HWND WaitForWindow(const char* className, HWND parent, DWORD timeoutMs = kWait);
    bool Running() const;
    // Whether the process has loaded the DLL `name` (a file name, any case).
    bool HasModule(const char* name) const;
    // The exit code, or -1001 when it did not end in time.
    DWORD WaitForExit(DWORD timeoutMs = kWait);

  private:
    PROCESS_INFORMATION process_;
};

// The control in the container of a screen saver window, or null.
HWND ControlOf(HWND saverWindow);
