// The main window's menus and the settings view's start-up text as the
// program's users know them, written down independently of the program's own
// tables so that the tests can hold the program to them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ExpectedItem {
	const char* label;  // NULL for a separator
	const char* code;   // the command code's four characters
	uint32_t value;     // the command code as a number
	char shortcut;      // with the command key; 0 for none
};

struct ExpectedMenu {
	const char* title;
	std::vector<ExpectedItem> items;  // separators included, in order
};

// File, Printers, Print Modes, Command Printer, left to right.
const std::vector<ExpectedMenu>& expected_menus();

// The 57 command items, menu by menu, without the separators.
std::vector<ExpectedItem> expected_items();

// The twenty lines the settings view draws right after start-up.
std::vector<std::string> startup_view_lines();

// The events a drawing of these lines reports: one "text" event per line,
// at x 20 and y 20, 40, ... 400.
std::vector<std::string> text_events(const std::vector<std::string>& lines);

// The not-supported alert as an event line.
extern const char* const kNotSupportedAlert;
