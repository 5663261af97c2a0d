// Turns the URL a host gives the control into a local file path. Hosts write "file://"
// followed by a Windows path as it stands (backslashes, nothing escaped), or a proper
// file URL ("file:///C:/folder/movie.swf", "file://server/share/movie.swf"); a bare
// path is taken as it is. Anything else (http:, relative names) gives no path.
#pragma once

#include <cstddef>

// Paths longer than this (in UTF-16 units, with the terminator) are not opened.
const size_t kMaxMoviePath = 2048;

// The path of the `length` characters of `url`, terminated; false (and an empty path) when
// the URL names no local file or the path would not fit.
bool MoviePathFromUrl(const wchar_t* url, size_t length, wchar_t (&path)[kMaxMoviePath]);
