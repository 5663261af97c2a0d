// qmbuild.exe run as a pipeline would run it: a separate process, its exit code and its
// two output streams. Every refusal must name the problem and the path on one line and
// leave the destination as it was.
#include "test_env.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Result {
    DWORD code;
    std::string out;
    std::string err;
};

std::string ReadText(const std::string& path) {
    std::vector<unsigned char> bytes;
    ReadFileBytes(path, &bytes);
    std::string text(bytes.begin(), bytes.end());
    std::string clean;
    for (char c : text) {
        if (c != '\r') {
            clean += c;
        }
    }
    return clean;
}

int CountLines(const std::string& text) {
    int lines = 0;
    for (char c : text) {
        lines += c == '\n';
    }
    return lines;
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::string BinFolder() {
    std::string path = BinPath("qmbuild.exe");
    return path.substr(0, path.find_last_of('\\'));
}

// Runs qmbuild.exe with `arguments`, its output streams going to files.
Result RunQmbuild(const std::string& arguments) {
    static int run = 0;
    const std::string dir = MakeScratchDir("qmbuild-output");
    char name[32];
    wsprintfA(name, "%d", ++run);
    const std::string outPath = dir + name + ".out", errPath = dir + name + ".err";
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), NULL, TRUE};
    HANDLE out = CreateFileA(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                             CREATE_ALWAYS, 0, NULL);
    HANDLE err = CreateFileA(errPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                             CREATE_ALWAYS, 0, NULL);
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out;
    startup.hStdError = err;
    std::string command = "\"" + BinPath("qmbuild.exe") + "\" " + arguments;
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    PROCESS_INFORMATION process;
    Result result = {static_cast<DWORD>(-1000), "", ""};
    if (CreateProcessA(NULL, line.data(), NULL, NULL, TRUE, 0, NULL, NULL, &startup, &process)) {
        if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0) {
            GetExitCodeProcess(process.hProcess, &result.code);
        } else {
            TerminateProcess(process.hProcess, 1001);
        }
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(out);
    CloseHandle(err);
    result.out = ReadText(outPath);
    result.err = ReadText(errPath);
    return result;
}

std::string Quoted(const std::string& path) {
    return "\"" + path + "\"";
}

// Names of the files in a folder, to show that a refusal left nothing behind.
std::vector<std::string> Listing(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        if (lstrcmpA(found.cFileName, ".") != 0 && lstrcmpA(found.cFileName, "..") != 0) {
            names.push_back(found.cFileName);
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

class Qmbuild : public ::testing::Test {
  protected:
    void SetUp() override {
        static int count = 0;
        char name[32];
        wsprintfA(name, "qmbuild-%d", ++count);
        dir_ = MakeScratchDir(name);
        ASSERT_TRUE(ReadFileBytes(GeneratedPath("default.swf"), &movie_));
        ASSERT_TRUE(WriteFileBytes(dir_ + "Ocean Waves.swf", movie_));
        CreateDirectoryA((dir_ + "out").c_str(), NULL);
        project_ = dir_ + "ocean.qmv";
        destination_ = dir_ + "out\\Ocean Setup.exe";
        companions_ = " --companions " + Quoted(BinFolder()) + " ";
    }

    void WriteProject(const std::string& name, const std::string& movie,
                      const std::string& destination) {
        std::string text = "[Parameters]\r\nDisplayName=" + name + "\r\nMoviePath=" + movie +
                           "\r\nDestinationPath=" + destination + "\r\n";
        ASSERT_TRUE(WriteFileBytes(project_, std::vector<unsigned char>(text.begin(), text.end())));
    }

    // One line on the error stream, naming `part`; exit 1; nothing at the destination.
    void ExpectRefused(const Result& result, const std::string& part) {
        EXPECT_EQ(1u, result.code) << result.err;
        EXPECT_EQ(1, CountLines(result.err)) << result.err;
        EXPECT_EQ(0u, result.err.find("qmbuild: ")) << result.err;
        EXPECT_TRUE(Contains(result.err, part)) << "expected \"" << part << "\" in " << result.err;
        EXPECT_FALSE(FileExistsAt(destination_));
        EXPECT_TRUE(Listing(dir_ + "out\\").empty());
    }

    std::string dir_, project_, destination_, companions_;
    std::vector<unsigned char> movie_;
};

TEST(QmbuildCommandLine, HelpAndUsageErrors) {
    Result help = RunQmbuild("--help");
    EXPECT_EQ(0u, help.code);
    for (const char* part :
         {"qmbuild [options] <project file>", "--companions <folder>", "--accept-any-movie",
          "MoviePath", "DisplayName", "DestinationPath", "Exit codes"}) {
        EXPECT_TRUE(Contains(help.out, part)) << part;
    }
    EXPECT_EQ("", help.err);

    const struct {
        const char* arguments;
        const char* says;
    } usage[] = {{"", "no project file given"},
                 {"--bogus a.qmv", "unknown option --bogus"},
                 {"a.qmv --companions", "--companions needs a folder"},
                 {"a.qmv b.qmv", "one project file at a time"},
                 {"--companions \"C:\\folder\\\" a.qmv", "leave that backslash out"}};
    for (const auto& u : usage) {
        Result result = RunQmbuild(u.arguments);
        EXPECT_EQ(2u, result.code) << u.arguments;
        EXPECT_EQ(1, CountLines(result.err)) << result.err;
        EXPECT_TRUE(Contains(result.err, u.says)) << result.err;
        EXPECT_TRUE(Contains(result.err, "qmbuild --help")) << result.err;
    }
}

TEST_F(Qmbuild, BuildsWhatTheProjectDescribesWithPathsBesideIt) {
    WriteProject("Ocean Waves", "Ocean Waves.swf", "out\\Ocean Setup.exe");
    std::vector<unsigned char> projectBefore;
    ASSERT_TRUE(ReadFileBytes(project_, &projectBefore));

    Result result = RunQmbuild(companions_ + Quoted(project_));
    ASSERT_EQ(0u, result.code) << result.out << result.err;
    EXPECT_EQ("", result.err);
    EXPECT_TRUE(Contains(result.out, "movie         " + dir_ + "Ocean Waves.swf (" +
                                         std::to_string(movie_.size()) + " bytes)"))
        << result.out;
    EXPECT_TRUE(Contains(result.out, "display name  Ocean Waves")) << result.out;
    EXPECT_TRUE(Contains(result.out, "built         " + destination_)) << result.out;
    EXPECT_TRUE(Contains(result.out, "file stem     qmv")) << result.out;

    // The installer alone: no partial file beside it, the project file only read.
    EXPECT_EQ(std::vector<std::string>{"Ocean Setup.exe"}, Listing(dir_ + "out\\"));
    std::vector<unsigned char> projectAfter;
    ASSERT_TRUE(ReadFileBytes(project_, &projectAfter));
    EXPECT_EQ(projectBefore, projectAfter);
    // The companions folder was borrowed through a key of this run only.
    HKEY left = NULL;
    EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Tovik Flickwell Batch", 0,
                                           KEY_READ, &left));

    // For the independent PE check on the host.
    std::vector<unsigned char> installer;
    ASSERT_TRUE(ReadFileBytes(destination_, &installer));
    ASSERT_TRUE(WriteFileBytes(OutputPath("installer.exe"), installer));
    ASSERT_TRUE(WriteFileBytes(OutputPath("movie.swf"), movie_));

    // A second build replaces the first without a question.
    Result again = RunQmbuild(companions_ + Quoted(project_));
    EXPECT_EQ(0u, again.code) << again.err;
    EXPECT_EQ(std::vector<std::string>{"Ocean Setup.exe"}, Listing(dir_ + "out\\"));
}

TEST_F(Qmbuild, FindsCompanionsThroughTheWizardsAppPathsEntry) {
    WriteProject("Ocean Waves", dir_ + "Ocean Waves.swf", destination_);
    Result before = RunQmbuild(Quoted(project_));
    ExpectRefused(before, "cannot find the companion files");
    EXPECT_TRUE(Contains(before.err, "--companions")) << before.err;

    HKEY key = NULL;
    ASSERT_EQ(
        ERROR_SUCCESS,
        RegCreateKeyExA(HKEY_LOCAL_MACHINE,
                        "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\qmwizard.exe", 0,
                        NULL, 0, KEY_WRITE, NULL, &key, NULL));
    const std::string folder = BinFolder();
    RegSetValueExA(key, "Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                   static_cast<DWORD>(folder.size() + 1));
    RegCloseKey(key);

    Result result = RunQmbuild(Quoted(project_));
    EXPECT_EQ(0u, result.code) << result.err;
    EXPECT_TRUE(Contains(result.out, BinPath("template.scr") + ", " + BinPath("setup.ex_")))
        << result.out;
    EXPECT_TRUE(FileExistsAt(destination_));
}

TEST_F(Qmbuild, RefusesProjectFilesItCannotUse) {
    const std::string missing = dir_ + "missing.qmv";
    ExpectRefused(RunQmbuild(companions_ + Quoted(missing)),
                  "Project file " + missing + " not found.");
    ExpectRefused(RunQmbuild(companions_ + Quoted(dir_ + "out")),
                  "Project file " + dir_ + "out not found.");

    const std::string garbage = dir_ + "garbage.qmv";
    ASSERT_TRUE(WriteFileBytes(garbage, std::vector<unsigned char>{0x4D, 0x5A, 0x00, 0xFF, 0x10}));
    ExpectRefused(RunQmbuild(companions_ + Quoted(garbage)),
                  garbage + " is not a Flickwell project file");

    WriteProject("Ocean Waves", "Ocean Waves.swf", "out\\Ocean Setup.exe");
    HANDLE held = CreateFileA(project_.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    ExpectRefused(RunQmbuild(companions_ + Quoted(project_)),
                  "cannot read the project file " + project_);
    CloseHandle(held);
}

TEST_F(Qmbuild, RefusesBadValuesWithTheWizardsMessages) {
    const std::string movie = dir_ + "Ocean Waves.swf";
    ASSERT_TRUE(WriteFileBytes(dir_ + "short.swf", std::vector<unsigned char>{'F', 'W'}));
    CreateDirectoryA((dir_ + "folder.swf").c_str(), NULL);
    const std::string longName(256, 'n');
    const std::string longPath = dir_ + std::string(300 - dir_.size(), 'p') + ".swf";
    const std::string empty = "String must not be empty. Please enter value.";
    const struct {
        std::string name, movie, destination, says;
    } cases[] = {
        {"", movie, destination_, empty + " (DisplayName in " + project_ + ")"},
        {"Ocean", "", destination_, empty + " (MoviePath in " + project_ + ")"},
        {"Ocean", movie, "", empty + " (DestinationPath in " + project_ + ")"},
        {"Ocean", dir_ + "none.swf", destination_, "File " + dir_ + "none.swf not found."},
        {"Ocean", "folder.swf", destination_, "File " + dir_ + "folder.swf not found."},
        {"Ocean", "short.swf", destination_, "the movie " + dir_ + "short.swf is too short"},
        {longName, movie, destination_, "DisplayName in " + project_ + " is longer than 255"},
        {"Ocean", longPath, destination_, "MoviePath in " + project_ + " is longer than 259"},
        {"Ocean", movie, longPath, "DestinationPath in " + project_ + " is longer than 259"},
        {"Ocean", movie, dir_ + "nowhere\\Setup.exe",
         "the destination folder does not exist: " + dir_ + "nowhere\\"},
        {"Ocean", movie, dir_ + "out", "the destination is a folder, not a file: " + dir_ + "out"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.says);
        WriteProject(c.name, c.movie, c.destination);
        ExpectRefused(RunQmbuild(companions_ + Quoted(project_)), c.says);
    }

    // An installer written over its own movie or project file would destroy an input.
    for (const std::string& input : {movie, project_}) {
        WriteProject("Ocean", movie, input);
        std::vector<unsigned char> before, after;
        ASSERT_TRUE(ReadFileBytes(input, &before));
        ExpectRefused(RunQmbuild(companions_ + Quoted(project_)),
                      "the destination would overwrite an input: " + input);
        ASSERT_TRUE(ReadFileBytes(input, &after));
        EXPECT_EQ(before, after);
    }
}

TEST_F(Qmbuild, AMovieWithoutTheFlashSignatureNeedsToBeAccepted) {
    // A real compressed movie, and our own with the signature in lower case.
    std::vector<unsigned char> compressed, lower = movie_;
    ASSERT_TRUE(ReadFileBytes(MoviePath("avm1_export_assets.swf"), &compressed));
    ASSERT_EQ('C', compressed[0]);
    lower[0] = 'f', lower[1] = 'w', lower[2] = 's';
    ASSERT_TRUE(WriteFileBytes(dir_ + "compressed.swf", compressed));
    ASSERT_TRUE(WriteFileBytes(dir_ + "lower.swf", lower));
    for (const char* name : {"compressed.swf", "lower.swf"}) {
        SCOPED_TRACE(name);
        WriteProject("Ocean", name, "out\\Ocean Setup.exe");
        ExpectRefused(RunQmbuild(companions_ + Quoted(project_)),
                      "It seems that file is not Macromedia Flash movie: " + dir_ + name +
                          " Continue anyway? Not without --accept-any-movie.");
        Result accepted = RunQmbuild("--accept-any-movie" + companions_ + Quoted(project_));
        EXPECT_EQ(0u, accepted.code) << accepted.err;
        EXPECT_TRUE(Contains(accepted.out, "built anyway")) << accepted.out;
        EXPECT_TRUE(FileExistsAt(destination_));
        DeleteFileA(destination_.c_str());
    }
}

TEST_F(Qmbuild, MissingOrBrokenCompanionsKeepTheEarlierInstaller) {
    WriteProject("Ocean Waves", "Ocean Waves.swf", "out\\Ocean Setup.exe");
    const std::vector<unsigned char> earlier = {'e', 'a', 'r', 'l', 'i', 'e', 'r'};
    ASSERT_TRUE(WriteFileBytes(destination_, earlier));
    auto expectKept = [&](const Result& result, const std::string& says) {
        EXPECT_EQ(1u, result.code) << result.err;
        EXPECT_EQ(1, CountLines(result.err)) << result.err;
        EXPECT_TRUE(Contains(result.err, says)) << result.err;
        std::vector<unsigned char> now;
        ASSERT_TRUE(ReadFileBytes(destination_, &now));
        EXPECT_EQ(earlier, now);
        EXPECT_EQ(std::vector<std::string>{"Ocean Setup.exe"}, Listing(dir_ + "out\\"));
    };

    expectKept(RunQmbuild("--companions " + Quoted(dir_ + "nowhere") + " " + Quoted(project_)),
               "companions folder not found: " + dir_ + "nowhere");
    const std::string companions = MakeScratchDir("qmbuild-companions");
    // Without its last backslash, which would escape the closing quote.
    const std::string option =
        "--companions " + Quoted(companions.substr(0, companions.size() - 1));
    expectKept(RunQmbuild(option + " " + Quoted(project_)),
               "companion file not found: " + companions + "template.scr");

    // Companions that are there but broken: the builder itself fails.
    std::vector<unsigned char> saver;
    ASSERT_TRUE(ReadFileBytes(BinPath("template.scr"), &saver));
    ASSERT_TRUE(WriteFileBytes(companions + "template.scr", saver));
    ASSERT_TRUE(WriteFileBytes(companions + "setup.ex_", std::vector<unsigned char>(64, 'x')));
    expectKept(RunQmbuild(option + " " + Quoted(project_)),
               "Screen saver making failed. (" + destination_ + ")");
}

} // namespace
