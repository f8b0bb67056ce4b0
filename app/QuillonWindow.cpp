#include "QuillonWindow.h"

#include <cstdio>
#include <cstring>
#include <mutex>

#include <Application.h>
#include <Menu.h>
#include <MenuItem.h>
#include <StatusBar.h>

#include "Alerts.h"
#include "CommandCodes.h"
#include "JobStatus.h"
#include "LineBuffer.h"
#include "MenuTable.h"
#include "PortChoices.h"
#include "PrinterPorts.h"
#include "PrinterProfiles.h"
#include "QuillonView.h"
#include "QuitRequest.h"
#include "SettingCommands.h"
#include "SettingsStore.h"
#include "SetupMenu.h"

BFilePanel* OpenFilePanel = NULL;

// Marks the chosen item as the current choice of its group, and no other:
// the items between the separators around it, or every printer model of the
// Printers menu. The marks are only shown.
static void
MarkChoice(BMenuBar* bar, uint32 command)
{
	BMenuItem* chosen = bar->FindItem(command);
	BMenu* menu = chosen != NULL ? chosen->Menu() : NULL;
	if (menu == NULL)
		return;
	bool model = FindPrinterProfile(command) != NULL;
	int32 first = 0;
	int32 count = menu->CountItems();
	for (int32 i = 0; i < count; i++) {
		BMenuItem* item = menu->ItemAt(i);
		if (model) {
			if (FindPrinterProfile(item->Command()) != NULL)
				item->SetMarked(item == chosen);
		} else if (item->IsSeparator())
			first = i + 1;
		else if (item == chosen)
			break;
	}
	for (int32 i = first; !model && i < count && !menu->ItemAt(i)->IsSeparator(); i++)
		menu->ItemAt(i)->SetMarked(menu->ItemAt(i) == chosen);
}

// The choices the settings start with, as far as the store tells them.
static void
MarkStartChoices(BMenuBar* bar)
{
	std::lock_guard<std::mutex> lock(gStoreLock);
	for (const PrinterProfile& profile : kPrinterProfiles) {
		if (PrintName != NULL && strcmp(PrintName, profile.printName) == 0)
			MarkChoice(bar, profile.command);
	}
	for (const PrinterPortPath& port : kPrinterPorts) {
		if (PrinterPath != NULL && strcmp(PrinterPath, port.path) == 0)
			MarkChoice(bar, port.command);
	}
	const struct {
		int32 value;
		uint32 pages, columns;
	} kCounts[] = { { 1, MM1p, MM1c }, { 2, MM2p, MM2c }, { 3, 0, MM3c }, { 4, MM4p, MM4c }, { 8, MM8p, 0 } };
	for (const auto& count : kCounts) {
		if (count.pages != 0 && PagesPerSheet == count.value)
			MarkChoice(bar, count.pages);
		if (count.columns != 0 && ColumnsPerPage == count.value)
			MarkChoice(bar, count.columns);
	}
	const struct {
		float cpi;
		uint32 command;
	} kPitches[] = { { 10.0f, MMnm }, { 12.0f, MM12 }, { 15.0f, MM15 }, { 17.0f, MM17 }, { 20.0f, MM20 } };
	for (const auto& pitch : kPitches) {
		if (CPI == pitch.cpi)
			MarkChoice(bar, pitch.command);
	}
}

QuillonWindow::QuillonWindow(BRect frame)
	:
	BWindow(frame, "Quillon Window", B_TITLED_WINDOW, B_NOT_RESIZABLE, B_CURRENT_WORKSPACE)
{
	fMenuBar = new BMenuBar(Bounds(), "printer menu_bar", B_FOLLOW_LEFT_RIGHT | B_FOLLOW_TOP,
		B_ITEMS_IN_ROW, true);
	AddChild(fMenuBar, NULL);

	for (const MenuTable& table : kMenus) {
		BMenu* menu = new BMenu(table.title, B_ITEMS_IN_COLUMN);
		for (int i = 0; i < table.count; i++) {
			const MenuRow& row = table.rows[i];
			if (row.label == NULL) {
				menu->AddSeparatorItem();
				continue;
			}
			menu->AddItem(new BMenuItem(row.label, new BMessage(row.command), row.shortcut, 0));
		}
		fMenuBar->AddItem(menu);
	}
	fSetup.reset(new SetupMenu(this));
	fMenuBar->AddItem(fSetup->Menu());
	MarkStartChoices(fMenuBar);
	_SetUp();

	// The first of three Shows at start (the application gives the other
	// two); the later ones change nothing on screen but each is a Show the
	// backends report, so all three are kept on purpose.
	Show();
}

QuillonWindow::~QuillonWindow()
{
	OpenFilePanel = NULL;
}

// Where the ports lead comes from the ports file unless the environment says;
// the settings the user asked to keep are replayed on the start-up ones, as
// if chosen again, but a not-supported alert is not shown again. What cannot
// be used is said on standard error, and the status bar says the first.
void
QuillonWindow::_SetUp()
{
	std::vector<std::string> problems = load_port_choices(is_port_variable);
	for (uint32 command : fSetup->Remembered().Load(&problems)) {
		if (RunSettingCommand(command) != kNotASettingCommand)
			MarkChoice(fMenuBar, command);
	}
	for (const std::string& problem : problems)
		fprintf(stderr, "quillon: %s\n", problem.c_str());
	if (!problems.empty()) {
		fSetup->SetNote(problems.size() == 1 ? problems.front()
				: problems.front() + " (and " + std::to_string(problems.size() - 1) + " more)");
	}
	fSetup->ListFound();
}

// Runs on the window's thread.
void
QuillonWindow::MessageReceived(BMessage* message)
{
	switch (message->what) {
		case MFpr:
			_OpenPrintPanel();
			break;
		case MFqu:
			_Quit();
			break;
		case kShowStatus:
			_ShowStatus(message);
			break;
		case kShowIdleStatus:
			_ShowIdleStatus();
			break;
		default:
			if (fSetup->MessageReceived(message))
				_ShowIdleStatus();
			else if (IsAlertOnlyCommand(message->what))
				ShowNotSupportedAlert();
			else if (!_RunSettingCommand(message->what))
				BWindow::MessageReceived(message);
			break;
	}
}

// Runs on the window's thread, or on the application's while it quits.
bool
QuillonWindow::QuitRequested()
{
	be_app->PostMessage(B_QUIT_REQUESTED);
	return true;
}

// The panel is not waited for: the files the user confirms reach the
// application as one refs message, which is the print job.
void
QuillonWindow::_OpenPrintPanel()
{
	OpenFilePanel = new BFilePanel(B_OPEN_PANEL, NULL, NULL, 0, true, NULL, NULL, false, true);
	fPanels.emplace_back(OpenFilePanel);
	OpenFilePanel->Show();
}

// The change is made first, the store free again, then the user is told what
// is not supported yet, and the window shows last.
bool
QuillonWindow::_RunSettingCommand(uint32 command)
{
	setting_outcome outcome = RunSettingCommand(command);
	if (outcome == kNotASettingCommand)
		return false;
	MarkChoice(fMenuBar, command);
	std::string unkept;
	if (!fSetup->Remembered().Chosen(command, &unkept))
		fSetup->SetNote(unkept);
	if (outcome == kSettingChangedNotSupported)
		ShowNotSupportedAlert();
	// Shown again after every setting command, though it is already up: a
	// Show each backend reports, kept on purpose.
	Show();
	// A port or a printer chosen: where printing goes now.
	if (FindPrinterPort(command) != NULL || FindPrinterProfile(command) != NULL) {
		fSetup->ListFound();
		_ShowIdleStatus();
	}
	return true;
}

// The status bar is the settings view's child.
static BStatusBar*
FindStatusBar(BWindow* window)
{
	for (int32 i = 0; i < window->CountChildren(); i++) {
		if (QuillonView* view = dynamic_cast<QuillonView*>(window->ChildAt(i)))
			return view->StatusBar();
	}
	return NULL;
}

void
QuillonWindow::_ShowStatus(BMessage* message)
{
	BStatusBar* bar = FindStatusBar(this);
	if (bar == NULL)
		return;
	JobStatusLine line;
	const char* text = NULL;
	if (message->FindString("label", &text) == B_OK)
		line.label = text;
	if (message->FindString("trailing", &text) == B_OK)
		line.trailing = text;
	message->FindInt32("filled", &line.filled);
	int32 jobRuns = 0;
	message->FindInt32("job", &jobRuns);
	fJobRuns = jobRuns != 0;
	show_status(bar, line);
}

void
QuillonWindow::_ShowIdleStatus()
{
	BStatusBar* bar = FindStatusBar(this);
	if (bar == NULL || fJobRuns)
		return;
	const char* path;
	{
		std::lock_guard<std::mutex> lock(gStoreLock);
		path = PrinterPath;
	}
	JobStatusLine line = idle_status(path);
	if (!fSetup->Note().empty())
		line.trailing += " - " + fSetup->Note();
	show_status(bar, line);
}

void
QuillonWindow::_Quit()
{
	RequestQuit(0);
}
