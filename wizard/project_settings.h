// The wizard's settings record and the project file (INI text, section "Parameters").
#pragma once

#include <string>
#include <utility>
#include <vector>

class ProjectSettings {
  public:
    ProjectSettings() {}
    virtual ~ProjectSettings() {}
    ProjectSettings(const ProjectSettings&) = delete;
    ProjectSettings& operator=(const ProjectSettings&) = delete;

    // Remembers the path, then reads the six keys in their fixed order (each with its
    // default when the file, the section or the key is missing). False when the path
    // does not name an existing file.
    bool Load(const char* path);
    // Writes every pair in list order; stops at the first write that fails.
    bool Save(const char* path) const;

    std::string Get(const char* key) const;
    void Set(const char* key, const std::string& value);
    std::string ProjectPath() const { return projectPath_; }

    // The pairs in order, for callers that list them.
    const std::vector<std::pair<std::string, std::string>>& Values() const { return values_; }

  private:
    std::vector<std::pair<std::string, std::string>> values_;
    std::string projectPath_;
};

// The profile functions take a name without a folder relative to the Windows directory.
// Resolve it against the current directory instead, as every other file the user names
// is; false when the full path does not fit MAX_PATH.
bool ResolveProjectPath(const char* path, char (&full)[260]);
