#include <Menu.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#include <MenuBar.h>
#include <MenuItem.h>
#include <Window.h>

#include "KitPrivate.h"

BMenuItem::BMenuItem(const char* label, BMessage* message, char shortcut, uint32 modifiers)
	:
	fLabel(label != NULL ? label : ""),
	fMessage(message),
	fShortcut(shortcut),
	fModifiers(modifiers),
	fSubmenu(NULL),
	fMenu(NULL)
{
}

BMenuItem::BMenuItem(BMenu* submenu, BMessage* message)
	:
	fLabel(submenu != NULL ? submenu->Title() : ""),
	fMessage(message),
	fShortcut(0),
	fModifiers(0),
	fSubmenu(submenu),
	fMenu(NULL)
{
	if (submenu != NULL)
		submenu->fSuperitem = this;
}

BMenuItem::~BMenuItem()
{
	delete fMessage;
	delete fSubmenu;
}

char
BMenuItem::Shortcut(uint32* modifiers) const
{
	if (modifiers != NULL)
		*modifiers = fModifiers;
	return fShortcut;
}

status_t
BMenuItem::Invoke()
{
	if (fMessage == NULL || fMenu == NULL)
		return B_BAD_VALUE;
	BWindow* window = fMenu->MenuWindow();
	if (window == NULL)
		return B_NO_INIT;
	return window->PostMessage(fMessage);
}

BMenu::BMenu(const char* title, menu_layout layout)
	:
	BView(BRect(), title, B_FOLLOW_NONE, 0),
	fTitle(title != NULL ? title : ""),
	fLayout(layout),
	fSuperitem(NULL)
{
}

BMenu::~BMenu()
{
	for (BMenuItem* item : fItems)
		delete item;
}

bool
BMenu::AddItem(BMenuItem* item)
{
	return AddItem(item, CountItems());
}

bool
BMenu::AddItem(BMenuItem* item, int32 index)
{
	if (item == NULL || index < 0)
		return false;
	std::lock_guard<std::recursive_mutex> lock(KitPrivate::MenuTreeLock());
	item->fMenu = this;
	fItems.insert(fItems.begin() + std::min<size_t>(static_cast<size_t>(index), fItems.size()), item);
	return true;
}

bool
BMenu::RemoveItem(int32 index)
{
	std::lock_guard<std::recursive_mutex> lock(KitPrivate::MenuTreeLock());
	if (index < 0 || static_cast<size_t>(index) >= fItems.size())
		return false;
	BMenuItem* item = fItems[static_cast<size_t>(index)];
	fItems.erase(fItems.begin() + index);
	delete item;
	return true;
}

bool
BMenu::AddItem(BMenu* submenu)
{
	if (submenu == NULL)
		return false;
	return AddItem(new BMenuItem(submenu));
}

bool
BMenu::AddSeparatorItem()
{
	return AddItem(new BSeparatorItem());
}

BMenuItem*
BMenu::ItemAt(int32 index) const
{
	if (index < 0 || static_cast<size_t>(index) >= fItems.size())
		return NULL;
	return fItems[static_cast<size_t>(index)];
}

// The first item, in the order the menus show them and depth first through
// submenus, that is no submenu's item and that the test accepts.
template<typename Test>
static BMenuItem*
FirstLeaf(const BMenu* menu, const Test& accepts)
{
	for (int32 i = 0; i < menu->CountItems(); i++) {
		BMenuItem* item = menu->ItemAt(i);
		if (item->Submenu() != NULL) {
			if (BMenuItem* found = FirstLeaf(item->Submenu(), accepts))
				return found;
		} else if (accepts(item))
			return item;
	}
	return NULL;
}

BMenuItem*
BMenu::FindItem(uint32 command) const
{
	return FirstLeaf(this, [command](BMenuItem* item) {
		return !item->IsSeparator() && item->Message() != NULL && item->Command() == command;
	});
}

BMenuItem*
BMenu::FindItem(const char* label) const
{
	if (label == NULL)
		return NULL;
	return FirstLeaf(this, [label](BMenuItem* item) {
		return !item->IsSeparator() && strcmp(item->Label(), label) == 0;
	});
}

BMenuItem*
BMenu::FindShortcut(char shortcut) const
{
	if (shortcut == 0)
		return NULL;
	int wanted = tolower(static_cast<unsigned char>(shortcut));
	return FirstLeaf(this, [wanted](BMenuItem* item) {
		return item->Shortcut() != 0
			&& tolower(static_cast<unsigned char>(item->Shortcut())) == wanted;
	});
}

BWindow*
BMenu::MenuWindow() const
{
	const BMenu* menu = this;
	while (menu->fSuperitem != NULL && menu->fSuperitem->Menu() != NULL)
		menu = menu->fSuperitem->Menu();
	return menu->Window();
}

BMenuBar::BMenuBar(BRect frame, const char* name, uint32 resizingMode, menu_layout layout,
	bool resizeToFit)
	:
	BMenu(name, layout),
	fResizeToFit(resizeToFit)
{
	// The bar spans the frame it is given; fitted to its items, it is one
	// line of text high: its bottom edge is at 18, so that, edges included,
	// it covers the 19 pixel rows 0 to 18 and a view placed below it starts
	// at 19.
	_Reshape(BRect(frame.left, frame.top, frame.right,
				 resizeToFit ? frame.top + 18.0f : frame.bottom),
		resizingMode);
}

BMenuBar::~BMenuBar()
{
}
