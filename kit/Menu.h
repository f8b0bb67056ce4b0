// A menu: a column (or row) of items and submenus.
#pragma once

#include <string>
#include <vector>

#include <View.h>

class BMenuItem;

class BMenu : public BView {
public:
	BMenu(const char* title, menu_layout layout = B_ITEMS_IN_COLUMN);
	virtual ~BMenu();

	bool AddItem(BMenuItem* item);
	// Inserts the item before the one at index (at the end past the last).
	bool AddItem(BMenuItem* item, int32 index);
	bool AddItem(BMenu* submenu);
	bool AddSeparatorItem();
	// Takes the item at index out of the menu and deletes it.
	bool RemoveItem(int32 index);

	int32 CountItems() const { return static_cast<int32>(fItems.size()); }
	BMenuItem* ItemAt(int32 index) const;
	// Looks through this menu and its submenus.
	BMenuItem* FindItem(uint32 command) const;
	BMenuItem* FindItem(const char* label) const;
	BMenuItem* FindShortcut(char shortcut) const;

	const char* Title() const { return fTitle.c_str(); }
	menu_layout Layout() const { return fLayout; }
	// The window of the menu bar this menu hangs from.
	BWindow* MenuWindow() const;

private:
	friend class BMenuItem;

	std::string fTitle;
	menu_layout fLayout;
	std::vector<BMenuItem*> fItems;
	BMenuItem* fSuperitem;
};
