// The seam between the kit and what shows it to a user. The kit calls these
// verbs; a backend puts them on a screen (the desktop) or hands them to a
// scripted user (headless). Nothing outside the kit knows which one runs.
#pragma once

#include <Rect.h>
#include <SupportDefs.h>

class BAlert;
class BApplication;
class BFilePanel;
class BFont;
class BView;
class BWindow;

class PlatformBackend {
public:
	virtual ~PlatformBackend() {}

	virtual void ApplicationStarted(BApplication*) {}
	// The application's loop has ended: it has quit.
	virtual void ApplicationQuit(BApplication*) {}
	virtual void ApplicationEnded(BApplication*) {}

	// Shows the alert and blocks the calling thread until the user answers;
	// returns the chosen button's index.
	virtual int32 RunAlert(BAlert* alert) = 0;

	virtual void ShowPanel(BFilePanel* panel) = 0;
	virtual void HidePanel(BFilePanel*) {}

	virtual void WindowShown(BWindow*) {}
	// The window has handled a message on its thread: what the message
	// changed may now be brought to the screen.
	virtual void WindowMessageHandled(BWindow*) {}
	// The window's loop has ended: it is closed, though the object lives
	// until the application deletes it.
	virtual void WindowClosed(BWindow*) {}
	virtual void WindowGone(BWindow*) {}
	virtual void WindowInvalidated(BWindow*) {}
	// A window draws its views between these two calls, on its own thread.
	virtual void WindowDrawBegin(BWindow*) {}
	virtual void WindowDrawEnd(BWindow*) {}
	virtual void DrawString(BView* view, BPoint where, const char* string, const BFont& font) = 0;
};

// The backend in use: the one the program installed before it made its
// application (the launch code picks it), or, until then, one with no screen
// that answers each alert with its first button.
PlatformBackend* platform_backend();
void set_platform_backend(PlatformBackend* backend);
