// The scripted user of the headless backend: what one line of a script says,
// and the user that reads a whole script and acts on the program line by line.
#pragma once

#include <istream>
#include <string>
#include <vector>

class HeadlessBackend;

// The words of one script line: separated by spaces, tabs or carriage
// returns; a word with spaces is written in double quotes, where \" \\ \t \n
// \r and \xHH stand for the byte the event lines escape that way (any other
// backslash stands for itself). Returns false when a quote is left open.
bool split_script_line(const std::string& line, std::vector<std::string>& words);

enum script_line_kind {
	kScriptSkip,    // a blank line or a comment
	kScriptAction,  // words holds the action and its words
	kScriptError    // error says what is wrong with the line
};

// Reads one line of a script (without its line end).
script_line_kind read_script_line(const std::string& line, std::vector<std::string>& words,
	std::string& error);

// Takes the script's actions one by one, each once the program is at rest,
// and reports every action that cannot be taken as an error event. At the end
// of the script the user leaves: an alert still up gets its first button,
// then the window's close box is clicked. Once the application object is
// gone, the rest of the script is not read. Runs on the user's own thread.
void run_script(HeadlessBackend* backend, std::istream& script);

// Reads actions from standard input, one per line, and takes each on the
// backend once the program is at rest; prints the events on standard output.
void start_script_user(HeadlessBackend* backend);
