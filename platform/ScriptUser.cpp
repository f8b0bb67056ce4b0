#include "ScriptUser.h"

#include <cstdio>
#include <iostream>
#include <mutex>
#include <thread>

#include "HeadlessBackend.h"

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
				if (c == '\\' && i < line.size() && (line[i] == '"' || line[i] == '\\'))
					c = line[i++];
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
	if (action == "select")
		return backend->SelectFiles(arguments);
	if (action == "drop") {
		if (arguments.empty())
			return "drop takes one or more files";
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
		for (const char* line : kHelp)
			backend->Emit(std::string("help\t") + line);
		return "";
	}
	return "unknown action " + action;
}

// At the end of the script the user leaves: an alert still up gets its first
// button, then the window's close box is clicked.
static void
Leave(HeadlessBackend* backend)
{
	bool closed = false;
	for (;;) {
		backend->WaitIdle();
		if (backend->HasQuit())
			return;
		if (backend->AlertShowing()) {
			backend->Answer("0");
			continue;
		}
		if (closed || !backend->CloseWindow().empty())
			return;
		closed = true;
	}
}

static void
ReadScript(HeadlessBackend* backend)
{
	std::string line;
	while (std::getline(std::cin, line)) {
		std::vector<std::string> words;
		size_t first = line.find_first_not_of(" \t\r");
		if (first == std::string::npos || line[first] == '#')
			continue;

		backend->WaitIdle();
		std::string error;
		if (!split_script_line(line, words))
			error = "unclosed quote";
		else
			error = TakeAction(backend, words);
		if (!error.empty())
			backend->Emit("error\t" + error);
	}
	Leave(backend);
}

void
start_script_user(HeadlessBackend* backend)
{
	static std::mutex sOutputLock;
	backend->SetEventSink([](const std::string& line) {
		std::lock_guard<std::mutex> lock(sOutputLock);
		fputs(line.c_str(), stdout);
		fputc('\n', stdout);
		fflush(stdout);
	});
	// The reader may still wait for input when the application quits; the
	// process ends without it.
	std::thread(ReadScript, backend).detach();
}
