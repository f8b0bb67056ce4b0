// The desktop backend: real windows, menus, alerts and file panels on the X
// display, through FLTK. The toolkit lives on one thread of its own; the
// kit's loopers hand it work and, for alerts, wait for the user's answer.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "PlatformBackend.h"

// One string of a window's last drawing, in the window's coordinates.
struct DrawnString {
	float x;
	float y;
	std::string text;
	float size;
	int32 kind;
};

// The files of a drop from a file manager: one "file://" URI a line
// ("file:///a%20b" or "file://host/a"), or plain absolute paths; comment
// lines and anything else are skipped.
std::vector<std::string> DroppedPaths(const std::string& uriList);

class DesktopBackend : public PlatformBackend {
public:
	DesktopBackend();
	virtual ~DesktopBackend();

	// Whether an X display can be opened, without keeping it.
	static bool DisplayAvailable();

	virtual void ApplicationStarted(BApplication* application);
	virtual void ApplicationQuit(BApplication* application);
	virtual void ApplicationEnded(BApplication* application);

	virtual int32 RunAlert(BAlert* alert);
	virtual void ShowPanel(BFilePanel* panel);
	virtual void HidePanel(BFilePanel* panel);

	virtual void WindowShown(BWindow* window);
	virtual void WindowMessageHandled(BWindow* window);
	virtual void WindowClosed(BWindow* window);
	virtual void WindowGone(BWindow* window);
	virtual void WindowInvalidated(BWindow* window);
	virtual void WindowDrawBegin(BWindow* window);
	virtual void WindowDrawEnd(BWindow* window);
	virtual void DrawString(BView* view, BPoint where, const char* string, const BFont& font);

	// What the window shows now: the strings of its last finished drawing.
	std::vector<DrawnString> ShownStrings(BWindow* window) const;

	// Runs `task` on the toolkit's thread and waits until it has run. Returns
	// false, without running it, when the toolkit is not running.
	bool RunOnToolkit(const std::function<void()>& task);

private:
	class Private;
	std::unique_ptr<Private> fPrivate;
};
