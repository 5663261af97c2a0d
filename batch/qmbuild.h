// qmbuild: builds the package a project file describes, without the wizard's windows but
// with its rules: the same movie check and limits, the same companion lookup, the same
// package builder, the same message texts.
#pragma once

#include <cstdio>
#include <string>

// Exit codes.
const int kBatchOk = 0;
const int kBatchFailed = 1; // bad input or a failed build; nothing written at the destination
const int kBatchUsage = 2;  // the command line itself is wrong

struct BatchOptions {
    std::string projectFile;
    std::string companionsFolder; // empty: the wizard's App Paths entry names it
    bool acceptAnyMovie = false;
    bool help = false;
};

// False with a one-line reason in `error` when the arguments make no sense.
bool ParseBatchArguments(int argc, char** argv, BatchOptions* options, std::string* error);

// The whole run: progress lines to `out`, the one line naming a problem to `err`.
int RunBatch(const BatchOptions& options, FILE* out, FILE* err);

// main's body.
int QmbuildMain(int argc, char** argv);
