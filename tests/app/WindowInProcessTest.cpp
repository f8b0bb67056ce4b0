// The application object run in this process on a headless backend of the
// test's own: the shape of the window, its menu bar and view; which commands
// end with the window's closing Show; which codes fall through BWindow's own
// MessageReceived to the next handler; the command-key shortcuts and the open
// panels; when the program is at rest for its user.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <Application.h>
#include <Autolock.h>
#include <FilePanel.h>
#include <Handler.h>
#include <MenuBar.h>
#include <MenuItem.h>
#include <View.h>
#include <Window.h>


#include "MenuModel.h"
#include "QuillonRun.h"
#include "QuillonApplication.h"
#include "QuillonView.h"
#include "QuillonWindow.h"
#include "JobStatus.h"
#include "SettingsStore.h"
#include "TestBackend.h"

namespace {

const char* const kNotSupportedText = "This function is not properly supported yet.";

// A fresh backend for each run, kept until the process ends: the kit may
// still reach the backend of an earlier run while the process ends.
TestBackend*
KeptBackend()
{
	static std::vector<std::unique_ptr<TestBackend>> sBackends;
	sBackends.push_back(std::make_unique<TestBackend>());
	return sBackends.back().get();
}

// The settings a not-supported command changes, as they stand; "locked" while
// the store's lock is held elsewhere.
std::string
NotSupportedSettings()
{
	std::unique_lock<std::mutex> lock(gStoreLock, std::try_to_lock);
	if (!lock.owns_lock())
		return "locked";
	return std::string(PrintMode) + " " + std::to_string(PagesPerSheet) + " "
		+ std::to_string(ColumnsPerPage) + " " + LineMode;
}

// What BWindow::MessageReceived passes on to the window's next handler: the
// messages no one handled, as they arrived.
class UnhandledRecorder : public BHandler {
public:
	virtual void MessageReceived(BMessage* message)
	{
		std::lock_guard<std::mutex> lock(fLock);
		fMessages.push_back(*message);
	}

	std::vector<BMessage> Messages() const
	{
		std::lock_guard<std::mutex> lock(fLock);
		return fMessages;
	}

	size_t Count() const { return Messages().size(); }

	// Becomes the window's next handler.
	void Follow(BWindow* window)
	{
		BAutolock lock(window);
		window->SetNextHandler(this);
	}

private:
	mutable std::mutex fLock;
	std::vector<BMessage> fMessages;
};

// One run of the application: its own backend, which answers every alert at
// once with its first button and records it, and a user thread that acts
// once the program is at rest.
class InProcessRun {
public:
	InProcessRun()
		:
		fBackend(KeptBackend())
	{
		set_platform_backend(fBackend);
		fBackend->SetAnswerer([this](const AlertRecord& alert) {
			std::string settings = NotSupportedSettings();
			std::lock_guard<std::mutex> lock(*fLock);
			fAlerts.push_back(alert);
			fShowCallsAtAlert.push_back(fBackend->WindowShows());
			fSettingsAtAlert = settings;
			return 0;
		});
	}

	// Runs the application; `user` acts from its own thread and returns true
	// when it has asked the program to quit itself. Otherwise the window's
	// close box ends the run.
	void Run(const std::function<bool(BWindow* window)>& user)
	{
		// On the heap, so that no lock of this run's kit shares an address
		// with a lock of an earlier run on the stack.
		auto application = std::make_unique<QuillonApplication>();
		ASSERT_EQ(application->CountWindows(), 1);
		// The window list is read before this run's own lock is taken: the
		// alert answerer takes that lock while the window is locked.
		BWindow* window = application->WindowAt(0);
		{
			std::lock_guard<std::mutex> lock(*fLock);
			fWindow = window;
		}
		std::thread thread([this, &user] {
			fBackend->WaitIdle();
			bool quitting = user(fWindow);
			fBackend->WaitIdle();
			if (quitting) {
				// The program ends by itself; if it does not, the close box
				// ends the run and the test learns of it.
				for (int i = 0; i < 1000 && !fBackend->HasQuit(); i++)
					std::this_thread::sleep_for(std::chrono::milliseconds(10));
				if (fBackend->HasQuit())
					return;
				fQuitMissed = true;
			}
			fBackend->CloseWindow();
		});
		application->Run();
		thread.join();
		{
			std::lock_guard<std::mutex> lock(*fLock);
			fWindow = NULL;
		}
	}

	TestBackend& Backend() { return *fBackend; }
	// The user asked the program to quit and it did not.
	bool QuitMissed() const { return fQuitMissed.load(); }

	size_t AlertCount()
	{
		std::lock_guard<std::mutex> lock(*fLock);
		return fAlerts.size();
	}

	AlertRecord LastAlert()
	{
		std::lock_guard<std::mutex> lock(*fLock);
		return fAlerts.empty() ? AlertRecord() : fAlerts.back();
	}

	int32 ShowCallsAtLastAlert()
	{
		std::lock_guard<std::mutex> lock(*fLock);
		return fShowCallsAtAlert.empty() ? -1 : fShowCallsAtAlert.back();
	}

	std::string SettingsAtLastAlert()
	{
		std::lock_guard<std::mutex> lock(*fLock);
		return fSettingsAtAlert;
	}

private:
	TestBackend* fBackend;
	std::atomic<bool> fQuitMissed{ false };
	// On the heap as well: a mutex on the stack is never destroyed, and the
	// thread checker would tie this run's lock to a lock of an earlier run
	// that lived at the same address.
	std::unique_ptr<std::mutex> fLock = std::make_unique<std::mutex>();
	BWindow* fWindow = NULL;
	std::vector<AlertRecord> fAlerts;
	std::vector<int32> fShowCallsAtAlert;
	std::string fSettingsAtAlert;
};

uint32
code_of(const char* code)
{
	return (uint32(uint8(code[0])) << 24) | (uint32(uint8(code[1])) << 16)
		| (uint32(uint8(code[2])) << 8) | uint32(uint8(code[3]));
}

bool
is_alert_only(const std::string& code)
{
	for (const char* alertOnly :
		{ "MFnw", "MFop", "MFcl", "MFsv", "MFsa", "MFps", "MCrs", "MCts", "MCld", "MCej" }) {
		if (code == alertOnly)
			return true;
	}
	return false;
}

bool
changes_then_alerts(const std::string& code)
{
	for (const char* alerting : { "MMgr", "MM1p", "MM2p", "MM4p", "MM8p", "MM1c", "MM2c",
			 "MM3c", "MM4c", "MMtr", "MMlw", "MMww" }) {
		if (code == alerting)
			return true;
	}
	return false;
}

TEST(WindowInProcess, WindowMenuBarAndViewAsBuilt)
{
	InProcessRun run;
	std::string failures;
	run.Run([&](BWindow* window) {
		auto check = [&](bool ok, const std::string& what) {
			if (!ok)
				failures += what + "\n";
		};
		check(std::string(be_app->Signature()) == "application/x-vnd.Quillon", "signature");
		check(std::string(window->Title()) == "Quillon Window", "title");
		check(window->Frame() == BRect(32.0f, 32.0f, 600.0f, 600.0f), "window frame");
		check(window->Type() == B_TITLED_WINDOW, "window type");
		check(window->Flags() == B_NOT_RESIZABLE, "window flags");
		check(!window->IsHidden(), "window shown");
		check(window->CountChildren() == 2, "two child views");

		// The menu bar first, across the window's full width.
		BMenuBar* bar = dynamic_cast<BMenuBar*>(window->ChildAt(0));
		check(bar != NULL && bar == window->KeyMenuBar(), "menu bar is the first child");
		if (bar != NULL) {
			check(std::string(bar->Name()) == "printer menu_bar", "menu bar name");
			check(bar->Frame().left == 0.0f && bar->Frame().top == 0.0f
					&& bar->Frame().right == window->Bounds().right,
				"menu bar spans the window");
			check(bar->ResizingMode() == (B_FOLLOW_LEFT_RIGHT | B_FOLLOW_TOP),
				"menu bar resizing mode");
			check(bar->Layout() == B_ITEMS_IN_ROW, "menu bar layout");
			check(bar->ResizeToFit(), "menu bar fits its items");
		}

		// Then the settings view.
		BView* view = window->ChildAt(1);
		check(dynamic_cast<QuillonView*>(view) != NULL, "settings view is the second child");
		if (view != NULL) {
			check(std::string(view->Name()) == "Quillon_View_ID_Name", "view name");
			check(view->Frame() == BRect(0.0f, 19.0f, 599.0f, 599.0f), "view frame");
			check(view->ResizingMode() == 0x1234, "view follows all sides");
			check(view->Flags() == 0x20000000, "view will draw");
			BFont font;
			view->GetFont(&font);
			check(font.Kind() == B_PLAIN_FONT_KIND && font.Size() == 12.0f, "view font");
		}
		return false;
	});
	EXPECT_EQ(failures, "");
}

TEST(WindowInProcess, MenusMatchTheTableWithSeparatorsAndShortcuts)
{
	InProcessRun run;
	std::vector<std::string> failures;
	run.Run([&](BWindow* window) {
		BMenuBar* bar = window->KeyMenuBar();
		const std::vector<ExpectedMenu>& menus = expected_menus();
		// The four menus, then the Setup menu of the additions, last.
		if (bar == NULL || bar->CountItems() != static_cast<int32>(menus.size()) + 1
			|| std::string(bar->ItemAt(bar->CountItems() - 1)->Label()) != "Setup") {
			failures.push_back("the menu bar does not hold four menus and Setup");
			return false;
		}
		for (size_t m = 0; m < menus.size(); m++) {
			BMenu* menu = bar->ItemAt(static_cast<int32>(m))->Submenu();
			if (menu == NULL || std::string(menu->Title()) != menus[m].title) {
				failures.push_back(std::string("menu ") + menus[m].title + " missing or moved");
				continue;
			}
			if (menu->Layout() != B_ITEMS_IN_COLUMN)
				failures.push_back(std::string(menus[m].title) + " is not a column");
			const std::vector<ExpectedItem>& items = menus[m].items;
			if (menu->CountItems() != static_cast<int32>(items.size())) {
				failures.push_back(std::string(menus[m].title) + " holds "
					+ std::to_string(menu->CountItems()) + " items");
				continue;
			}
			for (size_t i = 0; i < items.size(); i++) {
				BMenuItem* item = menu->ItemAt(static_cast<int32>(i));
				std::string where = std::string(menus[m].title) + " #" + std::to_string(i);
				if (items[i].label == NULL) {
					if (!item->IsSeparator())
						failures.push_back(where + " should be a separator");
					continue;
				}
				uint32 modifiers = 1;
				char shortcut = item->Shortcut(&modifiers);
				if (item->IsSeparator() || std::string(item->Label()) != items[i].label
					|| item->Command() != items[i].value
					|| item->Command() != code_of(items[i].code)
					|| shortcut != items[i].shortcut || modifiers != 0
					|| item->Submenu() != NULL) {
					failures.push_back(where + " is not " + items[i].label);
				}
				if (item->Message() != NULL && !item->Message()->IsEmpty())
					failures.push_back(where + "'s message carries data");
			}
		}
		return false;
	});
	EXPECT_EQ(failures, std::vector<std::string>());
}

TEST(WindowInProcess, ShortcutsAreExactlyTheTen)
{
	InProcessRun run;
	std::map<std::string, char> shortcuts;
	std::map<char, std::string> effects;
	run.Run([&](BWindow* window) {
		BMenuBar* bar = window->KeyMenuBar();
		// The four menus; Setup's Cancel Printing has a key of its own.
		for (int32 m = 0; bar != NULL && m < 4; m++) {
			BMenu* menu = bar->ItemAt(m)->Submenu();
			for (int32 i = 0; menu != NULL && i < menu->CountItems(); i++) {
				BMenuItem* item = menu->ItemAt(i);
				if (item->Shortcut() != 0)
					shortcuts[item->Label()] = item->Shortcut();
			}
		}

		// Each key takes its item's effect.
		TestBackend& backend = run.Backend();
		for (char key : std::string("NOWS1248P")) {
			size_t alerts = run.AlertCount();
			int32 panels = backend.PanelsShown();
			std::string error = backend.PressKey(key);
			backend.WaitIdle();
			std::string effect = error;
			if (run.AlertCount() == alerts + 1)
				effect += std::string("alert:") + run.LastAlert().text;
			if (backend.PanelsShown() == panels + 1)
				effect += "panel";
			if (key >= '1' && key <= '8') {
				std::lock_guard<std::mutex> lock(gStoreLock);
				effect += " pages:" + std::to_string(PagesPerSheet);
			}
			effects[key] = effect;
		}
		return false;
	});
	EXPECT_EQ(shortcuts,
		(std::map<std::string, char>{
			{ "New", 'N' },
			{ "Open", 'O' },
			{ "Close", 'W' },
			{ "Save", 'S' },
			{ "Print", 'P' },
			{ "Quit", 'Q' },
			{ "1 Page per Sheet", '1' },
			{ "2 Pages per Sheet", '2' },
			{ "4 Pages per Sheet", '4' },
			{ "8 Pages per Sheet", '8' },
		}));
	std::string notSupported = std::string("alert:") + kNotSupportedText;
	EXPECT_EQ(effects,
		(std::map<char, std::string>{
			{ 'N', notSupported },
			{ 'O', notSupported },
			{ 'W', notSupported },
			{ 'S', notSupported },
			{ '1', notSupported + " pages:1" },
			{ '2', notSupported + " pages:2" },
			{ '4', notSupported + " pages:4" },
			{ '8', notSupported + " pages:8" },
			{ 'P', "panel" },
		}));
}

TEST(WindowInProcess, KeyQQuits)
{
	InProcessRun run;
	std::string error;
	run.Run([&](BWindow*) {
		error = run.Backend().PressKey('Q');
		return true;
	});
	EXPECT_EQ(error, "");
	EXPECT_FALSE(run.QuitMissed());
	EXPECT_EQ(run.AlertCount(), 0u);
}

struct CommandOutcome {
	int32 showCalls;         // Show calls the command made
	size_t alerts;           // alerts it showed
	int32 panels;            // panels it showed
	size_t unhandled;        // messages BWindow::MessageReceived passed on
	int32 showCallsAtAlert;  // Show calls made before its alert, or -1
	bool operator==(const CommandOutcome& other) const
	{
		return showCalls == other.showCalls && alerts == other.alerts && panels == other.panels
			&& unhandled == other.unhandled && showCallsAtAlert == other.showCallsAtAlert;
	}
};

std::ostream&
operator<<(std::ostream& out, const CommandOutcome& outcome)
{
	return out << "{show " << outcome.showCalls << ", alerts " << outcome.alerts << ", panels "
			   << outcome.panels << ", unhandled " << outcome.unhandled << ", show at alert "
			   << outcome.showCallsAtAlert << "}";
}

TEST(WindowInProcess, ClosingShowAfterHandledSettingCommandsOnly)
{
	InProcessRun run;
	UnhandledRecorder recorder;
	int32 startUpShows = -1;
	std::map<std::string, CommandOutcome> outcomes;
	// Commands whose alert came before their change was made, or while the
	// store was still locked.
	std::vector<std::string> alertedEarly;
	std::string errors;
	run.Run([&](BWindow* window) {
		TestBackend& backend = run.Backend();
		startUpShows = backend.WindowShows();
		recorder.Follow(window);
		for (const ExpectedItem& item : expected_items()) {
			if (std::string(item.code) == "MFqu")
				continue;
			int32 shows = backend.WindowShows();
			size_t alerts = run.AlertCount();
			int32 panels = backend.PanelsShown();
			size_t unhandled = recorder.Count();
			errors += backend.ChooseMenu(item.code);
			backend.WaitIdle();
			CommandOutcome outcome;
			outcome.showCalls = backend.WindowShows() - shows;
			outcome.alerts = run.AlertCount() - alerts;
			outcome.panels = backend.PanelsShown() - panels;
			outcome.unhandled = recorder.Count() - unhandled;
			outcome.showCallsAtAlert
				= outcome.alerts > 0 ? run.ShowCallsAtLastAlert() - shows : -1;
			outcomes[item.code] = outcome;
			if (outcome.alerts > 0 && run.SettingsAtLastAlert() != NotSupportedSettings())
				alertedEarly.push_back(item.code);
		}
		return false;
	});
	EXPECT_EQ(errors, "");
	EXPECT_EQ(alertedEarly, std::vector<std::string>());
	// Once in the window's constructor, twice more by the application.
	EXPECT_EQ(startUpShows, 3);
	ASSERT_EQ(outcomes.size(), 56u);
	for (const auto& [code, outcome] : outcomes) {
		CommandOutcome expected = { 0, 0, 0, 0, -1 };
		if (code == "MFpr")
			expected.panels = 1;
		else if (is_alert_only(code))
			expected = { 0, 1, 0, 0, 0 };
		else if (changes_then_alerts(code))
			// The Show comes last, after the alert has been answered.
			expected = { 1, 1, 0, 0, 0 };
		else
			expected.showCalls = 1;
		EXPECT_EQ(outcome, expected) << code;
	}
}

TEST(WindowInProcess, CodesNoOneHandlesReachBWindowMessageReceivedUnchanged)
{
	InProcessRun run;
	UnhandledRecorder recorder;
	const uint32 kCodes[] = { 'Zzzz', 'MFxx', 'MMpt', 'MPp3', 'MC00', B_CANCEL, 0 };
	std::vector<BMessage> reached;
	int32 showCalls = -1;
	size_t beforeKnownCodes = 0;
	size_t afterKnownCodes = 0;
	run.Run([&](BWindow* window) {
		TestBackend& backend = run.Backend();
		recorder.Follow(window);
		int32 shows = backend.WindowShows();
		size_t before = recorder.Count();
		int32 index = 0;
		for (uint32 code : kCodes) {
			BMessage message(code);
			message.AddInt32("index", index++);
			message.AddString("note", "as sent");
			window->PostMessage(&message);
			backend.WaitIdle();
		}
		std::vector<BMessage> all = recorder.Messages();
		reached.assign(all.begin() + static_cast<long>(before), all.end());
		showCalls = backend.WindowShows() - shows;

		// None of the menu's own codes goes there.
		beforeKnownCodes = recorder.Count();
		for (const ExpectedItem& item : expected_items()) {
			if (std::string(item.code) == "MFqu")
				continue;
			window->PostMessage(item.value);
			backend.WaitIdle();
		}
		afterKnownCodes = recorder.Count();
		return false;
	});
	ASSERT_EQ(reached.size(), std::size(kCodes));
	for (size_t i = 0; i < reached.size(); i++) {
		EXPECT_EQ(reached[i].what, kCodes[i]) << i;
		int32 index = -1;
		const char* note = NULL;
		EXPECT_EQ(reached[i].FindInt32("index", &index), B_OK);
		EXPECT_EQ(index, static_cast<int32>(i));
		ASSERT_EQ(reached[i].FindString("note", &note), B_OK);
		EXPECT_STREQ(note, "as sent");
	}
	EXPECT_EQ(showCalls, 0);
	EXPECT_EQ(afterKnownCodes, beforeKnownCodes);
	// Only the menu's alert-only and not-supported commands showed alerts.
	EXPECT_EQ(run.AlertCount(), 22u);
	EXPECT_EQ(run.Backend().PanelsShown(), 1);
}

TEST(WindowInProcess, EveryPrintOpensANewPanelThatDelivers)
{
	InProcessRun run;
	BFilePanel* first = NULL;
	BFilePanel* second = NULL;
	bool firstShowing = false, secondShowing = false;
	// The panels go with the window: what they are is read while it lives.
	std::vector<std::vector<bool>> kinds;
	run.Run([&](BWindow*) {
		TestBackend& backend = run.Backend();
		backend.ChooseMenu("Print");
		backend.WaitIdle();
		first = backend.LastPanel();
		backend.ChooseMenu("MFpr");
		backend.WaitIdle();
		second = backend.LastPanel();
		firstShowing = first != NULL && first->IsShowing();
		secondShowing = second != NULL && second->IsShowing();
		for (BFilePanel* panel : { first, second }) {
			if (panel != NULL)
				kinds.push_back({ panel->PanelMode() == B_OPEN_PANEL,
					panel->AllowsMultipleSelection(), panel->IsModal(), panel->HidesWhenDone() });
		}
		return false;
	});
	ASSERT_NE(first, nullptr);
	ASSERT_NE(second, nullptr);
	EXPECT_NE(first, second);
	EXPECT_TRUE(firstShowing);
	EXPECT_TRUE(secondShowing);
	// An open panel, several files, not modal, hidden once done.
	for (const std::vector<bool>& kind : kinds)
		EXPECT_EQ(kind, (std::vector<bool>{ true, true, false, true }));
	EXPECT_EQ(kinds.size(), 2u);
	EXPECT_EQ(run.Backend().PanelsShown(), 2);
}

TEST(WindowInProcess, ViewDrawsTwentyLinesEachTimeFromZero)
{
	InProcessRun run;
	std::vector<std::string> events;
	float x = 0.0f, y = 0.0f;
	run.Run([&](BWindow*) {
		TestBackend& backend = run.Backend();
		std::mutex eventsLock;
		backend.SetEventSink([&](const std::string& line) {
			std::lock_guard<std::mutex> lock(eventsLock);
			events.push_back(line);
		});
		backend.Draw();
		backend.WaitIdle();
		backend.Draw();
		backend.WaitIdle();
		backend.SetEventSink(nullptr);
		x = X;
		y = Y;
		return false;
	});
	// Earlier runs in this process changed settings, so only the places are
	// compared here; the texts are compared by the scripted tests.
	ASSERT_EQ(events.size(), 40u);
	for (size_t i = 0; i < 20; i++) {
		std::vector<std::string> words = split_event(events[i]);
		ASSERT_EQ(words.size(), 4u) << events[i];
		EXPECT_EQ(words[0], "text");
		EXPECT_EQ(words[1], "20");
		EXPECT_EQ(words[2], std::to_string(20 * (i + 1)));
		EXPECT_EQ(events[i + 20], events[i]);
	}
	EXPECT_EQ(x, 20.0f);
	EXPECT_EQ(y, 400.0f);
}

// Whatever the lengths, the two sides of the status bar are drawn in rooms of
// their own inside the bar, each shortened in the middle when it needs more:
// no string can run into the other.
TEST(WindowInProcess, StatusBarSidesNeverOverlap)
{
	const std::string path = "/home/ann/a/folder/deep/down/where/the/printers/output/goes/PrintFile";
	const std::string name = "a-file-with-a-name-that-goes-on-and-on-and-on-for-ever.txt";
	const struct {
		std::string label;
		std::string trailing;
	} kLines[] = {
		{ "Printer File", "/home/ann/PrintFile" },
		{ "Printer File", path + " - folder not there" },
		{ "File 1 of 2: " + name, "122 KB of 226 KB, page 4 - waiting for the printer: paper out" },
		{ "nobody reads the named pipe " + path, "start the program that reads it, then print" },
		{ "Printed 1 file, 2 pages to " + path, "" },
	};
	std::vector<std::vector<DrawnString>> drawn;
	InProcessRun run;
	run.Run([&](BWindow* window) {
		TestBackend& backend = run.Backend();
		for (const auto& line : kLines) {
			post_status(window, { line.label, line.trailing, 500 }, false);
			backend.WaitIdle();
			drawn.push_back(backend.StatusBarDrawing());
		}
		return false;
	});
	ASSERT_EQ(drawn.size(), std::size(kLines));
	for (size_t i = 0; i < drawn.size(); i++) {
		SCOPED_TRACE(kLines[i].label);
		auto bar = std::find_if(drawn[i].begin(), drawn[i].end(),
			[](const DrawnString& item) { return item.shape == B_DRAWN_STROKED_RECT; });
		ASSERT_NE(bar, drawn[i].end());
		float end = bar->rect.left;
		size_t strings = 0;
		for (const DrawnString& string : drawn[i]) {
			if (string.shape != B_DRAWN_STRING)
				continue;
			strings++;
			EXPECT_GT(string.width, 0.0f);
			EXPECT_GE(string.inWindow.x, end) << string.text;
			end = string.inWindow.x + string.width;
			EXPECT_LE(end, bar->rect.right) << string.text;
			// What has less room than the kit's measure says it needs is
			// shortened, in the middle.
			bool cramped = BFont(string.kind, string.size).StringWidth(string.text.c_str()) > string.width;
			EXPECT_TRUE(!cramped || string.truncation == uint32(B_TRUNCATE_MIDDLE)) << string.text;
		}
		EXPECT_EQ(strings, kLines[i].trailing.empty() ? 1u : 2u);
	}
}

TEST(WindowInProcess, AnApplicationWaitingForAWindowInAnAlertIsAtRest)
{
	InProcessRun run;
	bool restedWhileUp = false;
	run.Run([&](BWindow*) {
		TestBackend& backend = run.Backend();
		backend.SetAnswerer(nullptr);
		backend.ChooseMenu("New");
		backend.WaitIdle();
		// The application, asked to quit, waits for the window's lock, which
		// the window holds while it waits for its user: only the user can go on.
		be_app->PostMessage(B_QUIT_REQUESTED);
		auto rest = std::async(std::launch::async, [&backend] { backend.WaitIdle(); });
		restedWhileUp = rest.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
		backend.Answer("0");
		rest.wait();
		return true;
	});
	EXPECT_TRUE(restedWhileUp);
	EXPECT_FALSE(run.QuitMissed());
}

}  // namespace
