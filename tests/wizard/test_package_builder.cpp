#include "wizard/companion.h"
#include "wizard/movie_check.h"
#include "wizard/package_builder.h"
#include "test_env.h"
#include "wizard_test_util.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

std::string TestName() {
    return ::testing::UnitTest::GetInstance()->current_test_info()->name();
}

std::vector<unsigned char> Bytes(const std::string& path) {
    std::vector<unsigned char> bytes;
    ReadFileBytes(path, &bytes);
    return bytes;
}

// A held file: opened with no sharing at all, as a running program may hold it.
class HeldFile {
  public:
    explicit HeldFile(const std::string& path)
        : handle_(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_ALWAYS, 0,
                              NULL)) {}
    ~HeldFile() { CloseHandle(handle_); }
    bool Held() const { return handle_ != INVALID_HANDLE_VALUE; }

  private:
    HANDLE handle_;
};

// ---- companion files (the missing and current-user-only entries: end-to-end test) ------

TEST(CompanionPath, JoinsFolderAndNameOrRefusesWhatDoesNotFit) {
    struct Case {
        std::string folder;
        const char* expected;
    } cases[] = {{"C:\\Flickwell\\", "C:\\Flickwell\\setup.ex_"},
                 {"C:\\Flickwell", "C:\\Flickwell\\setup.ex_"},
                 // Folder and name that fit only when cut: refused, not cut.
                 {"C:\\" + std::string(248, 'f'), ""},
                 {"C:\\" + std::string(300, 'f'), ""}};
    char path[MAX_PATH];
    for (const Case& c : cases) {
        SetAppPath(c.folder);
        GetCompanionPath("setup.ex_", path);
        EXPECT_STREQ(c.expected, path) << c.folder;
    }
    // An empty value is a value: the name goes after one backslash.
    HKEY key = NULL;
    RegOpenKeyExA(HKEY_LOCAL_MACHINE,
                  "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\qmwizard.exe", 0,
                  KEY_SET_VALUE, &key);
    RegSetValueExA(key, "Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 1);
    RegCloseKey(key);
    GetCompanionPath("template.scr", path);
    EXPECT_STREQ("\\template.scr", path);
}

// ---- movie check (empty fields and missing files: end-to-end test) ----------------------

TEST(MovieCheckTest, SignatureLengthAndSharing) {
    const std::string dir = MakeScratchDir(TestName().c_str());
    const std::string movie = WriteMovie(dir + "m.swf", "FWS\x01", 100);
    EXPECT_EQ(MovieCheck::Ok, CheckMovie("Sky", movie));
    EXPECT_EQ(MovieCheck::Ok, CheckMovie("Sky", WriteMovie(dir + "a.swf", "FWS", 3)));
    EXPECT_EQ(MovieCheck::NotFlash, CheckMovie("Sky", WriteMovie(dir + "c.swf", "fws", 100)));
    for (size_t size = 0; size < 3; ++size) {
        std::string shortMovie = WriteMovie(dir + "short" + std::to_string(size), "FWS", size);
        EXPECT_EQ(MovieCheck::TooShort, CheckMovie("Sky", shortMovie)) << size;
    }
    EXPECT_EQ(MovieCheck::NotFound, CheckMovie("Sky", dir.substr(0, dir.size() - 1)));
    EXPECT_EQ(MovieCheck::EmptyName, CheckMovie("", ""));
    EXPECT_EQ(MovieCheck::NameTooLong, CheckMovie(std::string(256, 'n'), movie));
    EXPECT_EQ(MovieCheck::Ok, CheckMovie(std::string(255, 'n'), movie));
    {
        HeldFile held(movie);
        ASSERT_TRUE(held.Held());
        EXPECT_EQ(MovieCheck::NotFound, CheckMovie("Sky", movie)) << "exists, but is held";
    }
    // The check leaves nothing open behind it.
    EXPECT_EQ(MovieCheck::Ok, CheckMovie("Sky", movie));
    HeldFile again(movie);
    EXPECT_TRUE(again.Held());
}

// ---- package builder --------------------------------------------------------------------

class BuilderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = MakeScratchDir(TestName().c_str());
        companions_ = InstallCompanions(dir_ + "bin");
        temp_ = dir_ + "temp\\";
        CreateDirectoryA(temp_.c_str(), NULL);
        movie_ = WriteMovie(dir_ + "movie.swf", "FWS", 10000);
        destination_ = dir_ + "Sky.exe";
    }

    BuildPlatform Platform(DWORD tick) {
        BuildPlatform platform;
        platform.tickCount = tick;
        platform.codePage = CP_ACP;
        platform.tempDir = temp_;
        return platform;
    }

    bool Build(DWORD tick, const std::string& name = "Sky") {
        PackageBuilder builder;
        return builder.BuildWith(movie_.c_str(), destination_.c_str(), name.c_str(),
                                 Platform(tick));
    }

    // What a failed build must leave: no temporary screen saver, no preview.
    void ExpectTempClean() {
        EXPECT_TRUE(FilesStartingWith(temp_, "qmv").empty());
        EXPECT_FALSE(FileExistsAt(temp_ + "preview.scr"));
    }

    std::string dir_, companions_, temp_, movie_, destination_;
};

TEST_F(BuilderTest, CompleteExample) {
    ASSERT_TRUE(Build(1234567));

    EXPECT_TRUE(FilesStartingWith(temp_, "qmv").empty());

    const std::string preview = temp_ + "preview.scr";
    std::vector<unsigned char> movie, saverStrings, saver, setupStrings;
    ASSERT_TRUE(ResourceBytes(preview, "SWF", MAKEINTRESOURCEA(202), &movie));
    EXPECT_EQ(Bytes(movie_), movie);
    ASSERT_TRUE(ResourceBytes(preview, MAKEINTRESOURCEA(6), MAKEINTRESOURCEA(1), &saverStrings));
    const unsigned char sky[] = {0, 0, 3, 0, 'S', 0, 'k', 0, 'y', 0};
    ASSERT_EQ(38u, saverStrings.size());
    EXPECT_TRUE(std::equal(sky, sky + sizeof(sky), saverStrings.begin()));
    EXPECT_EQ(std::vector<unsigned char>(28, 0),
              std::vector<unsigned char>(saverStrings.begin() + 10, saverStrings.end()));

    ASSERT_TRUE(ResourceBytes(destination_, "SCR", MAKEINTRESOURCEA(101), &saver));
    EXPECT_EQ(Bytes(preview), saver) << "the installer carries the filled screen saver";
    ASSERT_TRUE(
        ResourceBytes(destination_, MAKEINTRESOURCEA(6), MAKEINTRESOURCEA(1), &setupStrings));
    EXPECT_EQ(54u, setupStrings.size());
    EXPECT_EQ("qmv12345", LoadStringFrom(destination_, 1));
    EXPECT_EQ("Sky", LoadStringFrom(destination_, 2));
    EXPECT_EQ("Sky", LoadStringFrom(preview, 1));
    EXPECT_EQ("", LoadStringFrom(destination_, 3));
    // The rest of the stubs stays as delivered: the installer keeps its icon and version.
    std::vector<unsigned char> version;
    EXPECT_TRUE(ResourceBytes(destination_, MAKEINTRESOURCEA(16), MAKEINTRESOURCEA(1), &version));

    // For the independent PE reader.
    CopyFileA(destination_.c_str(), OutputPath("Sky.exe").c_str(), FALSE);
    CopyFileA(movie_.c_str(), OutputPath("movie.swf").c_str(), FALSE);
}

TEST_F(BuilderTest, TickCountNamesTheTemporaryFileAndTheStem) {
    struct Case {
        DWORD tick;
        const char* temp;
        const char* stem;
    } cases[] = {{42, "qmv00042.scr", "qmv00042"},
                 {99999, "qmv99999.scr", "qmv99999"},
                 {1234567, "qmv1234567.scr", "qmv12345"},
                 {4000000000u, "qmv4000000000.scr", "qmv40000"}};
    for (const Case& c : cases) {
        // A folder standing in the temporary file's place proves its name: the build
        // cannot make the file and fails before touching anything.
        const std::string blocker = temp_ + c.temp;
        DeleteFileA(destination_.c_str());
        ASSERT_TRUE(CreateDirectoryA(blocker.c_str(), NULL));
        EXPECT_FALSE(Build(c.tick)) << c.temp;
        EXPECT_FALSE(FileExistsAt(destination_));
        RemoveDirectoryA(blocker.c_str());

        ASSERT_TRUE(Build(c.tick)) << c.temp;
        EXPECT_EQ(c.stem, LoadStringFrom(destination_, 1));
        EXPECT_FALSE(FileExistsAt(temp_ + c.temp));
    }
}

TEST_F(BuilderTest, OverwritesTheDestinationAndThePreview) {
    ASSERT_TRUE(WriteFileBytes(destination_, std::vector<unsigned char>(5, 'x')));
    ASSERT_TRUE(WriteFileBytes(temp_ + "preview.scr", std::vector<unsigned char>(5, 'x')));
    ASSERT_TRUE(Build(70000, "First"));
    EXPECT_EQ("First", LoadStringFrom(destination_, 2));
    EXPECT_EQ("First", LoadStringFrom(temp_ + "preview.scr", 1));
    ASSERT_TRUE(Build(80000, "Second"));
    EXPECT_EQ("Second", LoadStringFrom(destination_, 2));
    EXPECT_EQ("Second", LoadStringFrom(temp_ + "preview.scr", 1));
}

TEST_F(BuilderTest, PreviewThatCannotBeReplacedDoesNotFailTheBuild) {
    const std::vector<unsigned char> old(7, 'o');
    ASSERT_TRUE(WriteFileBytes(temp_ + "preview.scr", old));
    {
        HeldFile held(temp_ + "preview.scr");
        ASSERT_TRUE(held.Held());
        ASSERT_TRUE(Build(123456));
    }
    EXPECT_EQ(old, Bytes(temp_ + "preview.scr"));
    EXPECT_EQ("Sky", LoadStringFrom(destination_, 2));
    EXPECT_TRUE(FilesStartingWith(temp_, "qmv").empty());
}

TEST_F(BuilderTest, FailuresLeaveWhatTheyFound) {
    // Companions not found: nothing is made.
    SetAppPath("");
    EXPECT_FALSE(Build(11111));
    ExpectTempClean();
    EXPECT_FALSE(FileExistsAt(destination_));
    SetAppPath(companions_);

    // The installer stub missing: the temporary screen saver is made, then removed.
    ASSERT_TRUE(MoveFileA((companions_ + "setup.ex_").c_str(), (dir_ + "setup.ex_").c_str()));
    EXPECT_FALSE(Build(22222));
    ExpectTempClean();
    EXPECT_FALSE(FileExistsAt(destination_));
    ASSERT_TRUE(MoveFileA((dir_ + "setup.ex_").c_str(), (companions_ + "setup.ex_").c_str()));

    // Movies that cannot become a resource: empty, missing, held by another program.
    const std::vector<unsigned char> existing(9, 'e');
    ASSERT_TRUE(WriteFileBytes(destination_, existing));
    auto expectRefused = [&](const std::string& movie) {
        PackageBuilder builder;
        EXPECT_FALSE(builder.BuildWith(movie.c_str(), destination_.c_str(), "Sky", Platform(33333)))
            << movie;
        ExpectTempClean();
        EXPECT_EQ(existing, Bytes(destination_)) << "untouched";
    };
    expectRefused(WriteMovie(dir_ + "empty.swf", "", 0));
    expectRefused(dir_ + "missing.swf");
    {
        HeldFile held(movie_);
        ASSERT_TRUE(held.Held());
        expectRefused(movie_);
    }

    // A destination in use by another program stays as it was.
    {
        HeldFile held(destination_);
        PackageBuilder builder;
        EXPECT_FALSE(builder.BuildWith(movie_.c_str(), destination_.c_str(), "Sky", Platform(3)));
        ExpectTempClean();
    }
    EXPECT_EQ(existing, Bytes(destination_));

    // A destination in a missing folder.
    PackageBuilder builder;
    const std::string nowhere = dir_ + "no such folder\\Sky.exe";
    EXPECT_FALSE(builder.BuildWith(movie_.c_str(), nowhere.c_str(), "Sky", Platform(44444)));
    ExpectTempClean();
}

TEST_F(BuilderTest, RefusesWhatDoesNotFitBeforeTouchingAnything) {
    const std::string longName = dir_ + std::string(260 - dir_.size(), 'd');
    PackageBuilder builder;
    EXPECT_FALSE(builder.BuildWith(movie_.c_str(), longName.c_str(), "Sky", Platform(55555)));
    EXPECT_FALSE(builder.BuildWith(longName.c_str(), destination_.c_str(), "Sky", Platform(55555)));
    EXPECT_FALSE(builder.BuildWith(movie_.c_str(), destination_.c_str(), "", Platform(55555)));
    EXPECT_FALSE(builder.BuildWith(movie_.c_str(), destination_.c_str(),
                                   std::string(256, 'n').c_str(), Platform(55555)));
    // A temporary folder so deep that the temporary name would not fit.
    BuildPlatform deep = Platform(55555);
    deep.tempDir = "C:\\" + std::string(245, 't') + "\\";
    EXPECT_FALSE(builder.BuildWith(movie_.c_str(), destination_.c_str(), "Sky", deep));
    ExpectTempClean();
    EXPECT_FALSE(FileExistsAt(destination_));

    // The longest name goes through whole: 255 characters in both blocks.
    ASSERT_TRUE(Build(66666, std::string(255, 'n')));
    EXPECT_EQ(std::string(255, 'n'), LoadStringFrom(destination_, 2));
}

TEST(TempFileGuardTest, DeletesTheFileWhenLeftByAnException) {
    const std::string path = MakeScratchDir(TestName().c_str()) + "qmv00001.scr";
    ASSERT_TRUE(WriteFileBytes(path, std::vector<unsigned char>(3, 't')));
    try {
        TempFileGuard guard(path.c_str());
        throw std::runtime_error("left");
    } catch (const std::runtime_error&) {
    }
    EXPECT_FALSE(FileExistsAt(path));
}

} // namespace
