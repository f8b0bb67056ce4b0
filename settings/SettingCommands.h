// The commands that change the printer settings: printer models, ports and the
// single settings of the Print Modes and Command Printer menus.
#pragma once

#include <cstdint>

// What running a command came to, for its caller to show.
enum setting_outcome {
	kNotASettingCommand = 0,  // not a printer, port or setting command: nothing changed
	kSettingChanged,
	// Changed, for a function that is not supported yet: the user is to be
	// told so.
	kSettingChangedNotSupported
};

// Runs the printer, port or setting command with this code: the change to the
// store, made and its lock released by the time this returns. Shows nothing.
setting_outcome RunSettingCommand(uint32_t command);

// True for the commands that only answer with the not-supported alert.
bool IsAlertOnlyCommand(uint32_t command);
