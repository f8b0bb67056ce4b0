#pragma once

#include <FilePanel.h>
#include <MenuBar.h>
#include <Window.h>

// The most recently created open panel; NULL until the first "Print".
extern BFilePanel* OpenFilePanel;

class QuillonWindow : public BWindow {
public:
	QuillonWindow(BRect frame);
	virtual ~QuillonWindow();

	virtual void MessageReceived(BMessage* message);
	virtual bool QuitRequested();

private:
	void _OpenPrintPanel();
	void _Quit();

	BMenuBar* fMenuBar;
};
