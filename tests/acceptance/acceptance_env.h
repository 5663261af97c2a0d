// Paths the acceptance tests get from the test runner beyond test_env.h's.
#pragma once

#include <cstdlib>
#include <string>

// A Unix path from the environment, as a Windows program under Wine names it (drive Z:).
inline std::string WindowsPathFromEnvironment(const char* variable) {
    const char* value = getenv(variable);
    std::string path = value != NULL ? value : "";
    if (!path.empty() && path[0] == '/') {
        path = "Z:" + path;
    }
    for (char& c : path) {
        if (c == '/') {
            c = '\\';
        }
    }
    return path;
}
