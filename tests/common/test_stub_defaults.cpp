// The stubs as delivered carry their defaults, and a block written into a copy of one reads
// back, through the platform's own resource and string loading as the programs read them.
#include "common/package_layout.h"
#include "common/string_table_block.h"
#include "common/unique_handle.h"
#include "wizard/resource_updater.h"
#include "test_env.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

HMODULE LoadAsData(const std::string& path) {
    return LoadLibraryExA(path.c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
}

std::string Text(const Library& module, UINT id) {
    char text[MAX_PATH] = {0};
    LoadStringA(module.Get(), id, text, MAX_PATH);
    return text;
}

// The type name is matched without regard to case, as the programs rely on.
std::vector<unsigned char> Resource(const Library& module, const char* type, WORD id) {
    HRSRC found = FindResourceA(module.Get(), MAKEINTRESOURCEA(id), type);
    if (found == NULL) {
        return {};
    }
    const unsigned char* data =
        static_cast<const unsigned char*>(LockResource(LoadResource(module.Get(), found)));
    return std::vector<unsigned char>(data, data + SizeofResource(module.Get(), found));
}

TEST(StubDefaults, TheStubsCarryTheDefaultMovieAndTheirTexts) {
    std::vector<unsigned char> movie;
    ASSERT_TRUE(ReadFileBytes(GeneratedPath("default.swf"), &movie));
    Library saver(LoadAsData(BinPath("template.scr"))), setup(LoadAsData(BinPath("setup.ex_")));
    ASSERT_TRUE(saver.Valid() && setup.Valid());
    // The installer's payload is a screen saver of the template kind.
    const std::string path = MakeScratchDir("defaults") + "payload.scr";
    ASSERT_TRUE(WriteFileBytes(path, Resource(setup, "scr", package::kSaverId)));
    Library payload(LoadAsData(path));
    ASSERT_TRUE(payload.Valid());
    EXPECT_EQ(movie, Resource(saver, "swf", package::kMovieId));
    EXPECT_EQ(movie, Resource(payload, "SWF", package::kMovieId));

    const struct Row {
        const Library& module;
        UINT id;
        const char* text;
    } rows[] = {
        {saver, 1, "Tovik Screen Saver"},
        {saver, 2, ""},
        {saver, 129, "COM initialization failed."},
        {saver, 130, "Module initialization failed."},
        {saver, 131, "Unable to create window."},
        {saver, 132, "Unable to create Macromedia Shockwave Flash control. Is it installed?"},
        {saver, 133, "Control does not support required interface."},
        {saver, 134, "Internal Shockwave Flash error."},
        {setup, 1, "ssqmv"},
        {setup, 2, "Template Screen Saver"},
        {setup, 3, ""},
        {setup, 43, "Failed to intialize COM runtime."},
        {setup, 44, "Failed to extract screen saver (disk full?)"},
        {setup, 47, "This will uninstall screensaver. Continue?"},
        {payload, 1, "Flash Screen Saver"},
        {payload, 134, "Internal Shockwave Flash error."},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.text, Text(row.module, row.id)) << row.id;
    }
}

TEST(StubDefaults, ABlockWrittenIntoAStubReadsBackThroughLoadString) {
    const std::string dir = MakeScratchDir("blocks");
    const struct Stub {
        const char* name;
        std::vector<std::string> texts; // strings 0, 1, ... as read back
        UINT untouchedId;               // in another block, which stays as it was
        const char* untouched;
    } stubs[] = {
        {"template.scr", {"", "Sky", "", ""}, 134, "Internal Shockwave Flash error."},
        {"setup.ex_", {"", "qmv12345", "Sky", ""}, 45, "Installation completed successfully."}};
    for (const Stub& stub : stubs) {
        const std::string path = dir + stub.name;
        ASSERT_TRUE(CopyFileA(BinPath(stub.name).c_str(), path.c_str(), FALSE));
        StringTableBlock block;
        for (UINT id = 1; !stub.texts[id].empty(); ++id) {
            ASSERT_TRUE(block.Add(id, stub.texts[id].c_str(), CP_ACP));
        }
        ResourceUpdater updater;
        ASSERT_TRUE(updater.Begin(path.c_str(), false));
        ASSERT_TRUE(updater.Update(RT_STRING, MAKEINTRESOURCEA(package::kStringBlock), block.Data(),
                                   block.Size()));
        ASSERT_TRUE(updater.End(false));
        Library module(LoadAsData(path));
        ASSERT_TRUE(module.Valid());
        for (UINT id = 0; id < stub.texts.size(); ++id) {
            EXPECT_EQ(stub.texts[id], Text(module, id)) << stub.name << " " << id;
        }
        EXPECT_EQ(stub.untouched, Text(module, stub.untouchedId));
    }
}

} // namespace
