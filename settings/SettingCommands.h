// The commands that change the printer settings: printer models, ports and the
// single settings of the Print Modes and Command Printer menus.
#pragma once

#include <cstdint>

// Runs the printer, port or setting command with this code: the change to the
// store, then the not-supported alert where the function is not supported yet.
// Returns false, changing nothing, for any other code.
bool RunSettingCommand(uint32_t command);

// True for the commands that only answer with the not-supported alert.
bool IsAlertOnlyCommand(uint32_t command);
