// The Setup menu, after the window's four menus: the printers found for the
// port in use (choosing one points the port at it, and the ports file keeps
// it), a new look for them, a device or file chosen by path, Preview, Remember
// Settings and Cancel Printing. It belongs to the window and runs on its
// thread; the search for printers runs on a thread of its own and hands
// what it found back as a message.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <FilePanel.h>
#include <SupportDefs.h>

#include "PrinterDiscovery.h"
#include "RememberedSettings.h"

class BMenu;
class BMessage;
class BWindow;

const uint32 kChooseFoundPort = 'SUfp';   // "target": where the port is to lead
const uint32 kLookAgain = 'SUla';
const uint32 kPortByPath = 'SUbp';
const uint32 kPortPathChosen = 'SUpc';    // the panel's answer: "refs"
const uint32 kPreview = 'SUpv';          // opens the panel of PagePreview
const uint32 kRememberSettings = 'SUrs';
const uint32 kCancelPrinting = 'SUcp';
const uint32 kPrintersFound = 'SUpf';     // the search has ended

class SetupMenu {
public:
	// Made with the window, before it runs; the search begins at once.
	SetupMenu(BWindow* window);
	// Stops the search and waits for it.
	~SetupMenu();

	BMenu* Menu() const { return fMenu; }
	RememberedSettings& Remembered() { return fRemembered; }

	// False when the message is none of the menu's.
	bool MessageReceived(BMessage* message);
	// The printers found, as fit for the port in use, marked where it leads.
	void ListFound();
	// The marks follow the port in use.
	void MarkPort();
	// What the status bar adds to its idle words: a port choice that could
	// not be kept, a line of the ports file not used; "" for nothing.
	const std::string& Note() const { return fNote; }
	void SetNote(const std::string& note) { fNote = note; }

private:
	void _LookAgain();
	void _ShowFound();
	void _ChoosePort(const std::string& target);

	BWindow* fWindow;
	BMenu* fMenu;
	RememberedSettings fRemembered;
	std::string fNote;
	std::vector<FoundPrinter> fShown;  // the found items at the menu's top
	int32 fFoundItems = 0;             // items above the separator
	std::vector<std::unique_ptr<BFilePanel>> fPanels;

	std::thread fSearch;
	std::atomic<bool> fStop{false};
	std::mutex fFoundLock;
	std::vector<FoundPrinter> fFound;  // guarded by fFoundLock
	bool fSearching = false;
};
