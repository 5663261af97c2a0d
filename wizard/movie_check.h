// The decision behind Next on the Screen Saver Settings page, free of any window, so a
// batch builder can apply the same rules. The page maps each result to its message.
#pragma once

#include <string>

// Longest texts the wizard accepts: paths of up to 260 characters, names of up to 255.
const size_t kMaxPathField = 260;
const size_t kMaxNameField = 255;

enum class MovieCheck {
    Ok,
    NameTooLong, // display name over its limit
    PathTooLong, // movie path over its limit
    EmptyName,   // display name empty (checked before the movie path)
    EmptyMovie,  // movie path empty
    NotFound,    // missing, a directory, or cannot be opened for reading
    TooShort,    // fewer than three bytes could be read
    NotFlash,    // the first three bytes are not "FWS"; the user may accept it anyway
};

// Checks the two inputs in the order the page asks about them. Reads at most the first
// three bytes of the movie and closes it again before returning.
MovieCheck CheckMovie(const std::string& displayName, const std::string& moviePath);

// The ActionScript 3 parts the movie uses that the screen saver's player leaves out, joined
// for a message ("E4X (XML), Loader"); empty when there are none, or when the file cannot
// be read whole or is larger than the player reads.
std::string MoviePartsNotPlayed(const std::string& moviePath);

enum class OutputCheck {
    Ok,
    InstallerIsInput, // the installer path names the movie, the project file or a companion
    ProjectIsInput,   // the project path names the movie or a companion
};

// Next on the Project Settings page saves the project file and then writes the installer:
// neither may be written over a file the build reads or over the other. Checks the
// installer first. The companions are found as the build finds them.
OutputCheck CheckOutputs(const std::string& projectPath, const std::string& installerPath,
                         const std::string& moviePath);
