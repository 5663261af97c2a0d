// One open resource update of one executable file at a time, every resource under 1033.
#pragma once

#include <windows.h>

class ResourceUpdater {
  public:
    ResourceUpdater();
    // An update still open here was left by an error path: discard it, so the target
    // keeps what it had and the system's handle is not leaked.
    ~ResourceUpdater();
    ResourceUpdater(const ResourceUpdater&) = delete;
    ResourceUpdater& operator=(const ResourceUpdater&) = delete;

    bool Begin(const char* path, bool deleteExisting);
    bool Update(const char* type, const char* name, const void* data, DWORD size);
    // The whole file becomes the resource; read once, into one buffer of its exact size.
    bool UpdateFromFile(const char* type, const char* name, const char* path);
    bool End(bool discard);

    bool IsOpen() const { return update_ != INVALID_HANDLE_VALUE; }

  private:
    HANDLE update_;
};
