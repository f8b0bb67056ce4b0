// Constants of windows, views, menus, alerts and panels.
#pragma once

#include <SupportDefs.h>

enum window_type {
	B_UNTYPED_WINDOW = 0,
	B_TITLED_WINDOW = 1,
	B_MODAL_WINDOW = 3,
	B_DOCUMENT_WINDOW = 11,
};

// Window flags.
const uint32 B_NOT_MOVABLE = 0x00000001;
const uint32 B_NOT_RESIZABLE = 0x00000002;
const uint32 B_NOT_CLOSABLE = 0x00000020;
const uint32 B_NOT_ZOOMABLE = 0x00000040;

const uint32 B_CURRENT_WORKSPACE = 0;

// Resizing modes: how a view follows its parent's edges.
const uint32 B_FOLLOW_NONE = 0;
const uint32 B_FOLLOW_LEFT = 0x0202;
const uint32 B_FOLLOW_RIGHT = 0x0404;
const uint32 B_FOLLOW_LEFT_RIGHT = 0x0204;
const uint32 B_FOLLOW_TOP = 0x1010;
const uint32 B_FOLLOW_BOTTOM = 0x3030;
const uint32 B_FOLLOW_TOP_BOTTOM = 0x1030;
const uint32 B_FOLLOW_ALL_SIDES = B_FOLLOW_TOP_BOTTOM | B_FOLLOW_LEFT_RIGHT;
const uint32 B_FOLLOW_ALL = B_FOLLOW_ALL_SIDES;

// View flags.
const uint32 B_WILL_DRAW = 0x20000000;
const uint32 B_NAVIGABLE = 0x02000000;

enum menu_layout {
	B_ITEMS_IN_ROW = 0,
	B_ITEMS_IN_COLUMN = 1,
	B_ITEMS_IN_MATRIX = 2,
};

enum button_width {
	B_WIDTH_AS_USUAL = 0,
	B_WIDTH_FROM_WIDEST = 1,
	B_WIDTH_FROM_LABEL = 2,
};

enum alert_type {
	B_EMPTY_ALERT = 0,
	B_INFO_ALERT = 1,
	B_IDEA_ALERT = 2,
	B_WARNING_ALERT = 3,
	B_STOP_ALERT = 4,
};

enum file_panel_mode {
	B_OPEN_PANEL = 0,
	B_SAVE_PANEL = 1,
};

// Where a string that has less room than it needs loses its characters.
enum { B_TRUNCATE_END = 0, B_TRUNCATE_BEGINNING = 1, B_TRUNCATE_MIDDLE = 2 };

// Keys that are shortcuts of their own, without the command key: the
// character each sends.
enum { B_PAGE_UP = 0x0b, B_PAGE_DOWN = 0x0c };

struct escapement_delta {
	float nonspace;
	float space;
};
