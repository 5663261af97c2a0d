// The installer's entry: everything it does lives in setup_core.
#include <windows.h>

#include "setup/command_line.h"
#include "setup/roles.h"

namespace {

// The platform branch is decided once, before the entry function runs.
struct PlatformVersion {
    OSVERSIONINFOA info;
    PlatformVersion() {
        ZeroMemory(&info, sizeof(info));
        info.dwOSVersionInfoSize = sizeof(info);
        GetVersionExA(&info);
    }
};
const PlatformVersion g_version;

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    RestrictDllSearch();
    // Cut the program name ourselves, so every runtime hands the roles the same text.
    return RunSetup(instance, SkipProgramName(GetCommandLineA()), g_version.info.dwPlatformId);
}
