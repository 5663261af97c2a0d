#include "project_settings.h"

#include "companion.h"

#include <windows.h>

namespace {

const char kSection[] = "Parameters";

struct KeyDefault {
    const char* key;
    const char* value;
};
// The order in which a project file is read, and so the order of a loaded record.
const KeyDefault kKeys[] = {{"DisplayName", ""},     {"MoviePath", ""},
                            {"Company", ""},         {"Copyright", ""},
                            {"DestinationPath", ""}, {"UseDefaultCompany", "True"}};

} // namespace

bool ResolveProjectPath(const char* path, char (&full)[MAX_PATH]) {
    ZeroMemory(full, sizeof(full));
    if (path == NULL || path[0] == '\0') {
        return false;
    }
    DWORD length = GetFullPathNameA(path, MAX_PATH, full, NULL);
    if (length == 0 || length >= MAX_PATH) {
        ZeroMemory(full, sizeof(full));
        return false;
    }
    return true;
}

bool ProjectSettings::Load(const char* path) {
    projectPath_ = path;
    char full[MAX_PATH];
    const bool resolved = ResolveProjectPath(path, full);
    const bool exists = resolved && FileExists(full);
    for (const KeyDefault& k : kKeys) {
        char value[MAX_PATH] = {0};
        if (resolved) {
            // A longer value is cut to what the buffer holds: 259 bytes.
            GetPrivateProfileStringA(kSection, k.key, k.value, value, sizeof(value), full);
        } else {
            lstrcpynA(value, k.value, sizeof(value));
        }
        values_.push_back(std::make_pair(std::string(k.key), std::string(value)));
    }
    return exists;
}

bool ProjectSettings::Save(const char* path) const {
    char full[MAX_PATH];
    if (!ResolveProjectPath(path, full)) {
        return false;
    }
    for (const auto& pair : values_) {
        if (!WritePrivateProfileStringA(kSection, pair.first.c_str(), pair.second.c_str(), full)) {
            return false;
        }
    }
    return true;
}

std::string ProjectSettings::Get(const char* key) const {
    for (const auto& pair : values_) {
        if (pair.first == key) {
            return pair.second;
        }
    }
    return std::string();
}

void ProjectSettings::Set(const char* key, const std::string& value) {
    for (auto& pair : values_) {
        if (pair.first == key) {
            pair.second = value;
            return;
        }
    }
    values_.push_back(std::make_pair(std::string(key), value));
}
