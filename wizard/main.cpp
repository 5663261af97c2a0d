#include "wizard_sheet.h"

#include <windows.h>

namespace {

OSVERSIONINFOA ReadVersion() {
    OSVERSIONINFOA version;
    ZeroMemory(&version, sizeof(version));
    version.dwOSVersionInfoSize = sizeof(version);
    GetVersionExA(&version);
    return version;
}

// Read before WinMain runs; only the platform is consulted.
const OSVERSIONINFOA g_version = ReadVersion();

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    return WizardMain(instance, g_version);
}
