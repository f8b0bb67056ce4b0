#include "ScriptUser.h"

#include <cstdio>
#include <iostream>
#include <mutex>
#include <thread>

#include "HeadlessBackend.h"

script_line_kind
read_script_line(const std::string& line, std::vector<std::string>& words, std::string& error)
{
	words.clear();
	size_t first = line.find_first_not_of(" \t\r");
	if (first == std::string::npos || line[first] == '#')
		return kScriptSkip;
	// Every path and label ends at a NUL on its way to the system: a line
	// with one would be taken for less than it says.
	if (line.find('\0') != std::string::npos) {
		error = "a NUL byte in the line";
		return kScriptError;
	}
	if (!split_script_line(line, words)) {
		words.clear();
		error = "unclosed quote";
		return kScriptError;
	}
	// \x00 in quotes is the same NUL, written another way.
	for (const std::string& word : words) {
		if (word.find('\0') != std::string::npos) {
			words.clear();
			error = "a NUL byte in the line";
			return kScriptError;
		}
	}
	return kScriptAction;
}

// The escape after a backslash inside quotes, as event lines write them
// (\" too): how many bytes it takes after the backslash, 0 when none is
// there (the backslash stands for itself), and the byte it stands for.
static size_t
Unescape(const std::string& line, size_t at, char* c)
{
	auto hex = [](char digit) {
		if (digit >= '0' && digit <= '9')
			return digit - '0';
		if (digit >= 'a' && digit <= 'f')
			return digit - 'a' + 10;
		if (digit >= 'A' && digit <= 'F')
			return digit - 'A' + 10;
		return -1;
	};
	switch (line[at]) {
		case '"': *c = '"'; return 1;
		case '\\': *c = '\\'; return 1;
		case 't': *c = '\t'; return 1;
		case 'n': *c = '\n'; return 1;
		case 'r': *c = '\r'; return 1;
		case 'x':
			if (at + 2 < line.size() && hex(line[at + 1]) >= 0 && hex(line[at + 2]) >= 0) {
				*c = static_cast<char>(hex(line[at + 1]) * 16 + hex(line[at + 2]));
				return 3;
			}
			return 0;
		default:
			return 0;
	}
}

bool
split_script_line(const std::string& line, std::vector<std::string>& words)
{
	words.clear();
	size_t i = 0;
	while (i < line.size()) {
		while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r'))
			i++;
		if (i == line.size())
			break;
		std::string word;
		if (line[i] == '"') {
			i++;
			bool closed = false;
			while (i < line.size()) {
				char c = line[i++];
				if (c == '"') {
					closed = true;
					break;
				}
				if (c == '\\' && i < line.size())
					i += Unescape(line, i, &c);
				word += c;
			}
			if (!closed)
				return false;
		} else {
			while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r')
				word += line[i++];
		}
		words.push_back(word);
	}
	return true;
}

static const char* kHelp[] = {
	"menu WHAT\tchoose a menu item by its code (MPhp) or its label (\"HP Deskjet Series\")",
	"key C\tthe command key with C, as the menu shortcuts define",
	"select PATH...\tconfirm the open panel that is up with these files",
	"cancel\tcancel the open panel that is up",
	"drop PATH...\tdrop these files on the application",
	"answer WHICH\tpress a button of the alert that is up, by index or label",
	"close\tthe window's close box",
	"draw\tthe view draws, and what it drew is reported",
	"help\tlist the actions",
};

static std::string
TakeAction(HeadlessBackend* backend, const std::vector<std::string>& words)
{
	const std::string& action = words[0];
	std::vector<std::string> arguments(words.begin() + 1, words.end());

	if (action == "menu" || action == "key" || action == "answer") {
		if (arguments.size() != 1)
			return action + " takes one word";
		if (action == "menu")
			return backend->ChooseMenu(arguments[0]);
		if (action == "answer")
			return backend->Answer(arguments[0]);
		if (arguments[0].size() != 1)
			return "key takes one character";
		return backend->PressKey(arguments[0][0]);
	}
	if (action == "select" || action == "drop") {
		if (arguments.empty())
			return action + " takes one or more files";
		// An empty name names no file: the job is not begun without it.
		for (const std::string& file : arguments) {
			if (file.empty())
				return action + " takes no empty file name";
		}
		if (action == "select")
			return backend->SelectFiles(arguments);
		return backend->Drop(arguments);
	}
	if (action == "cancel" || action == "close" || action == "draw" || action == "help") {
		if (!arguments.empty())
			return action + " takes no words";
		if (action == "cancel")
			return backend->CancelPanel();
		if (action == "close")
			return backend->CloseWindow();
		if (action == "draw")
			return backend->Draw();
		for (const char* line : kHelp) {
			std::string text = line;
			size_t tab = text.find('\t');
			backend->Emit({ "help", text.substr(0, tab), text.substr(tab + 1) });
		}
		return "";
	}
	return "unknown action " + action;
}

// At the end of the script the user leaves: an alert still up gets its first
// button, then the close box of each window is clicked, the one in front
// first. A window that stays after its close box was clicked is left.
static void
Leave(HeadlessBackend* backend)
{
	const BWindow* closed = NULL;
	for (;;) {
		backend->WaitIdle();
		auto turn = backend->TakeTurn();
		if (backend->HasQuit())
			return;
		if (backend->AlertShowing()) {
			backend->Answer("0");
			continue;
		}
		const BWindow* window = backend->UserWindow();
		if (window == NULL || window == closed || !backend->CloseWindow().empty())
			return;
		closed = window;
	}
}

void
run_script(HeadlessBackend* backend, std::istream& script)
{
	std::string line;
	while (std::getline(script, line)) {
		std::vector<std::string> words;
		std::string error;
		script_line_kind kind = read_script_line(line, words, error);
		if (kind == kScriptSkip)
			continue;

		// At rest but for a job at its printer, the window's menus may be
		// read: an item that stops the job is chosen now, any other action
		// waits for the job too.
		backend->WaitRest();
		if (kind != kScriptAction || !backend->StopsWork(words))
			backend->WaitIdle();
		// The action and its report in one turn: once the application object
		// is gone there is nothing to act on, and the process is ending.
		auto turn = backend->TakeTurn();
		if (backend->HasEnded())
			return;
		if (kind == kScriptAction)
			error = TakeAction(backend, words);
		if (!error.empty())
			backend->Emit({ "error", error });
	}
	Leave(backend);
}

void
start_script_user(HeadlessBackend* backend)
{
	// Never destroyed: the reader may still write while the process ends.
	static std::mutex& sOutputLock = *new std::mutex;
	backend->SetEventSink([](const std::string& line) {
		std::lock_guard<std::mutex> lock(sOutputLock);
		// The stream's own lock too: the engine's messages are printed to it
		// from the job's thread, and must not fall inside a line.
		flockfile(stdout);
		fputs(line.c_str(), stdout);
		fputc('\n', stdout);
		fflush(stdout);
		funlockfile(stdout);
	});
	// The reader may still wait for input when the application quits; the
	// process ends without it.
	std::thread([backend] { run_script(backend, std::cin); }).detach();
}
