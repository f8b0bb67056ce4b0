#include "HeadlessBackend.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include <Alert.h>
#include <Application.h>
#include <FilePanel.h>
#include <Looper.h>
#include <MenuBar.h>
#include <MenuItem.h>
#include <StatusBar.h>
#include <Window.h>

#include "KitPrivate.h"

HeadlessBackend::HeadlessBackend()
	:
	fApplication(NULL),
	fQuit(false),
	fEnded(true)
{
	// The status events are asked for: every script written before them
	// keeps its event stream as it was.
	const char* statusEvents = getenv("QUILLON_STATUS_EVENTS");
	fStatusEvents = statusEvents != NULL && strcmp(statusEvents, "1") == 0;
}

HeadlessBackend::~HeadlessBackend()
{
}

void
HeadlessBackend::SetEventSink(EventSink sink)
{
	std::lock_guard<std::mutex> lock(fLock);
	fSink = sink;
}

namespace {

// How many bytes the UTF-8 sequence at text[i] takes, 0 when none starts there.
size_t
Utf8Length(const std::string& text, size_t i)
{
	unsigned char lead = static_cast<unsigned char>(text[i]);
	size_t length;
	unsigned int least;  // the smallest code point of that length
	if (lead < 0x80)
		return 1;
	if (lead >= 0xC2 && lead <= 0xDF)
		length = 2, least = 0x80;
	else if (lead >= 0xE0 && lead <= 0xEF)
		length = 3, least = 0x800;
	else if (lead >= 0xF0 && lead <= 0xF4)
		length = 4, least = 0x10000;
	else
		return 0;
	if (i + length > text.size())
		return 0;
	unsigned int code = lead & (0x7F >> length);
	for (size_t k = 1; k < length; k++) {
		unsigned char next = static_cast<unsigned char>(text[i + k]);
		if ((next & 0xC0) != 0x80)
			return 0;
		code = (code << 6) | (next & 0x3F);
	}
	bool surrogate = code >= 0xD800 && code <= 0xDFFF;
	return code >= least && code <= 0x10FFFF && !surrogate ? length : 0;
}

}  // namespace

std::string
escape_event_field(const std::string& field)
{
	std::string escaped;
	escaped.reserve(field.size());
	for (size_t i = 0; i < field.size();) {
		unsigned char c = static_cast<unsigned char>(field[i]);
		size_t length = Utf8Length(field, i);
		if (c == '\\') {
			escaped += "\\\\";
		} else if (c == '\t') {
			escaped += "\\t";
		} else if (c == '\n') {
			escaped += "\\n";
		} else if (c == '\r') {
			escaped += "\\r";
		} else if (c < 0x20 || c == 0x7F || length == 0) {
			char hex[5];
			snprintf(hex, sizeof(hex), "\\x%02X", c);
			escaped += hex;
		} else {
			escaped.append(field, i, length);
			i += length;
			continue;
		}
		i++;
	}
	return escaped;
}

void
HeadlessBackend::Emit(const std::vector<std::string>& fields)
{
	std::string line;
	for (size_t i = 0; i < fields.size(); i++)
		line += (i == 0 ? "" : "\t") + escape_event_field(fields[i]);
	std::lock_guard<std::mutex> lock(fLock);
	if (fSink)
		fSink(line);
}

AlertRecord
HeadlessBackend::_ReportAlert(BAlert* alert)
{
	AlertRecord record;
	record.title = alert->Title();
	record.text = alert->Text();
	for (int32 i = 0; i < alert->CountButtons(); i++)
		record.buttons.push_back(alert->ButtonLabel(i));

	std::vector<std::string> fields = { "alert", record.title, record.text };
	fields.insert(fields.end(), record.buttons.begin(), record.buttons.end());
	Emit(fields);
	return record;
}

int32
HeadlessBackend::RunAlert(BAlert* alert)
{
	PendingAlert pending;
	pending.record = _ReportAlert(alert);
	BLooper* looper = KitPrivate::CurrentLooper();
	pending.window = dynamic_cast<BWindow*>(looper);
	pending.answer = 0;
	pending.answered = false;
	{
		std::lock_guard<std::mutex> lock(fLock);
		fAlerts.push_back(&pending);
	}

	// Waiting for the user is rest, not work: the user acts now. What is
	// sent meanwhile to the looper that shows the alert waits with it, so the
	// user may go on acting (the close box clicked while the window's alert
	// is up takes effect once it is answered).
	if (looper != NULL)
		KitPrivate::SetWaitingForUser(looper, true);
	KitPrivate::WorkEnds();
	{
		std::unique_lock<std::mutex> lock(fLock);
		fAnswered.wait(lock, [&pending] { return pending.answered; });
		fAlerts.erase(std::remove(fAlerts.begin(), fAlerts.end(), &pending), fAlerts.end());
	}
	// Answer() counted this thread as at work again.
	if (looper != NULL)
		KitPrivate::SetWaitingForUser(looper, false);
	return pending.answer;
}

void
HeadlessBackend::ShowPanel(BFilePanel* panel)
{
	{
		std::lock_guard<std::mutex> lock(fLock);
		fPanels.push_back(panel);
	}
	Emit({ "panel" });
}

// A panel is hidden when done and as its window deletes it: in the user's
// turn, so that no action confirms a panel that is going.
void
HeadlessBackend::HidePanel(BFilePanel* panel)
{
	std::lock_guard<std::recursive_mutex> turn(fTurn);
	std::lock_guard<std::mutex> lock(fLock);
	fPanels.erase(std::remove(fPanels.begin(), fPanels.end(), panel), fPanels.end());
}

void
HeadlessBackend::ApplicationStarted(BApplication* application)
{
	std::lock_guard<std::recursive_mutex> turn(fTurn);
	fApplication = application;
	std::lock_guard<std::mutex> lock(fLock);
	fQuit = false;
	fEnded = false;
}

// Runs on the application's thread once its loop has ended and its windows
// are closed (the application object lives on), and again when the object
// goes.
void
HeadlessBackend::ApplicationEnded(BApplication*, bool gone)
{
	std::lock_guard<std::recursive_mutex> turn(fTurn);
	fApplication = NULL;
	fWindows.clear();
	std::lock_guard<std::mutex> lock(fLock);
	fQuit = true;
	if (gone)
		fEnded = true;
}

void
HeadlessBackend::WindowShown(BWindow* window)
{
	std::lock_guard<std::recursive_mutex> turn(fTurn);
	// Shown again, it is on the list already.
	if (fApplication != NULL
		&& std::find(fWindows.begin(), fWindows.end(), window) == fWindows.end())
		fWindows.push_back(window);
}

// Runs on the window's thread once its loop has ended: from here on nothing
// may be sent to it, and the application may delete it.
void
HeadlessBackend::WindowClosed(BWindow* window)
{
	std::lock_guard<std::recursive_mutex> turn(fTurn);
	fWindows.erase(std::remove(fWindows.begin(), fWindows.end(), window), fWindows.end());
}

// The window draws on its own after each message; only the drawings the user
// asked for are reported, one line a string, and not the status bar's: what
// a status bar shows is reported whenever it changes, as one status line
// that joins the strings it drew.
void
HeadlessBackend::PresentWindow(BWindow* window, const DisplayList& drawn)
{
	if (fStatusEvents) {
		std::string status;
		bool hasStatusBar = false;
		for (const DrawnString& item : drawn) {
			if (dynamic_cast<const BStatusBar*>(item.view) == NULL)
				continue;
			hasStatusBar = true;
			if (item.shape == B_DRAWN_STRING)
				status += (status.empty() ? "" : " - ") + item.text;
		}
		bool changed = false;
		{
			std::lock_guard<std::mutex> lock(fLock);
			changed = hasStatusBar && status != fLastStatus;
			if (changed)
				fLastStatus = status;
		}
		if (changed)
			Emit({ "status", status });
	}
	if (KitPrivate::DrawAsker(window) != this)
		return;
	for (const DrawnString& string : drawn) {
		if (string.shape != B_DRAWN_STRING || dynamic_cast<const BStatusBar*>(string.view) != NULL)
			continue;
		char x[32], y[32];
		snprintf(x, sizeof(x), "%g", string.inView.x);
		snprintf(y, sizeof(y), "%g", string.inView.y);
		Emit({ "text", x, y, string.text });
	}
}

void
HeadlessBackend::WaitIdle()
{
	// Once the application has quit there is nothing left to wait for.
	while (!KitPrivate::WaitIdleFor(100)) {
		if (HasQuit())
			return;
	}
}

bool
HeadlessBackend::StopsWork(const std::vector<std::string>& words)
{
	if (words.size() != 2 || (words[0] != "menu" && words[0] != "key"))
		return false;
	std::lock_guard<std::recursive_mutex> turn(fTurn);
	BWindow* window = _MainWindow();
	BMenuBar* bar = window != NULL ? window->KeyMenuBar() : NULL;
	if (bar == NULL)
		return false;
	std::lock_guard<std::recursive_mutex> tree(KitPrivate::MenuTreeLock());
	BMenuItem* item = NULL;
	if (words[0] == "key")
		item = words[1].size() == 1 ? bar->FindShortcut(words[1][0]) : NULL;
	else
		item = _FindMenuItem(bar, words[1]);
	return item != NULL && item->StopsWork();
}

void
HeadlessBackend::WaitRest()
{
	while (!KitPrivate::WaitRestFor(100)) {
		if (HasQuit())
			return;
	}
}

std::unique_lock<std::recursive_mutex>
HeadlessBackend::TakeTurn()
{
	return std::unique_lock<std::recursive_mutex>(fTurn);
}

// The window the user acts on: the one with a menu bar shown last, as the
// window that comes up is the one in front (a preview over the main
// window), else the first one. A window told to quit is not there for the
// user any more.
BWindow*
HeadlessBackend::_MainWindow() const
{
	BWindow* first = NULL;
	BWindow* withMenus = NULL;
	for (BWindow* window : fWindows) {
		if (KitPrivate::IsQuitting(window))
			continue;
		if (window->KeyMenuBar() != NULL)
			withMenus = window;
		if (first == NULL)
			first = window;
	}
	return withMenus != NULL ? withMenus : first;
}

const BWindow*
HeadlessBackend::UserWindow() const
{
	std::lock_guard<std::recursive_mutex> turn(fTurn);
	return _MainWindow();
}

std::string
HeadlessBackend::_RefusedWhileAlertUp() const
{
	if (fApplication == NULL)
		return "no application";
	std::lock_guard<std::mutex> lock(fLock);
	for (const PendingAlert* pending : fAlerts) {
		if (pending->window != NULL)
			return "an alert of the window is up";
	}
	return "";
}

std::string
HeadlessBackend::_ChooseItem(BMenuItem* item)
{
	if (item->Invoke() != B_OK)
		return "no window";
	return "";
}

// The menu bar the user's menu choice or key goes to, or why there is none
// to take it now. Runs in the user's turn.
std::string
HeadlessBackend::_UserMenuBar(BMenuBar** bar) const
{
	std::string refused = _RefusedWhileAlertUp();
	if (!refused.empty())
		return refused;
	BWindow* window = _MainWindow();
	if (window == NULL)
		return "no window";
	*bar = window->KeyMenuBar();
	return "";
}

// By its command code (four letters) or its label.
BMenuItem*
HeadlessBackend::_FindMenuItem(BMenuBar* bar, const std::string& what)
{
	BMenuItem* item = NULL;
	if (what.size() == 4) {
		uint32 code = 0;
		for (char character : what)
			code = (code << 8) | static_cast<uint8>(character);
		item = bar->FindItem(code);
	}
	return item != NULL ? item : bar->FindItem(what.c_str());
}

std::string
HeadlessBackend::ChooseMenu(const std::string& what)
{
	std::lock_guard<std::recursive_mutex> turn(fTurn);
	BMenuBar* bar = NULL;
	std::string refused = _UserMenuBar(&bar);
	if (!refused.empty())
		return refused;
	if (bar == NULL)
		return "no menu bar";
	// The item found is the item invoked, though the window may change its
	// menus meanwhile.
	std::lock_guard<std::recursive_mutex> tree(KitPrivate::MenuTreeLock());
	BMenuItem* item = _FindMenuItem(bar, what);
	if (item == NULL)
		return "no menu item " + what;
	return _ChooseItem(item);
}

std::string
HeadlessBackend::PressKey(char key)
{
	std::lock_guard<std::recursive_mutex> turn(fTurn);
	BMenuBar* bar = NULL;
	std::string refused = _UserMenuBar(&bar);
	if (!refused.empty())
		return refused;
	std::lock_guard<std::recursive_mutex> tree(KitPrivate::MenuTreeLock());
	BMenuItem* item = bar != NULL ? bar->FindShortcut(key) : NULL;
	if (item == NULL)
		return std::string("no menu item has the shortcut ") + key;
	return _ChooseItem(item);
}

std::string
HeadlessBackend::SelectFiles(const std::vector<std::string>& paths)
{
	std::lock_guard<std::recursive_mutex> turn(fTurn);
	std::string refused = _RefusedWhileAlertUp();
	if (!refused.empty())
		return refused;
	BFilePanel* panel;
	{
		std::lock_guard<std::mutex> lock(fLock);
		if (fPanels.empty())
			return "no panel is up";
		panel = fPanels.back();
	}
	if (KitPrivate::ConfirmPanel(panel, paths) != B_OK)
		return "no application";
	return "";
}

std::string
HeadlessBackend::CancelPanel()
{
	std::lock_guard<std::recursive_mutex> turn(fTurn);
	if (fApplication == NULL)
		return "no application";
	BFilePanel* panel;
	{
		std::lock_guard<std::mutex> lock(fLock);
		if (fPanels.empty())
			return "no panel is up";
		panel = fPanels.back();
	}
	if (KitPrivate::CancelPanel(panel) != B_OK)
		return "no application";
	return "";
}

std::string
HeadlessBackend::Drop(const std::vector<std::string>& paths)
{
	std::lock_guard<std::recursive_mutex> turn(fTurn);
	std::string refused = _RefusedWhileAlertUp();
	if (!refused.empty())
		return refused;
	if (KitPrivate::PostRefs(fApplication, paths) != B_OK)
		return "no application";
	return "";
}

std::string
HeadlessBackend::Answer(const std::string& which)
{
	std::lock_guard<std::mutex> lock(fLock);
	if (fAlerts.empty())
		return "no alert is up";
	PendingAlert* pending = fAlerts.back();
	const std::vector<std::string>& buttons = pending->record.buttons;

	int32 index = -1;
	bool numeric = !which.empty()
		&& std::all_of(which.begin(), which.end(),
			[](char c) { return isdigit(static_cast<unsigned char>(c)) != 0; });
	if (numeric && which.size() < 4)
		index = std::stoi(which);
	else {
		auto found = std::find(buttons.begin(), buttons.end(), which);
		if (found != buttons.end())
			index = static_cast<int32>(found - buttons.begin());
	}
	if (index < 0 || static_cast<size_t>(index) >= buttons.size())
		return "no button " + which;

	pending->answer = index;
	pending->answered = true;
	fAlerts.pop_back();
	// The thread that waited is at work again from here on.
	KitPrivate::WorkBegins();
	fAnswered.notify_all();
	return "";
}

std::string
HeadlessBackend::_PostToMainWindow(uint32 command)
{
	std::lock_guard<std::recursive_mutex> turn(fTurn);
	BWindow* window = _MainWindow();
	if (window == NULL || window->PostMessage(command) != B_OK)
		return "no window";
	return "";
}

std::string
HeadlessBackend::CloseWindow()
{
	return _PostToMainWindow(B_QUIT_REQUESTED);
}

std::string
HeadlessBackend::Draw()
{
	std::lock_guard<std::recursive_mutex> turn(fTurn);
	BWindow* window = _MainWindow();
	if (window == NULL)
		return "no window";
	if (KitPrivate::Redraw(window, this) != B_OK)
		return "no window";
	return "";
}

bool
HeadlessBackend::AlertShowing() const
{
	std::lock_guard<std::mutex> lock(fLock);
	return !fAlerts.empty();
}

bool
HeadlessBackend::HasQuit() const
{
	std::lock_guard<std::mutex> lock(fLock);
	return fQuit;
}

bool
HeadlessBackend::HasEnded() const
{
	std::lock_guard<std::mutex> lock(fLock);
	return fEnded;
}
