// What a file manager drops on a window.
#pragma once

#include <string>
#include <vector>

// The files of a drop from a file manager: one "file://" URI a line
// ("file:///a%20b" or "file://host/a"), or plain absolute paths; comment
// lines and anything else are skipped.
std::vector<std::string> DroppedPaths(const std::string& uriList);
