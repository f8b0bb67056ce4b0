// A menu item: a label, the message it sends and its command-key shortcut.
#pragma once

#include <string>

#include <Message.h>

class BMenu;

class BMenuItem {
public:
	BMenuItem(const char* label, BMessage* message, char shortcut = 0, uint32 modifiers = 0);
	BMenuItem(BMenu* submenu, BMessage* message = NULL);
	virtual ~BMenuItem();

	const char* Label() const { return fLabel.c_str(); }
	BMessage* Message() const { return fMessage; }
	uint32 Command() const { return fMessage != NULL ? fMessage->what : 0; }
	char Shortcut(uint32* modifiers = NULL) const;
	BMenu* Submenu() const { return fSubmenu; }
	BMenu* Menu() const { return fMenu; }
	virtual bool IsSeparator() const { return false; }
	// A mark beside the item, for the current choice of its group: shown by
	// the desktop, changing nothing else.
	void SetMarked(bool marked) { fMarked = marked; }
	bool IsMarked() const { return fMarked; }
	// An item that stops work under way (a job at its printer): a scripted
	// user chooses it without waiting for that work to end.
	void SetStopsWork(bool stops) { fStopsWork = stops; }
	bool StopsWork() const { return fStopsWork; }

	// Sends a copy of the item's message to the window that holds the menu.
	virtual status_t Invoke();

private:
	friend class BMenu;

	std::string fLabel;
	BMessage* fMessage;
	char fShortcut;
	uint32 fModifiers;
	BMenu* fSubmenu;
	BMenu* fMenu;
	bool fMarked = false;
	bool fStopsWork = false;
};

class BSeparatorItem : public BMenuItem {
public:
	BSeparatorItem() : BMenuItem("", NULL) {}
	virtual bool IsSeparator() const { return true; }
	virtual status_t Invoke() { return B_ERROR; }
};
