#pragma once

#include <memory>
#include <vector>

#include <FilePanel.h>
#include <MenuBar.h>
#include <Window.h>

class SetupMenu;

// The most recently created open panel; NULL until the first "Print" and once
// the window is gone. The window owns every panel it made (each answers on
// its own); this only names the newest, which is the program's name for it,
// and nothing needs to read it.
extern BFilePanel* OpenFilePanel;

class QuillonWindow : public BWindow {
public:
	QuillonWindow(BRect frame);
	virtual ~QuillonWindow();

	virtual void MessageReceived(BMessage* message);
	virtual bool QuitRequested();

private:
	void _OpenPrintPanel();
	// False when the code is not a printer, port or setting command.
	bool _RunSettingCommand(uint32 command);
	void _ShowStatus(BMessage* message);
	void _ShowIdleStatus();
	void _Quit();
	// The ports file and the remembered settings, at start.
	void _SetUp();

	BMenuBar* fMenuBar;
	std::unique_ptr<SetupMenu> fSetup;
	// A job's status stays until it ends; the idle status waits for it.
	bool fJobRuns = false;
	// Every panel a Print opened: each stays until the window goes, as the
	// user may still confirm an earlier one.
	std::vector<std::unique_ptr<BFilePanel>> fPanels;
};
