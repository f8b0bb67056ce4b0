// The panel in which the user chooses files.
#pragma once

#include <string>
#include <vector>

#include <Entry.h>
#include <InterfaceDefs.h>
#include <Message.h>
#include <Messenger.h>

class BLooper;
class BRefFilter;

class BFilePanel {
public:
	BFilePanel(file_panel_mode mode = B_OPEN_PANEL, BMessenger* target = NULL,
		const entry_ref* directory = NULL, uint32 nodeFlavors = 0,
		bool allowMultipleSelection = true, BMessage* message = NULL, BRefFilter* filter = NULL,
		bool modal = false, bool hideWhenDone = true);
	virtual ~BFilePanel();

	void Show();
	void Hide();
	bool IsShowing() const { return fShowing; }

	file_panel_mode PanelMode() const { return fMode; }
	bool AllowsMultipleSelection() const { return fAllowMultiple; }
	bool IsModal() const { return fModal; }
	bool HidesWhenDone() const { return fHideWhenDone; }
	const char* Directory() const { return fDirectory.c_str(); }

private:
	friend class KitPrivate;
	// The user confirmed files or cancelled (KitPrivate). The selection goes
	// out as one message with a "refs" entry per file. Both return what
	// posting the message to the panel's target returned.
	status_t _Confirm(const std::vector<std::string>& paths);
	status_t _Cancel();

	BLooper* _Target() const;

	file_panel_mode fMode;
	BLooper* fTarget;
	std::string fDirectory;
	bool fAllowMultiple;
	BMessage fMessage;
	bool fModal;
	bool fHideWhenDone;
	bool fShowing;
};
