#include "resource_updater.h"

#include "../common/package_layout.h"
#include "../common/unique_handle.h"

ResourceUpdater::ResourceUpdater() : update_(INVALID_HANDLE_VALUE) {}

ResourceUpdater::~ResourceUpdater() {
    if (IsOpen()) {
        End(true);
    }
}

bool ResourceUpdater::Begin(const char* path, bool deleteExisting) {
    HANDLE update = BeginUpdateResourceA(path, deleteExisting ? TRUE : FALSE);
    // The system reports failure as NULL; keep the object's own empty value then.
    update_ = update != NULL ? update : INVALID_HANDLE_VALUE;
    return update != NULL;
}

bool ResourceUpdater::Update(const char* type, const char* name, const void* data, DWORD size) {
    if (!IsOpen()) {
        return false;
    }
    return UpdateResourceA(update_, type, name, package::kLanguage, const_cast<void*>(data),
                           size) != FALSE;
}

bool ResourceUpdater::UpdateFromFile(const char* type, const char* name, const char* path) {
    if (!IsOpen()) {
        return false;
    }
    FileHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL));
    if (!file.Valid()) {
        return false;
    }
    // A file of 4 GiB or more cannot be one resource; refuse it rather than take the
    // low 32 bits of its size for the whole.
    DWORD high = 0;
    DWORD size = GetFileSize(file.Get(), &high);
    if (size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) {
        return false;
    }
    if (high != 0) {
        return false;
    }
    // A file of 0 bytes fails here: no buffer of 0 bytes can be committed.
    VirtualBuffer buffer(VirtualAlloc(NULL, size, MEM_COMMIT, PAGE_READWRITE));
    if (!buffer.Valid()) {
        return false;
    }
    DWORD read = 0;
    if (!ReadFile(file.Get(), buffer.Get(), size, &read, NULL) || read != size) {
        return false;
    }
    file.Reset(INVALID_HANDLE_VALUE);
    // The update service keeps its own copy until End, so the buffer goes at once.
    return Update(type, name, buffer.Get(), size);
}

bool ResourceUpdater::End(bool discard) {
    if (!IsOpen()) {
        return false;
    }
    BOOL ok = EndUpdateResourceA(update_, discard ? TRUE : FALSE);
    update_ = INVALID_HANDLE_VALUE;
    return ok != FALSE;
}
