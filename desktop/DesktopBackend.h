// The desktop backend: real windows, menus, alerts and file choosers on the
// screen, through GTK 4, on Wayland or X11, whichever the display is. The
// toolkit lives on one thread of its own (ToolkitThread); the kit's loopers
// hand it work and, for alerts, wait for the user's answer.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "PlatformBackend.h"
#include "ToolkitThread.h"

typedef struct _GApplication GApplication;
typedef struct _GtkNativeDialog GtkNativeDialog;
typedef struct _GtkWindow GtkWindow;
class ToolkitWindow;
struct AlertAnswer;

class DesktopBackend : public PlatformBackend {
public:
	DesktopBackend();
	virtual ~DesktopBackend();

	// Whether a Wayland or an X display is there to be opened.
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
		GtkNativeDialog* chooser;
	};

	void _ToolkitStarted();
	void _ToolkitEnded();
	GtkWindow* _MainWindow() const;
	void _CloseAsked(BWindow* window);
	void _AlertAnswered(const std::shared_ptr<AlertAnswer>& answer);
	void _PanelAnswered(GtkNativeDialog* chooser, int response);
	void _TellFinishing();
	void _TellFinished();
	bool _Notify(const std::string& title, const std::string& body);

	ToolkitThread fToolkit;
	// The toolkit's side: used on its thread only.
	std::map<BWindow*, ToolkitWindow*> fWindows;
	// The same windows in the order they came up: the first is the main
	// window, the one alerts and panels open over.
	std::vector<BWindow*> fShownOrder;
	std::vector<Panel> fPanels;
	std::vector<std::shared_ptr<AlertAnswer>> fAlerts;
	// Windows whose close box was clicked while an alert was up.
	std::vector<BWindow*> fCloseAfterAlert;
	// What the main window's status bar said last, for the word that a job
	// goes on after the window has closed.
	std::string fLastStatus;
	bool fJobShown;
	bool fToldFinishing;
	GApplication* fNotifier;
};
