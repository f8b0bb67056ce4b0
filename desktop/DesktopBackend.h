// The desktop backend: real windows, menus, alerts and file panels on the X
// display, through FLTK. The toolkit lives on one thread of its own
// (ToolkitThread); the kit's loopers hand it work and, for alerts, wait for
// the user's answer.
#pragma once

#include <map>
#include <memory>
#include <vector>

#include "PlatformBackend.h"
#include "ToolkitThread.h"

class Fl_File_Chooser;
class ToolkitWindow;
struct AlertAnswer;

class DesktopBackend : public PlatformBackend {
public:
	DesktopBackend();
	virtual ~DesktopBackend();

	// Whether an X display can be opened, without keeping it.
	static bool DisplayAvailable();

	virtual void ApplicationStarted(BApplication* application);
	virtual void ApplicationEnded(BApplication* application, bool gone);

	virtual int32 RunAlert(BAlert* alert);
	virtual void ShowPanel(BFilePanel* panel);
	virtual void HidePanel(BFilePanel* panel);

	virtual void WindowShown(BWindow* window);
	virtual void WindowClosed(BWindow* window);
	virtual void PresentWindow(BWindow* window, const DisplayList& drawn);

private:
	struct Panel {
		BFilePanel* panel;
		Fl_File_Chooser* chooser;
	};

	static void _PollPanels(void* data);
	void _ToolkitEnded();

	ToolkitThread fToolkit;
	// The toolkit's side: used on its thread only.
	std::map<BWindow*, ToolkitWindow*> fWindows;
	std::vector<Panel> fPanels;
	std::vector<std::shared_ptr<AlertAnswer>> fAlerts;
};
