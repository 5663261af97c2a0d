#include "qmbuild.h"

#include "../common/package_layout.h"
#include "../common/unique_handle.h"
#include "../wizard/companion.h"
#include "../wizard/movie_check.h"
#include "../wizard/package_builder.h"
#include "../wizard/project_settings.h"
#include "../wizard/resource.h"

#include <shlwapi.h>

#include <windows.h>

#include <cstring>
#include <vector>

namespace {

const char kUsage[] =
    "Usage: qmbuild [options] <project file>\n"
    "\n"
    "Builds the screen saver installer that a Flickwell project file (.qmv) describes:\n"
    "the keys MoviePath, DisplayName and DestinationPath of its [Parameters] section.\n"
    "Paths in the file that are not absolute are taken relative to the project file's\n"
    "folder. The project file itself is only read. For example:\n"
    "\n"
    "  [Parameters]\n"
    "  DisplayName=Ocean Waves\n"
    "  MoviePath=ocean.swf\n"
    "  DestinationPath=Ocean Waves Setup.exe\n"
    "\n"
    "The inputs are checked as the wizard checks them: a display name of 1 to 255\n"
    "characters, paths of at most 259, a movie that exists, can be read and starts with\n"
    "\"FWS\" (an uncompressed Flash movie). The companion files template.scr and setup.ex_\n"
    "are found through the wizard's App Paths entry, as the wizard finds them.\n"
    "\n"
    "Options:\n"
    "  --companions <folder>  take template.scr and setup.ex_ from this folder\n"
    "  --accept-any-movie     build a movie that does not start with \"FWS\" anyway\n"
    "                         (where the wizard asks, this answers Yes)\n"
    "  --help                 show this text\n"
    "\n"
    "Exit codes: 0 built; 1 bad input or a failed build (the destination is left as it\n"
    "was); 2 a wrong command line.\n";

const char kSection[] = "Parameters";

// Texts from our own string table, which holds the wizard's messages under the wizard's
// ids; line breaks become blanks, since each problem is reported on one line.
std::string Message(UINT id, const char* path = NULL) {
    char text[1024] = {0};
    if (LoadStringA(GetModuleHandleA(NULL), id, text, sizeof(text)) == 0) {
        wsprintfA(text, "message %u", id);
    }
    std::string formatted;
    if (path != NULL) {
        std::string pattern(text);
        size_t at = pattern.find("%s");
        formatted = at == std::string::npos ? pattern
                                            : pattern.substr(0, at) + path + pattern.substr(at + 2);
    } else {
        formatted = text;
    }
    std::string line;
    for (char c : formatted) {
        if (c == '\r' || c == '\n') {
            if (!line.empty() && line.back() != ' ') {
                line += ' ';
            }
        } else {
            line += c;
        }
    }
    return line;
}

std::string SystemError(DWORD code) {
    char text[512] = {0};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, code, 0, text,
                   sizeof(text), NULL);
    std::string result(text);
    while (!result.empty() && (result.back() == '\r' || result.back() == '\n' ||
                               result.back() == ' ' || result.back() == '.')) {
        result.pop_back();
    }
    if (result.empty()) {
        char number[32];
        wsprintfA(number, "error %lu", code);
        result = number;
    }
    return result;
}

int Fail(FILE* err, const std::string& line) {
    fprintf(err, "qmbuild: %s\n", line.c_str());
    fflush(err);
    return kBatchFailed;
}

void Step(FILE* out, const char* label, const std::string& text) {
    fprintf(out, "qmbuild: %-13s %s\n", label, text.c_str());
    fflush(out);
}

bool IsFolder(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The full path of `value`, relative paths taken from `baseFolder` (with its backslash).
// False when the result would not fit a path buffer.
bool ResolveBeside(const char* baseFolder, const std::string& value, char (&full)[MAX_PATH]) {
    ZeroMemory(full, sizeof(full));
    std::string joined = value;
    if (PathIsRelativeA(value.c_str())) {
        joined = std::string(baseFolder) + value;
    }
    DWORD length = GetFullPathNameA(joined.c_str(), MAX_PATH, full, NULL);
    if (length == 0 || length >= MAX_PATH) {
        ZeroMemory(full, sizeof(full));
        return false;
    }
    return true;
}

std::string FolderOf(const char* path) {
    std::string folder(path);
    size_t slash = folder.find_last_of('\\');
    return slash == std::string::npos ? std::string() : folder.substr(0, slash + 1);
}

std::string SizeText(const char* path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) {
        return "";
    }
    char text[64];
    wsprintfA(text, " (%lu bytes)", data.nFileSizeLow);
    return text;
}

// A value as the file holds it, before the project reader cuts it: its length tells
// whether the cut changed it.
size_t RawLength(const char* project, const char* key) {
    std::vector<char> value(32768, '\0');
    return GetPrivateProfileStringA(kSection, key, "", value.data(),
                                    static_cast<DWORD>(value.size()), project);
}

bool HasParameters(const char* project) {
    std::vector<char> section(32768, '\0');
    return GetPrivateProfileSectionA(kSection, section.data(), static_cast<DWORD>(section.size()),
                                     project) > 0;
}

// Refuses what the wizard would refuse before the build, in the wizard's order.
int CheckMovieSignature(const BatchOptions& options, const char* project, const std::string& name,
                        const std::string& movie, FILE* out, FILE* err) {
    switch (CheckMovie(name, movie)) {
    case MovieCheck::Ok:
        return kBatchOk;
    case MovieCheck::PathTooLong:
        return Fail(err, "MoviePath in " + std::string(project) + " is longer than 260 characters");
    case MovieCheck::NameTooLong:
        return Fail(err,
                    "DisplayName in " + std::string(project) + " is longer than 255 characters");
    case MovieCheck::EmptyName:
        return Fail(err, Message(IDS_EMPTY_FIELD) + " (DisplayName in " + project + ")");
    case MovieCheck::EmptyMovie:
        return Fail(err, Message(IDS_EMPTY_FIELD) + " (MoviePath in " + project + ")");
    case MovieCheck::NotFound:
        return Fail(err, Message(IDS_FILE_NOT_FOUND, movie.c_str()));
    case MovieCheck::TooShort:
        return Fail(err, "the movie " + movie + " is too short to be a movie (under 3 bytes)");
    case MovieCheck::NotFlash:
        if (!options.acceptAnyMovie) {
            return Fail(err,
                        Message(IDS_NOT_FLASH, movie.c_str()) + " Not without --accept-any-movie.");
        }
        Step(out, "note", "not an uncompressed Flash movie; built anyway (--accept-any-movie)");
        return kBatchOk;
    }
    return kBatchFailed;
}

// The movie checked as the wizard checks it; what the wizard asks about is noted.
int CheckMovieInput(const BatchOptions& options, const char* project, const std::string& name,
                    const std::string& movie, FILE* out, FILE* err) {
    const int checked = CheckMovieSignature(options, project, name, movie, out, err);
    const std::string parts = checked == kBatchOk ? MoviePartsNotPlayed(movie) : std::string();
    if (!parts.empty()) {
        Step(out, "note", "the player does not run yet: " + parts);
    }
    return checked;
}

// The file stem the build wrote into the installer: it names the installed screen saver
// and its uninstall entry, so two packages with one stem replace each other.
std::string FileStemOf(const char* installer) {
    Library module(LoadLibraryExA(installer, NULL, LOAD_LIBRARY_AS_DATAFILE));
    char stem[16] = {0};
    if (module.Valid()) {
        LoadStringA(module.Get(), package::kStringFileStem, stem, sizeof(stem));
    }
    return stem;
}

} // namespace

bool ParseBatchArguments(int argc, char** argv, BatchOptions* options, std::string* error) {
    // "C:\folder\" on a command line: the last backslash escapes the closing quote.
    for (int i = 1; i < argc; ++i) {
        if (strchr(argv[i], '"') != NULL) {
            *error = std::string("a quote inside ") + argv[i] +
                     " (a backslash before a closing quote escapes it: leave that backslash out)";
            return false;
        }
    }
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (!optionsEnded && (arg == "--help" || arg == "-h" || arg == "/?" || arg == "-?")) {
            options->help = true;
        } else if (!optionsEnded && arg == "--accept-any-movie") {
            options->acceptAnyMovie = true;
        } else if (!optionsEnded && arg == "--companions") {
            if (i + 1 >= argc || argv[i + 1][0] == '\0') {
                *error = "--companions needs a folder";
                return false;
            }
            options->companionsFolder = argv[++i];
        } else if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
            *error = "unknown option " + arg;
            return false;
        } else if (options->projectFile.empty()) {
            options->projectFile = arg;
        } else {
            *error = "one project file at a time (" + options->projectFile + ", then " + arg + ")";
            return false;
        }
    }
    if (!options->help && options->projectFile.empty()) {
        *error = "no project file given";
        return false;
    }
    return true;
}

namespace {

// What one build takes, each path whole and absolute.
struct BatchInputs {
    char project[MAX_PATH] = {0};
    std::string name;
    char movie[MAX_PATH] = {0};
    char destination[MAX_PATH] = {0};
    std::string destinationFolder; // with its trailing backslash
    BuildPlatform platform;        // with the companion folder that --companions names
};

// The project file, its three values within their limits, the movie as the wizard
// checks it, and a destination that can be written without destroying an input.
int ReadInputs(const BatchOptions& options, BatchInputs* in, FILE* out, FILE* err) {
    if (!ResolveProjectPath(options.projectFile.c_str(), in->project)) {
        return Fail(err, "the project file path is too long: " + options.projectFile);
    }
    const std::string project = in->project;
    if (!FileExists(in->project)) {
        return Fail(err, Message(IDS_PROJECT_NOT_FOUND, in->project));
    }
    // The profile reader takes an unreadable file for an empty one; say what it is.
    FileHandle readable(CreateFileA(in->project, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    NULL, OPEN_EXISTING, 0, NULL));
    if (!readable.Valid()) {
        return Fail(err,
                    "cannot read the project file " + project + ": " + SystemError(GetLastError()));
    }
    readable.Reset(INVALID_HANDLE_VALUE);
    if (!HasParameters(in->project)) {
        return Fail(err,
                    project + " is not a Flickwell project file: it has no [Parameters] section");
    }
    Step(out, "project", project);

    ProjectSettings settings;
    settings.Load(in->project);
    // The reader keeps 259 bytes of a value; a longer one would name another file.
    const struct {
        const char* key;
        size_t limit;
    } limits[] = {{"DisplayName", kMaxNameField},
                  {"MoviePath", MAX_PATH - 1},
                  {"DestinationPath", MAX_PATH - 1}};
    for (const auto& limit : limits) {
        if (RawLength(in->project, limit.key) > limit.limit) {
            return Fail(err, std::string(limit.key) + " in " + project + " is longer than " +
                                 std::to_string(limit.limit) + " characters");
        }
    }

    const std::string folder = FolderOf(in->project);
    in->name = settings.Get("DisplayName");
    const std::string movie = settings.Get("MoviePath");
    if (!movie.empty() && !ResolveBeside(folder.c_str(), movie, in->movie)) {
        return Fail(err, "MoviePath in " + project +
                             " does not fit 259 characters once made absolute: " + movie);
    }
    const int checked = CheckMovieInput(options, in->project, in->name, in->movie, out, err);
    if (checked != kBatchOk) {
        return checked;
    }
    Step(out, "movie", in->movie + SizeText(in->movie));
    Step(out, "display name", in->name);

    const std::string destination = settings.Get("DestinationPath");
    if (destination.empty()) {
        return Fail(err, Message(IDS_EMPTY_FIELD) + " (DestinationPath in " + project + ")");
    }
    if (!ResolveBeside(folder.c_str(), destination, in->destination)) {
        return Fail(err, "DestinationPath in " + project +
                             " does not fit 259 characters once made absolute: " + destination);
    }
    in->destinationFolder = FolderOf(in->destination);
    if (IsFolder(in->destination)) {
        return Fail(err,
                    std::string("the destination is a folder, not a file: ") + in->destination);
    }
    if (in->destinationFolder.empty() || !IsFolder(in->destinationFolder.c_str())) {
        return Fail(err, "the destination folder does not exist: " + in->destinationFolder);
    }
    if (SameFile(in->destination, in->movie) || SameFile(in->destination, in->project)) {
        return Fail(err,
                    std::string("the destination would overwrite an input: ") + in->destination);
    }
    return kBatchOk;
}

// The two companion files, through the App Paths entry as the wizard finds them, or in
// the folder the command line names.
int FindCompanions(const BatchOptions& options, BatchInputs* in, FILE* out, FILE* err) {
    in->platform = PackageBuilder::CurrentPlatform();
    if (!options.companionsFolder.empty()) {
        char folder[MAX_PATH] = {0};
        DWORD length = GetFullPathNameA(options.companionsFolder.c_str(), MAX_PATH, folder, NULL);
        if (length == 0 || length >= MAX_PATH || !IsFolder(folder)) {
            return Fail(err, "companions folder not found: " + options.companionsFolder);
        }
        in->platform.companionDir = folder;
    }
    char templatePath[MAX_PATH];
    char setupPath[MAX_PATH];
    FindCompanion(in->platform, kTemplateFile, templatePath);
    FindCompanion(in->platform, kSetupFile, setupPath);
    if (templatePath[0] == '\0' || setupPath[0] == '\0') {
        return Fail(err, "cannot find the companion files: HKEY_LOCAL_MACHINE has no App Paths "
                         "entry of qmwizard.exe with a usable \"Path\" (install the toolkit, or "
                         "give --companions <folder>)");
    }
    for (const char* companion : {templatePath, setupPath}) {
        if (!FileExists(companion)) {
            return Fail(err, std::string("companion file not found: ") + companion);
        }
        if (SameFile(in->destination, companion)) {
            return Fail(err, std::string("the destination would overwrite a companion file: ") +
                                 in->destination);
        }
    }
    Step(out, "companions", std::string(templatePath) + ", " + setupPath);
    return kBatchOk;
}

// The builder makes the installer beside the destination and moves it into place only
// when complete, so a failed build leaves no half-made installer and an earlier one stays
// intact.
int BuildInPlace(const BatchInputs& in, FILE* out, FILE* err) {
    Step(out, "building", in.destination);
    PackageBuilder builder;
    if (!builder.BuildWith(in.movie, in.destination, in.name.c_str(), in.platform)) {
        switch (builder.Failure()) {
        case BuildFailure::Folder:
            return Fail(err, "cannot write in the destination folder " + in.destinationFolder +
                                 ": " + SystemError(builder.Error()));
        case BuildFailure::Destination:
            return Fail(err, std::string("cannot write ") + in.destination + ": " +
                                 SystemError(builder.Error()));
        default:
            return Fail(err, Message(IDS_BUILD_FAILED) + " (" + in.destination + ")");
        }
    }
    Step(out, "built", in.destination + SizeText(in.destination));
    Step(out, "file stem",
         FileStemOf(in.destination) +
             " (names the installed screen saver and its uninstall entry)");
    return kBatchOk;
}

} // namespace

int RunBatch(const BatchOptions& options, FILE* out, FILE* err) {
    BatchInputs inputs;
    int result = ReadInputs(options, &inputs, out, err);
    if (result != kBatchOk) {
        return result;
    }
    result = FindCompanions(options, &inputs, out, err);
    if (result != kBatchOk) {
        return result;
    }
    return BuildInPlace(inputs, out, err);
}

int QmbuildMain(int argc, char** argv) {
    BatchOptions options;
    std::string error;
    if (!ParseBatchArguments(argc, argv, &options, &error)) {
        fprintf(stderr, "qmbuild: %s (qmbuild --help explains the command line)\n", error.c_str());
        return kBatchUsage;
    }
    if (options.help) {
        fputs(kUsage, stdout);
        return kBatchOk;
    }
    return RunBatch(options, stdout, stderr);
}
