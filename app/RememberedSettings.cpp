#include "RememberedSettings.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include <sys/stat.h>
#include <unistd.h>

#include "MenuTable.h"
#include "PortChoices.h"

namespace {

// The label of the command's menu item, so that the file reads as the menus do.
const char*
LabelOf(uint32 command)
{
	for (const MenuTable& table : kMenus) {
		for (int i = 0; i < table.count; i++) {
			if (table.rows[i].label != NULL && table.rows[i].command == command)
				return table.rows[i].label;
		}
	}
	return NULL;
}

const char* const kHeading = "# The menu commands chosen while Remember Settings was on, in the order\n"
	"# given; Quillon replays them at start. Turn Remember Settings off to forget them.\n";

}  // namespace

RememberedSettings::RememberedSettings()
	:
	fPath(config_file_path("settings"))
{
}

std::string
RememberedSettings::CommandWord(uint32 command)
{
	std::string word;
	for (int shift = 24; shift >= 0; shift -= 8)
		word += static_cast<char>((command >> shift) & 0xff);
	return word;
}

std::vector<uint32>
RememberedSettings::Load(std::vector<std::string>* problems)
{
	std::vector<uint32> commands;
	struct stat info;
	if (fPath.empty() || stat(fPath.c_str(), &info) != 0)
		return commands;
	fOn = true;
	std::ifstream file(fPath);
	if (!file) {
		problems->push_back("could not read " + fPath + ": " + strerror(errno));
		return commands;
	}
	std::string line;
	for (int number = 1; std::getline(file, line) && number <= 100000; number++) {
		if (!line.empty() && line.back() == '\r')
			line.pop_back();
		if (line.empty() || line[0] == '#')
			continue;
		std::string word = line.substr(0, line.find_first_of(" \t"));
		uint32 command = 0;
		for (char c : word)
			command = (command << 8) | static_cast<uint8>(c);
		if (word.size() != 4 || LabelOf(command) == NULL) {
			problems->push_back(fPath + " line " + std::to_string(number) + ": " + word
				+ " is no menu command");
			continue;
		}
		commands.push_back(command);
	}
	// They are this run's first commands, once replayed.
	fCommands = commands;
	return commands;
}

bool
RememberedSettings::Chosen(uint32 command, std::string* error)
{
	fCommands.push_back(command);
	return !fOn || _Write(error);
}

bool
RememberedSettings::Turn(bool on, std::string* error)
{
	if (on) {
		fOn = true;
		return _Write(error);
	}
	fOn = false;
	if (!fPath.empty() && unlink(fPath.c_str()) != 0 && errno != ENOENT) {
		*error = "could not remove " + fPath + ": " + strerror(errno);
		return false;
	}
	return true;
}

bool
RememberedSettings::_Write(std::string* error)
{
	if (fPath.empty()) {
		*error = "neither XDG_CONFIG_HOME nor HOME is set, so the settings cannot be kept";
		return false;
	}
	std::string text = kHeading;
	for (uint32 command : fCommands)
		text += CommandWord(command) + "\t" + LabelOf(command) + "\n";
	return write_file_atomically(fPath, text, error);
}
