// The settings kept from run to run when the user asks for it (Remember
// Settings): every printer, port and setting command chosen, in the order
// given, in $XDG_CONFIG_HOME/quillon/settings, one command a line, replayed
// at the next start right after the start-up settings. The file being there
// is what turns it on; while the user never turns it on, nothing is read or
// written.
#pragma once

#include <string>
#include <vector>

#include <SupportDefs.h>

class RememberedSettings {
public:
	RememberedSettings();

	bool IsOn() const { return fOn; }
	// The commands to replay, read from the file when it is there, and kept
	// as this run's first; each line that is no command comes back as a
	// problem.
	std::vector<uint32> Load(std::vector<std::string>* problems);
	// A command was chosen; the file keeps it while on.
	// False with why when the file could not be written.
	bool Chosen(uint32 command, std::string* error);
	// On: the file is written with every command of this run so far. Off:
	// the file goes, and with it what was kept.
	bool Turn(bool on, std::string* error);

	// "MPhp", the four letters a command line starts with.
	static std::string CommandWord(uint32 command);

private:
	bool _Write(std::string* error);

	std::string fPath;
	bool fOn = false;
	std::vector<uint32> fCommands;  // this run's, in order
};
