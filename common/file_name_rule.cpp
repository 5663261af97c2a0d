#include "common/file_name_rule.h"

#include <windows.h>

namespace {

bool IsReservedDevice(const char* name) {
    // Windows takes the part before the first dot, without trailing blanks, as the device.
    char base[8] = {0};
    size_t length = 0;
    for (const char* p = name; *p != '\0' && *p != '.'; ++p) {
        if (length == sizeof(base) - 1) {
            return false; // longer than any device name
        }
        base[length++] = *p;
    }
    while (length > 0 && base[length - 1] == ' ') {
        base[--length] = '\0';
    }
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* device : kDevices) {
        if (lstrcmpiA(base, device) == 0) {
            return true;
        }
    }
    if (length == 4 && base[3] >= '0' && base[3] <= '9') {
        base[3] = '\0';
        return lstrcmpiA(base, "COM") == 0 || lstrcmpiA(base, "LPT") == 0;
    }
    return false;
}

} // namespace

FileNameProblem CheckFileName(const char* name, char* offending) {
    if (name[0] == '\0') {
        return FileNameProblem::Empty;
    }
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(name); *p != '\0'; ++p) {
        if (*p < 32 || *p == '<' || *p == '>' || *p == ':' || *p == '"' || *p == '/' ||
            *p == '\\' || *p == '|' || *p == '?' || *p == '*') {
            if (offending != 0) {
                *offending = static_cast<char>(*p);
            }
            return FileNameProblem::Character;
        }
    }
    return IsReservedDevice(name) ? FileNameProblem::Device : FileNameProblem::None;
}
