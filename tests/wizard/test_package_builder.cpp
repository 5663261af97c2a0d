// The build's pieces in-process: the companion lookup, the movie check, the resource
// update and the package builder with its platform values fixed.
#include "common/unique_handle.h"
#include "wizard/companion.h"
#include "wizard/movie_check.h"
#include "wizard/package_builder.h"
#include "wizard/resource_updater.h"
#include "test_env.h"
#include "wizard_test_util.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// A file opened as a running program may hold it: with no sharing unless `share` says.
FileHandle Hold(const std::string& path, DWORD share = 0) {
    return FileHandle(
        CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, share, NULL, OPEN_ALWAYS, 0, NULL));
}

TEST(CompanionPath, JoinsFolderAndNameOrRefusesWhatDoesNotFit) {
    const std::string fits = "C:\\" + std::string(248, 'f'), over = "C:\\" + std::string(300, 'f');
    struct Case {
        const char* folder;
        const char* expected;
    } cases[] = {{"C:\\Flickwell\\", "C:\\Flickwell\\setup.ex_"},
                 {"C:\\Flickwell", "C:\\Flickwell\\setup.ex_"},
                 {"", "\\setup.ex_"}, // an empty value is a value
                 {NULL, ""},
                 // Folder and name that fit only when cut: refused, not cut.
                 {fits.c_str(), ""},
                 {over.c_str(), ""}};
    for (const Case& c : cases) {
        char path[MAX_PATH];
        SetAppPath(c.folder);
        GetCompanionPath("setup.ex_", path);
        EXPECT_STREQ(c.expected, path) << (c.folder != NULL ? c.folder : "no entry");
    }
}

TEST(MovieCheckTest, NamesSignaturesSizesAndSharing) {
    const std::string dir = Scratch(), movie = WriteMovie(dir + "m.swf", "FWS\x01", 100);
    const std::string name(255, 'n');
    struct Case {
        std::string name, movie;
        MovieCheck expected;
    } cases[] = {{name, movie, MovieCheck::Ok},
                 {"Sky", WriteMovie(dir + "3.swf", "FWS", 3), MovieCheck::Ok},
                 {"Sky", WriteMovie(dir + "c.swf", "fws", 100), MovieCheck::NotFlash},
                 {"Sky", WriteMovie(dir + "0.swf", "", 0), MovieCheck::TooShort},
                 {"Sky", WriteMovie(dir + "2.swf", "FW", 2), MovieCheck::TooShort},
                 {"Sky", dir.substr(0, dir.size() - 1), MovieCheck::NotFound},
                 {"Sky", dir + "missing.swf", MovieCheck::NotFound},
                 {"", "", MovieCheck::EmptyName},
                 {"Sky", "", MovieCheck::EmptyMovie},
                 {name + "n", movie, MovieCheck::NameTooLong},
                 {"Sky", "C:\\" + std::string(258, 'p'), MovieCheck::PathTooLong}};
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, CheckMovie(c.name, c.movie)) << c.movie;
    }
    {
        FileHandle held = Hold(movie);
        ASSERT_TRUE(held.Valid());
        EXPECT_EQ(MovieCheck::NotFound, CheckMovie("Sky", movie)) << "exists, but is held";
    }
    EXPECT_EQ(MovieCheck::Ok, CheckMovie("Sky", movie));
    EXPECT_TRUE(Hold(movie).Valid()) << "the check leaves nothing open";
}

class BuilderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = Scratch();
        companions_ = InstallCompanions(dir_ + "bin");
        temp_ = dir_ + "temp\\";
        CreateDirectoryA(temp_.c_str(), NULL);
        movie_ = WriteMovie(dir_ + "movie.swf", "FWS", 10000);
        destination_ = dir_ + "Sky.exe";
    }

    bool Build(DWORD tick, const std::string& name = "Sky") {
        return BuildFrom(movie_, destination_, name, tick, temp_);
    }
    bool BuildFrom(const std::string& movie, const std::string& destination,
                   const std::string& name, DWORD tick, const std::string& temp) {
        const BuildPlatform platform = {tick, CP_ACP, temp, ""};
        PackageBuilder builder;
        const bool built =
            builder.BuildWith(movie.c_str(), destination.c_str(), name.c_str(), platform);
        preview_ = builder.PreviewPath();
        return built;
    }
    // What a failed build leaves: no screen saver or preview in the temporary folder, no
    // unfinished installer beside the destination.
    bool TempClean() const {
        return NoTemporaryLeft(temp_) && !FileExistsAt(temp_ + "preview.scr") &&
               NoTemporaryLeft(dir_, "qmb*");
    }

    std::string dir_, companions_, temp_, movie_, destination_, preview_;
};

TEST_F(BuilderTest, CompleteExampleReplacingWhatWasThere) {
    ASSERT_TRUE(WriteFileBytes(destination_, std::vector<unsigned char>(5, 'x')));
    ASSERT_TRUE(WriteFileBytes(temp_ + "preview.scr", std::vector<unsigned char>(5, 'x')));
    ASSERT_TRUE(Build(1234567));
    EXPECT_TRUE(NoTemporaryLeft(temp_));

    // What the filled screen saver and the installer hold is read by the PE reader.
    const std::string preview = temp_ + "preview.scr";
    EXPECT_EQ(Bytes(preview), ResourceBytes(destination_, "SCR", 101))
        << "the installer carries the filled screen saver";
    EXPECT_EQ(38u, ResourceBytes(preview, RT_STRING, 1).size());
    EXPECT_EQ(54u, ResourceBytes(destination_, RT_STRING, 1).size());
    char stem[16];
    FormatFileStem(1234567, movie_.c_str(), "Sky", stem);
    EXPECT_EQ(stem, LoadStringFrom(destination_, 1));
    EXPECT_FALSE(ResourceBytes(destination_, RT_VERSION, 1).empty()) << "the rest stays";

    // For the independent PE reader.
    CopyFileA(destination_.c_str(), OutputPath("Sky.exe").c_str(), FALSE);
    CopyFileA(movie_.c_str(), OutputPath("movie.swf").c_str(), FALSE);
}

TEST_F(BuilderTest, TickCountNamesTheTemporaryFileAndTheStem) {
    struct Case {
        DWORD tick;
        const char* temp;
    } cases[] = {{42, "qmv00042.scr"},
                 {99999, "qmv99999.scr"},
                 {1234567, "qmv1234567.scr"},
                 {4000000000u, "qmv4000000000.scr"}};
    for (const Case& c : cases) {
        char stem[16];
        FormatFileStem(c.tick, movie_.c_str(), "Sky", stem);
        // A folder standing in the temporary file's place proves its name: the build
        // cannot make the file and fails before touching anything.
        const std::string blocker = temp_ + c.temp;
        DeleteFileA(destination_.c_str());
        ASSERT_TRUE(CreateDirectoryA(blocker.c_str(), NULL));
        EXPECT_FALSE(Build(c.tick)) << c.temp;
        EXPECT_FALSE(FileExistsAt(destination_));
        RemoveDirectoryA(blocker.c_str());

        ASSERT_TRUE(Build(c.tick)) << c.temp;
        EXPECT_EQ(stem, LoadStringFrom(destination_, 1));
        EXPECT_FALSE(FileExistsAt(temp_ + c.temp));
    }
}

// Builds a few seconds apart (tick counts that share their leading digits) and builds of
// other movies get stems of their own: one package's install must not replace another's.
TEST(FileStem, BuildsAtDifferentTimesOrOfOtherMoviesDoNotShareIt) {
    const struct {
        DWORD tick;
        const char* movie;
    } builds[] = {{1234567, "C:\\a.swf"},     {1234599, "C:\\a.swf"},
                  {1239999, "C:\\a.swf"},     {4000000000u, "C:\\a.swf"},
                  {4000099999u, "C:\\a.swf"}, {4000012345u, "C:\\a.swf"},
                  {123456789, "C:\\a.swf"},   {123459999, "C:\\a.swf"},
                  {123459999, "C:\\b.swf"},   {42, "C:\\a.swf"}};
    std::vector<std::string> stems;
    for (const auto& build : builds) {
        char stem[16], again[16];
        FormatFileStem(build.tick, build.movie, "Sky", stem);
        FormatFileStem(build.tick, build.movie, "Sky", again);
        EXPECT_STREQ(stem, again) << "one build, one stem";
        EXPECT_EQ(8, lstrlenA(stem));
        EXPECT_EQ(0, strncmp(stem, "qmv", 3)) << stem;
        EXPECT_EQ(std::string::npos, std::string(stem + 3).find_first_not_of("0123456789"));
        for (const std::string& earlier : stems) {
            EXPECT_NE(earlier, stem) << build.tick << " " << build.movie;
        }
        stems.push_back(stem);
    }
}

TEST_F(BuilderTest, PreviewStillRunningKeepsItsFileAndThisBuildsGoesBesideIt) {
    const std::vector<unsigned char> old(7, 'o');
    ASSERT_TRUE(WriteFileBytes(temp_ + "preview.scr", old));
    {
        FileHandle held = Hold(temp_ + "preview.scr");
        ASSERT_TRUE(held.Valid());
        ASSERT_TRUE(Build(123456));
    }
    EXPECT_EQ(old, Bytes(temp_ + "preview.scr"));
    EXPECT_EQ(temp_ + "preview1.scr", preview_) << "what Preview starts";
    EXPECT_EQ(ResourceBytes(destination_, "SCR", 101), Bytes(preview_));
    EXPECT_EQ("Sky", LoadStringFrom(destination_, 2));
    EXPECT_TRUE(NoTemporaryLeft(temp_));
    ASSERT_TRUE(Build(123457, "Dusk"));
    EXPECT_EQ(temp_ + "preview.scr", preview_) << "free again";
    EXPECT_EQ("Dusk", LoadStringFrom(preview_, 1));
}

TEST_F(BuilderTest, FailuresLeaveWhatTheyFound) {
    // An earlier installer at the destination stays whole whatever fails: the installer
    // stub gone after the screen saver was made, or one that cannot take the resources
    // (no companions at all: the end-to-end test).
    const std::vector<unsigned char> existing(9, 'e');
    ASSERT_TRUE(WriteFileBytes(destination_, existing));
    ASSERT_TRUE(DeleteFileA((companions_ + "setup.ex_").c_str()));
    EXPECT_FALSE(Build(22222));
    EXPECT_TRUE(TempClean());
    EXPECT_EQ(existing, Bytes(destination_));
    ASSERT_TRUE(WriteFileBytes(companions_ + "setup.ex_", std::vector<unsigned char>(64, 'x')));
    EXPECT_FALSE(Build(22223));
    EXPECT_TRUE(TempClean());
    EXPECT_EQ(existing, Bytes(destination_));
    InstallCompanions(companions_);

    // Movies that cannot become a resource (one is being written by another program),
    // and a destination another program holds: nothing that was there is lost.
    struct Case {
        std::string movie, held;
        DWORD share;
    } cases[] = {{WriteMovie(dir_ + "empty.swf", "", 0), "", 0},
                 {dir_ + "missing.swf", "", 0},
                 {dir_, "", 0},
                 {movie_, movie_, 0},
                 {movie_, movie_, FILE_SHARE_READ | FILE_SHARE_WRITE},
                 {movie_, destination_, 0}};
    for (const Case& c : cases) {
        {
            FileHandle held = Hold(c.held, c.share);
            EXPECT_FALSE(BuildFrom(c.movie, destination_, "Sky", 33333, temp_)) << c.movie;
        }
        EXPECT_TRUE(TempClean());
        EXPECT_EQ(existing, Bytes(destination_)) << "untouched";
    }
    EXPECT_TRUE(Hold(movie_).Valid()) << "nothing of ours holds the movie";
}

TEST_F(BuilderTest, RefusesWhatDoesNotFitBeforeTouchingAnything) {
    const std::string longPath = dir_ + std::string(260 - dir_.size(), 'd');
    struct Case {
        std::string movie, destination, name, temp;
    } cases[] = {{movie_, longPath, "Sky", temp_},
                 {longPath, destination_, "Sky", temp_},
                 {movie_, destination_, "", temp_},
                 {movie_, destination_, std::string(256, 'n'), temp_},
                 // So deep that the temporary name would not fit.
                 {movie_, destination_, "Sky", "C:\\" + std::string(245, 't') + "\\"}};
    for (const Case& c : cases) {
        EXPECT_FALSE(BuildFrom(c.movie, c.destination, c.name, 55555, c.temp));
    }
    EXPECT_TRUE(TempClean());
    EXPECT_FALSE(FileExistsAt(destination_));

    // The longest name goes through whole.
    ASSERT_TRUE(Build(66666, std::string(255, 'n')));
    EXPECT_EQ(std::string(255, 'n'), LoadStringFrom(destination_, 2));
}

// What the builder's failure rows do not reach: an update on nothing, and one that an
// error path leaves open, which must be thrown away rather than half-committed.
TEST(ResourceUpdaterTest, RefusesAMissingFileAndDiscardsAnUpdateLeftOpen) {
    ResourceUpdater updater;
    EXPECT_FALSE(updater.Begin((Scratch() + "nothing.exe").c_str(), false));
    EXPECT_FALSE(updater.Update("SWF", MAKEINTRESOURCEA(202), "x", 1));
    EXPECT_FALSE(updater.End(false));

    const std::string target = Scratch() + "target.scr";
    ASSERT_TRUE(CopyFileA(BinPath("template.scr").c_str(), target.c_str(), FALSE));
    const std::vector<unsigned char> original = Bytes(target);
    {
        ResourceUpdater open;
        ASSERT_TRUE(open.Begin(target.c_str(), false));
        ASSERT_TRUE(open.Update("SWF", MAKEINTRESOURCEA(202), "changed", 7));
    }
    EXPECT_EQ(original, Bytes(target));
    EXPECT_TRUE(Hold(target).Valid()) << "the update's handle is gone";
}

} // namespace
