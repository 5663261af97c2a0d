// qmbuild.exe run as a pipeline would run it: a separate process, its exit code and its
// two output streams. Every refusal must name the problem and the path on one line and
// leave the destination as it was.
#include "test_env.h"

#include <shlwapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

namespace {

struct Result {
    DWORD code;
    std::string out, err;
};

std::string Quoted(const std::string& path) {
    return "\"" + path + "\"";
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::string BinFolder() {
    std::string path = BinPath("qmbuild.exe");
    return path.substr(0, path.find_last_of('\\'));
}

// Runs qmbuild.exe with `arguments`, its output streams going to files.
Result RunQmbuild(const std::string& arguments) {
    const std::string paths[] = {TempDir() + "qmbuild.out", TempDir() + "qmbuild.err"};
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), NULL, TRUE};
    HANDLE streams[2];
    for (int i = 0; i < 2; ++i) {
        streams[i] = CreateFileA(paths[i].c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                 CREATE_ALWAYS, 0, NULL);
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = streams[0];
    startup.hStdError = streams[1];
    std::string line = Quoted(BinPath("qmbuild.exe")) + " " + arguments;
    PROCESS_INFORMATION process;
    Result result = {static_cast<DWORD>(-1000), "", ""};
    if (CreateProcessA(NULL, &line[0], NULL, NULL, TRUE, 0, NULL, NULL, &startup, &process)) {
        if (WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0) {
            TerminateProcess(process.hProcess, 1001);
        }
        GetExitCodeProcess(process.hProcess, &result.code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    std::string* texts[] = {&result.out, &result.err};
    for (int i = 0; i < 2; ++i) {
        CloseHandle(streams[i]);
        std::vector<unsigned char> bytes;
        ReadFileBytes(paths[i], &bytes);
        std::copy_if(bytes.begin(), bytes.end(), std::back_inserter(*texts[i]),
                     [](char c) { return c != '\r'; });
    }
    return result;
}

// Names of the files in a folder, to show that a refusal left nothing behind.
std::vector<std::string> Listing(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
    while (search != INVALID_HANDLE_VALUE) {
        if (found.cFileName[0] != '.') {
            names.push_back(found.cFileName);
        }
        if (!FindNextFileA(search, &found)) {
            FindClose(search);
            break;
        }
    }
    return names;
}

// One line on the error stream naming `says`, and exit `code`.
void ExpectRefused(const Result& result, const std::string& says, DWORD code = 1) {
    EXPECT_EQ(code, result.code) << result.err;
    EXPECT_EQ(1, std::count(result.err.begin(), result.err.end(), '\n')) << result.err;
    EXPECT_TRUE(Has(result.err, says)) << "expected \"" << says << "\" in " << result.err;
}

class Qmbuild : public ::testing::Test {
  protected:
    void SetUp() override {
        static int count = 0;
        dir_ = MakeScratchDir(("qmbuild-" + std::to_string(++count)).c_str());
        ASSERT_TRUE(ReadFileBytes(GeneratedPath("default.swf"), &movie_));
        ASSERT_TRUE(WriteFileBytes(dir_ + "Ocean Waves.swf", movie_));
        CreateDirectoryA((dir_ + "out").c_str(), NULL);
        project_ = dir_ + "ocean.qmv";
        destination_ = dir_ + "out\\Ocean Setup.exe";
        build_ = "--companions " + Quoted(BinFolder()) + " " + Quoted(project_);
    }

    void WriteProject(const std::string& name, const std::string& movie,
                      const std::string& destination = "out\\Ocean Setup.exe") {
        std::string text = "[Parameters]\r\nDisplayName=" + name + "\r\nMoviePath=" + movie +
                           "\r\nDestinationPath=" + destination + "\r\n";
        ASSERT_TRUE(WriteFileBytes(project_, std::vector<unsigned char>(text.begin(), text.end())));
    }

    // Refused with exit 1, and nothing written at the destination.
    void ExpectNothingBuilt(const Result& result, const std::string& says) {
        ExpectRefused(result, says);
        EXPECT_EQ(0u, result.err.find("qmbuild: ")) << result.err;
        EXPECT_TRUE(Listing(dir_ + "out\\").empty());
    }

    std::string dir_, project_, destination_, build_;
    std::vector<unsigned char> movie_;
};

TEST(QmbuildCommandLine, HelpAndUsageErrors) {
    Result help = RunQmbuild("--help");
    EXPECT_EQ(0u, help.code);
    EXPECT_EQ("", help.err);
    for (const char* part : {"qmbuild [options] <project file>", "--companions <folder>",
                             "--accept-any-movie", "MoviePath", "Exit codes"}) {
        EXPECT_TRUE(Has(help.out, part)) << part;
    }
    const char* const usage[][2] = {
        {"", "no project file given"},
        {"--bogus a.qmv", "unknown option --bogus"},
        {"a.qmv --companions", "--companions needs a folder"},
        {"a.qmv b.qmv", "one project file at a time"},
        {"--companions \"C:\\folder\\\" a.qmv", "leave that backslash out"}};
    for (const auto& u : usage) {
        Result result = RunQmbuild(u[0]);
        ExpectRefused(result, u[1], 2);
        EXPECT_TRUE(Has(result.err, "qmbuild --help")) << result.err;
    }
}

TEST_F(Qmbuild, BuildsWhatTheProjectDescribesWithPathsBesideIt) {
    WriteProject("Ocean Waves", "Ocean Waves.swf");
    std::vector<unsigned char> projectBefore, projectAfter, installer;
    ASSERT_TRUE(ReadFileBytes(project_, &projectBefore));

    Result result = RunQmbuild(build_);
    ASSERT_EQ(0u, result.code) << result.out << result.err;
    EXPECT_EQ("", result.err);
    EXPECT_TRUE(Has(result.out, "built         " + destination_)) << result.out;
    // The installer alone: no partial file beside it, the project file only read, the
    // companions folder borrowed through a key of this run only.
    EXPECT_EQ(std::vector<std::string>{"Ocean Setup.exe"}, Listing(dir_ + "out\\"));
    ASSERT_TRUE(ReadFileBytes(project_, &projectAfter));
    EXPECT_EQ(projectBefore, projectAfter);
    HKEY left = NULL;
    EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Tovik Flickwell Batch", 0,
                                           KEY_READ, &left));

    // For the independent PE check on the host.
    ASSERT_TRUE(ReadFileBytes(destination_, &installer));
    ASSERT_TRUE(WriteFileBytes(OutputPath("installer.exe"), installer));
    ASSERT_TRUE(WriteFileBytes(OutputPath("movie.swf"), movie_));

    // A second build replaces the first without a question.
    EXPECT_EQ(0u, RunQmbuild(build_).code);
    EXPECT_EQ(std::vector<std::string>{"Ocean Setup.exe"}, Listing(dir_ + "out\\"));
}

TEST_F(Qmbuild, FindsCompanionsThroughTheWizardsAppPathsEntry) {
    WriteProject("Ocean Waves", dir_ + "Ocean Waves.swf", destination_);
    Result before = RunQmbuild(Quoted(project_));
    ExpectNothingBuilt(before, "cannot find the companion files");
    EXPECT_TRUE(Has(before.err, "--companions")) << before.err;

    const std::string folder = BinFolder();
    ASSERT_EQ(ERROR_SUCCESS,
              SHSetValueA(HKEY_LOCAL_MACHINE,
                          "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\qmwizard.exe",
                          "Path", REG_SZ, folder.c_str(), static_cast<DWORD>(folder.size() + 1)));

    Result result = RunQmbuild(Quoted(project_));
    EXPECT_EQ(0u, result.code) << result.err;
    EXPECT_TRUE(Has(result.out, BinPath("template.scr") + ", " + BinPath("setup.ex_")))
        << result.out;
    EXPECT_TRUE(FileExistsAt(destination_));
}

TEST_F(Qmbuild, RefusesProjectFilesItCannotUse) {
    const std::string garbage = dir_ + "garbage.qmv";
    ASSERT_TRUE(WriteFileBytes(garbage, std::vector<unsigned char>{0x4D, 0x5A, 0x00, 0xFF, 0x10}));
    const std::string cases[][2] = {
        {dir_ + "missing.qmv", "Project file " + dir_ + "missing.qmv not found."},
        {dir_ + "out", "Project file " + dir_ + "out not found."},
        {garbage, garbage + " is not a Flickwell project file"}};
    for (const auto& c : cases) {
        ExpectNothingBuilt(RunQmbuild("--companions " + Quoted(BinFolder()) + " " + Quoted(c[0])),
                           c[1]);
    }
    WriteProject("Ocean Waves", "Ocean Waves.swf");
    HANDLE held = CreateFileA(project_.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    ExpectNothingBuilt(RunQmbuild(build_), "cannot read the project file " + project_);
    CloseHandle(held);
}

TEST_F(Qmbuild, RefusesBadValuesWithTheWizardsMessages) {
    const std::string movie = dir_ + "Ocean Waves.swf", in = " in " + project_;
    ASSERT_TRUE(WriteFileBytes(dir_ + "short.swf", std::vector<unsigned char>{'F', 'W'}));
    CreateDirectoryA((dir_ + "folder.swf").c_str(), NULL);
    const std::string longPath = dir_ + std::string(300 - dir_.size(), 'p') + ".swf";
    const std::string empty = "String must not be empty. Please enter value. (";
    const struct {
        std::string name, movie, destination, says;
    } cases[] = {
        {"", movie, destination_, empty + "DisplayName" + in + ")"},
        {"Ocean", "", destination_, empty + "MoviePath" + in + ")"},
        {"Ocean", movie, "", empty + "DestinationPath" + in + ")"},
        {"Ocean", dir_ + "none.swf", destination_, "File " + dir_ + "none.swf not found."},
        {"Ocean", "folder.swf", destination_, "File " + dir_ + "folder.swf not found."},
        {"Ocean", "short.swf", destination_, "the movie " + dir_ + "short.swf is too short"},
        {std::string(256, 'n'), movie, destination_, "DisplayName" + in + " is longer than 255"},
        {"Ocean", longPath, destination_, "MoviePath" + in + " is longer than 259"},
        {"Ocean", movie, longPath, "DestinationPath" + in + " is longer than 259"},
        {"Ocean", movie, dir_ + "nowhere\\Setup.exe",
         "the destination folder does not exist: " + dir_ + "nowhere\\"},
        {"Ocean", movie, dir_ + "out", "the destination is a folder, not a file: " + dir_ + "out"},
        // An installer written over its own movie or project file would destroy an input.
        {"Ocean", movie, movie, "the destination would overwrite an input: " + movie},
        {"Ocean", movie, project_, "the destination would overwrite an input: " + project_},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.says);
        WriteProject(c.name, c.movie, c.destination);
        ExpectNothingBuilt(RunQmbuild(build_), c.says);
    }
    std::vector<unsigned char> after;
    ASSERT_TRUE(ReadFileBytes(movie, &after));
    EXPECT_EQ(movie_, after);
    ASSERT_TRUE(ReadFileBytes(project_, &after));
    EXPECT_EQ('[', after.at(0)) << "the project file was overwritten";
}

TEST_F(Qmbuild, AMovieWithoutTheFlashSignatureNeedsToBeAccepted) {
    // A real compressed movie, and our own with the signature in lower case.
    std::vector<unsigned char> compressed, lower = movie_;
    ASSERT_TRUE(ReadFileBytes(MoviePath("avm1_export_assets.swf"), &compressed));
    lower[0] = 'f', lower[1] = 'w', lower[2] = 's';
    ASSERT_TRUE(WriteFileBytes(dir_ + "compressed.swf", compressed));
    ASSERT_TRUE(WriteFileBytes(dir_ + "lower.swf", lower));
    for (const char* name : {"compressed.swf", "lower.swf"}) {
        SCOPED_TRACE(name);
        WriteProject("Ocean", name);
        ExpectNothingBuilt(RunQmbuild(build_),
                           "It seems that file is not Macromedia Flash movie: " + dir_ + name +
                               " Continue anyway? Not without --accept-any-movie.");
        Result accepted = RunQmbuild("--accept-any-movie " + build_);
        EXPECT_EQ(0u, accepted.code) << accepted.err;
        EXPECT_TRUE(Has(accepted.out, "built anyway")) << accepted.out;
        EXPECT_TRUE(FileExistsAt(destination_));
        DeleteFileA(destination_.c_str());
    }
}

TEST_F(Qmbuild, MissingOrBrokenCompanionsKeepTheEarlierInstaller) {
    WriteProject("Ocean Waves", "Ocean Waves.swf");
    const std::vector<unsigned char> earlier = {'e', 'a', 'r', 'l', 'i', 'e', 'r'};
    ASSERT_TRUE(WriteFileBytes(destination_, earlier));
    auto expectKept = [&](const std::string& companions, const std::string& says) {
        ExpectRefused(RunQmbuild("--companions " + Quoted(companions) + " " + Quoted(project_)),
                      says);
        std::vector<unsigned char> now;
        ASSERT_TRUE(ReadFileBytes(destination_, &now));
        EXPECT_EQ(earlier, now);
        EXPECT_EQ(std::vector<std::string>{"Ocean Setup.exe"}, Listing(dir_ + "out\\"));
    };
    expectKept(dir_ + "nowhere", "companions folder not found: " + dir_ + "nowhere");
    const std::string companions = MakeScratchDir("qmbuild-companions");
    // Without its last backslash, which would escape the closing quote.
    const std::string folder = companions.substr(0, companions.size() - 1);
    expectKept(folder, "companion file not found: " + companions + "template.scr");
    // Companions that are there but broken: the builder itself fails.
    std::vector<unsigned char> saver;
    ASSERT_TRUE(ReadFileBytes(BinPath("template.scr"), &saver));
    ASSERT_TRUE(WriteFileBytes(companions + "template.scr", saver));
    ASSERT_TRUE(WriteFileBytes(companions + "setup.ex_", std::vector<unsigned char>(64, 'x')));
    expectKept(folder, "Screen saver making failed. (" + destination_ + ")");
}

} // namespace
