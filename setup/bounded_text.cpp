#include "setup/bounded_text.h"

bool JoinText(char* out, size_t size, std::initializer_list<const char*> parts) {
    size_t used = 0;
    for (const char* part : parts) {
        for (const char* p = part; *p != '\0'; ++p) {
            if (used + 1 >= size) {
                out[0] = '\0';
                return false;
            }
            out[used++] = *p;
        }
    }
    out[used] = '\0';
    return true;
}

bool CopyText(char* out, size_t size, const char* text) {
    return JoinText(out, size, {text});
}
