// The menus of the main window, in the order they appear.
#pragma once

#include <cstdint>

struct MenuRow {
	const char* label;  // NULL for a separator
	uint32_t command;
	char shortcut;      // 0 for none
};

struct MenuTable {
	const char* title;
	const MenuRow* rows;
	int count;
};

extern const MenuTable kMenus[4];
