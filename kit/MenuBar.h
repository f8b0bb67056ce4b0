// The menu bar across the top of a window.
#pragma once

#include <Menu.h>

class BMenuBar : public BMenu {
public:
	BMenuBar(BRect frame, const char* name, uint32 resizingMode = B_FOLLOW_LEFT_RIGHT | B_FOLLOW_TOP,
		menu_layout layout = B_ITEMS_IN_ROW, bool resizeToFit = true);
	virtual ~BMenuBar();

	bool ResizeToFit() const { return fResizeToFit; }

private:
	bool fResizeToFit;
};
