#include "common/package_layout.h"
#include "wizard/resource_updater.h"
#include "test_env.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const char* const kMovieType = package::kMovieType;
const char* const kMovieName = MAKEINTRESOURCEA(package::kMovieId);

class ResourceUpdaterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = MakeScratchDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
        target_ = dir_ + "target.scr";
        ASSERT_TRUE(CopyFileA(BinPath("template.scr").c_str(), target_.c_str(), FALSE));
        ASSERT_TRUE(ReadFileBytes(target_, &original_));
    }

    std::string Source(const char* name, size_t size) {
        std::vector<unsigned char> bytes(size);
        for (size_t i = 0; i < size; ++i) {
            bytes[i] = static_cast<unsigned char>((i * 7 + 3) & 0xFF);
        }
        std::string path = dir_ + name;
        EXPECT_TRUE(WriteFileBytes(path, bytes));
        return path;
    }

    std::vector<unsigned char> TargetBytes() {
        std::vector<unsigned char> bytes;
        EXPECT_TRUE(ReadFileBytes(target_, &bytes));
        return bytes;
    }

    // The source can be opened for exclusive writing again: nothing of ours holds it.
    static bool Released(const std::string& path) {
        HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
        if (h == INVALID_HANDLE_VALUE) {
            return false;
        }
        CloseHandle(h);
        return true;
    }

    std::string dir_, target_;
    std::vector<unsigned char> original_;
};

TEST_F(ResourceUpdaterTest, FileBecomesTheResourceInPlaceOfTheStubs) {
    const std::string movie = Source("movie.swf", 10000);
    ResourceUpdater updater;
    ASSERT_TRUE(updater.Begin(target_.c_str(), false));
    ASSERT_TRUE(updater.UpdateFromFile(kMovieType, kMovieName, movie.c_str()));
    EXPECT_TRUE(Released(movie)) << "the source is closed before the commit";
    ASSERT_TRUE(updater.End(false));
    EXPECT_FALSE(updater.IsOpen());

    HMODULE module = LoadLibraryExA(target_.c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(module != NULL);
    HRSRC found = FindResourceA(module, kMovieName, "swf");
    ASSERT_TRUE(found != NULL);
    ASSERT_EQ(10000u, SizeofResource(module, found));
    std::vector<unsigned char> expected;
    ASSERT_TRUE(ReadFileBytes(movie, &expected));
    const unsigned char* data =
        static_cast<const unsigned char*>(LockResource(LoadResource(module, found)));
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), data));
    // Every other resource stays as delivered.
    char name[MAX_PATH] = {0};
    LoadStringA(module, 1, name, MAX_PATH);
    EXPECT_STREQ("Tovik Screen Saver", name);
    FreeLibrary(module);

    // Left for the host-side check with an independent PE reader.
    ASSERT_TRUE(CopyFileA(target_.c_str(), OutputPath("updated.scr").c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(movie.c_str(), OutputPath("movie.swf").c_str(), FALSE));
}

TEST_F(ResourceUpdaterTest, UnreadableSourcesFailAndLeaveTheTargetAlone) {
    const std::string empty = Source("empty.swf", 0);
    const std::string missing = dir_ + "missing.swf";
    const std::string busy = Source("busy.swf", 500);
    // Another writer holds this one; we share reading only, so our open must fail.
    HANDLE writer = CreateFileA(busy.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, writer);

    for (const std::string& source : {empty, missing, busy, dir_}) {
        ResourceUpdater updater;
        ASSERT_TRUE(updater.Begin(target_.c_str(), false));
        EXPECT_FALSE(updater.UpdateFromFile(kMovieType, kMovieName, source.c_str())) << source;
        // Committing after the failure changes nothing either.
        EXPECT_TRUE(updater.End(false));
        HMODULE module = LoadLibraryExA(target_.c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_TRUE(module != NULL);
        HRSRC found = FindResourceA(module, kMovieName, "swf");
        ASSERT_TRUE(found != NULL);
        std::vector<unsigned char> movie;
        ASSERT_TRUE(ReadFileBytes(GeneratedPath("default.swf"), &movie));
        EXPECT_EQ(movie.size(), SizeofResource(module, found)) << source;
        FreeLibrary(module);
    }
    CloseHandle(writer);
    EXPECT_TRUE(Released(empty));
    EXPECT_TRUE(Released(busy));
}

TEST_F(ResourceUpdaterTest, BeginOnAMissingFileFails) {
    ResourceUpdater updater;
    EXPECT_FALSE(updater.Begin((dir_ + "nothing.exe").c_str(), false));
    EXPECT_FALSE(updater.IsOpen());
    EXPECT_FALSE(updater.Update(kMovieType, kMovieName, "x", 1));
    EXPECT_FALSE(updater.End(false));
}

TEST_F(ResourceUpdaterTest, AnUpdateLeftOpenIsDiscarded) {
    {
        ResourceUpdater updater;
        ASSERT_TRUE(updater.Begin(target_.c_str(), false));
        ASSERT_TRUE(updater.Update(kMovieType, kMovieName, "changed", 7));
    }
    EXPECT_EQ(original_, TargetBytes());
    EXPECT_TRUE(Released(target_));
}

} // namespace
