// The words of one script line: separated by spaces; a word with spaces is
// written in double quotes, with \" and \\ inside them.
#pragma once

#include <string>
#include <vector>

// Returns false when a quote is left open.
bool split_script_line(const std::string& line, std::vector<std::string>& words);
