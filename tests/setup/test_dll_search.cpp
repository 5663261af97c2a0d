// Once the installer has restricted the DLL search, a library in the current folder is
// no longer found by name: a planted DLL in a downloads folder stays unloaded.
#include "setup/roles.h"
#include "test_env.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string PlantedLibrary() {
    char path[MAX_PATH] = {0};
    GetModuleFileNameA(NULL, path, MAX_PATH);
    std::string own = path;
    return own.substr(0, own.rfind('\\')) + "\\planted\\flickwell_planted.dll";
}

TEST(DllSearch, LibraryInTheCurrentFolderIsNotLoadedAfterRestriction) {
    const std::string downloads = MakeScratchDir("Downloads");
    ASSERT_TRUE(CopyFileA(PlantedLibrary().c_str(), (downloads + "planted.dll").c_str(), FALSE));
    ASSERT_TRUE(SetCurrentDirectoryA(downloads.c_str()));

    HMODULE before = LoadLibraryA("planted.dll");
    ASSERT_TRUE(before != NULL) << "the current folder is searched by default";
    FreeLibrary(before);

    EXPECT_TRUE(RestrictDllSearch());
    HMODULE after = LoadLibraryA("planted.dll");
    EXPECT_TRUE(after == NULL);
    if (after != NULL) {
        FreeLibrary(after);
    }
    // The system's own libraries are still found.
    HMODULE system = LoadLibraryA("version.dll");
    EXPECT_TRUE(system != NULL);
    if (system != NULL) {
        FreeLibrary(system);
    }
}

} // namespace
