// The seam between the kit and what shows it to a user. The kit calls these
// verbs; a backend puts them on a screen (the desktop) or hands them to a
// scripted user (headless). Nothing outside the kit and the backends knows
// which one runs. The kit owns what the views drew and decides when they
// draw (once a window is shown, after each message it handles, and when a
// view is invalidated); a backend only presents it. A backend reaches
// inside the kit through KitPrivate.h alone.
#pragma once

#include <string>
#include <vector>

#include <Font.h>
#include <Rect.h>
#include <SupportDefs.h>

class BAlert;
class BApplication;
class BFilePanel;
class BView;
class BWindow;

// What a view drew: a string, or the outline or the inside of a rectangle.
enum drawn_shape { B_DRAWN_STRING = 0, B_DRAWN_STROKED_RECT, B_DRAWN_FILLED_RECT };

// One thing a window's views drew. A string: where, in the view that drew it
// and in the window, and in which font. A rectangle: rect, in the window.
struct DrawnString {
	BPoint inView;
	BPoint inWindow;
	std::string text;
	float size;
	font_kind kind;
	drawn_shape shape = B_DRAWN_STRING;
	// A string's room, from inView to the right: 0 when it may take what it
	// needs. A string the backend's font makes wider than that is shortened
	// with an ellipsis, where truncation says (B_TRUNCATE_END...), so it
	// never runs into what is drawn beside it.
	float width = 0.0f;
	uint32 truncation = 0;
	BRect rect = BRect();
	// The view that drew it. Only for the backend's PresentWindow, on the
	// window's thread: a copy kept for later must not use it.
	const BView* view = NULL;
};
typedef std::vector<DrawnString> DisplayList;

class PlatformBackend {
public:
	virtual ~PlatformBackend() {}

	// Start and stop: the application object is made; its loop has ended
	// (it has quit), and again, with gone set, as the object is deleted.
	virtual void ApplicationStarted(BApplication*) {}
	virtual void ApplicationEnded(BApplication*, bool /*gone*/) {}

	// Shows the alert and blocks the calling thread until the user answers;
	// returns the chosen button's index.
	virtual int32 RunAlert(BAlert* alert) = 0;

	virtual void ShowPanel(BFilePanel* panel) = 0;
	virtual void HidePanel(BFilePanel*) {}

	// The window is shown: at its first Show its thread has just started;
	// a later Show of a window that is shown already changes nothing on the
	// screen.
	virtual void WindowShown(BWindow*) {}
	// The window's loop has ended, on its thread: nothing may be sent to it
	// any more, and the application deletes it soon after.
	virtual void WindowClosed(BWindow*) {}
	// What the window's views drew, in drawing order, on the window's thread.
	virtual void PresentWindow(BWindow* window, const DisplayList& drawn) = 0;
};

// The backend in use: the one the program installed before it made its
// application (the launch code picks it), or, until then, one with no screen
// that answers each alert with its first button.
PlatformBackend* platform_backend();
void set_platform_backend(PlatformBackend* backend);
