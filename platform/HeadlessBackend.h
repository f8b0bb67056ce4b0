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

struct AlertRecord {
	std::string title;
	std::string text;
	std::vector<std::string> buttons;
};

class HeadlessBackend : public PlatformBackend {
public:
	typedef std::function<void(const std::string& line)> EventSink;
	// Answers each alert at once on the thread that shows it, instead of
	// waiting for Answer().
	typedef std::function<int32(const AlertRecord& alert)> AlertAnswerer;

	HeadlessBackend();
	virtual ~HeadlessBackend();

	void SetEventSink(EventSink sink);
	void SetAlertAnswerer(AlertAnswerer answerer);

	// The kit's side.
	virtual int32 RunAlert(BAlert* alert);
	virtual void ShowPanel(BFilePanel* panel);
	virtual void HidePanel(BFilePanel* panel);
	virtual void ApplicationQuit(BApplication* application);
	virtual void DrawString(BView* view, BPoint where, const char* string, const BFont& font);

	// The user's side. Each call returns an empty text when the action was
	// taken, or what kept it from being taken. Call from a thread of the
	// user's own, after WaitIdle().
	void WaitIdle();
	std::string ChooseMenu(const std::string& what);  // a command code or a label
	std::string PressKey(char key);
	std::string SelectFiles(const std::vector<std::string>& paths);
	std::string CancelPanel();
	std::string Drop(const std::vector<std::string>& paths);
	std::string Answer(const std::string& which);  // a button index or label
	std::string CloseWindow();
	std::string Draw();

	bool AlertShowing() const;
	bool PanelShowing() const;
	bool HasQuit() const;
	std::vector<AlertRecord> AlertsShown() const;
	int32 PanelsShown() const;
	std::vector<std::string> Events() const;

	// Reports one event line, in the order events happen.
	void Emit(const std::string& line);

private:
	struct PendingAlert {
		AlertRecord record;
		int32 answer;
		bool answered;
	};

	BWindow* _MainWindow() const;
	std::string _PostToMainWindow(uint32 command);

	mutable std::mutex fLock;
	std::condition_variable fAnswered;
	EventSink fSink;
	AlertAnswerer fAnswerer;
	std::vector<PendingAlert*> fAlerts;
	std::vector<BFilePanel*> fPanels;
	std::vector<AlertRecord> fAlertsShown;
	std::vector<std::string> fEvents;
	int32 fPanelsShown;
	bool fQuit;
};

// Reads actions from standard input, one per line, and takes each on the
// backend once the program is at rest; prints the events on standard output.
void start_script_user(HeadlessBackend* backend);
