// The headless backend: every alert, panel and drawing is reported as an event
// line, and a user of our own (a script, a test) answers alerts, confirms
// panels, chooses menu items and drops files through the calls below.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "PlatformBackend.h"

class BMenuBar;
class BMenuItem;

struct AlertRecord {
	std::string title;
	std::string text;
	std::vector<std::string> buttons;
};

// A field of an event line as it is written: a backslash as \\, TAB, line
// feed and carriage return as \t, \n and \r, any other control byte, DEL and
// every byte that is not part of UTF-8 as \xHH; so no name can end a field
// or a line. The script reader takes the same escapes inside double quotes.
std::string escape_event_field(const std::string& field);

class HeadlessBackend : public PlatformBackend {
public:
	typedef std::function<void(const std::string& line)> EventSink;

	HeadlessBackend();
	virtual ~HeadlessBackend();

	void SetEventSink(EventSink sink);

	// The kit's side.
	virtual void ApplicationStarted(BApplication* application);
	virtual void ApplicationEnded(BApplication* application, bool gone);
	virtual int32 RunAlert(BAlert* alert);
	virtual void ShowPanel(BFilePanel* panel);
	virtual void HidePanel(BFilePanel* panel);
	virtual void WindowShown(BWindow* window);
	virtual void WindowClosed(BWindow* window);
	virtual void PresentWindow(BWindow* window, const DisplayList& drawn);

	// The user's side. Each call returns an empty text when the action was
	// taken, or what kept it from being taken. Call from a thread of the
	// user's own, after WaitIdle(). Once the application has quit every
	// action is refused; while a window waits in an alert, menu items, keys,
	// drops and the panel's files are refused, as the desktop holds them
	// back while an alert is up.
	void WaitIdle();
	// Whether the action (a script line's words) chooses a menu item that
	// stops work under way; that one waits only for the rest (WaitRest).
	bool StopsWork(const std::vector<std::string>& words);
	void WaitRest();
	std::string ChooseMenu(const std::string& what);  // a command code or a label
	std::string PressKey(char key);
	std::string SelectFiles(const std::vector<std::string>& paths);
	std::string CancelPanel();
	std::string Drop(const std::vector<std::string>& paths);
	std::string Answer(const std::string& which);  // a button index or label
	// The window the user's actions go to, NULL for none.
	const BWindow* UserWindow() const;
	std::string CloseWindow();
	std::string Draw();

	// The user's turn. While a user holds it, the application and its
	// windows stay: none of them ends meanwhile. Each action takes it; a
	// user that reports what its action did holds it around both, so that
	// nothing is acted on or reported once the application object is gone.
	std::unique_lock<std::recursive_mutex> TakeTurn();

	bool AlertShowing() const;
	bool HasQuit() const;
	// The application object is gone (or there never was one).
	bool HasEnded() const;

	// Reports one event line, in the order events happen: its fields, each
	// escaped (escape_event_field), joined by a TAB.
	void Emit(const std::vector<std::string>& fields);

private:
	static BMenuItem* _FindMenuItem(BMenuBar* bar, const std::string& what);
	// What the alert says, reported as its event line.
	AlertRecord _ReportAlert(BAlert* alert);

	struct PendingAlert {
		AlertRecord record;
		BWindow* window;  // whose thread shows it, or NULL
		int32 answer;
		bool answered;
	};

	// With the turn held.
	BWindow* _MainWindow() const;
	std::string _PostToMainWindow(uint32 command);
	std::string _RefusedWhileAlertUp() const;
	std::string _UserMenuBar(BMenuBar** bar) const;
	std::string _ChooseItem(BMenuItem* item);

	mutable std::recursive_mutex fTurn;
	BApplication* fApplication;   // guarded by fTurn
	std::vector<BWindow*> fWindows;  // shown and not closed; guarded by fTurn

	mutable std::mutex fLock;
	std::condition_variable fAnswered;
	EventSink fSink;
	std::vector<PendingAlert*> fAlerts;
	std::vector<BFilePanel*> fPanels;
	bool fQuit;
	bool fEnded;
	// QUILLON_STATUS_EVENTS=1: the status bar's changes are reported.
	bool fStatusEvents;
	std::string fLastStatus;  // guarded by fLock
};
