// A test-only PASSWORD.CPL: counts its checks in the file named by
// FLICKWELL_PASSWORD_LOG and accepts from the check numbered FLICKWELL_PASSWORD_ACCEPT_FROM.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

extern "C" BOOL WINAPI VerifyScreenSavePwd(HWND parent) {
    static int checks = 0;
    ++checks;
    char path[MAX_PATH] = {0};
    char from[16] = {0};
    GetEnvironmentVariableA("FLICKWELL_PASSWORD_LOG", path, MAX_PATH);
    GetEnvironmentVariableA("FLICKWELL_PASSWORD_ACCEPT_FROM", from, sizeof(from));
    FILE* log = fopen(path, "ab");
    if (log != NULL) {
        fprintf(log, "check %d %lu\n", checks,
                static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(parent)));
        fclose(log);
    }
    return checks >= atoi(from) ? TRUE : FALSE;
}
