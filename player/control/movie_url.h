// Turns the URL a host gives the control into a local file path. Hosts write "file://"
// followed by a Windows path as it stands (backslashes, nothing escaped), or a proper
// file URL ("file:///C:/folder/movie.swf", "file://server/share/movie.swf"); a bare
// path is taken as it is. Anything else (http:, relative names) gives an empty path.
#pragma once

#include <string>

std::wstring MoviePathFromUrl(const std::wstring& url);
