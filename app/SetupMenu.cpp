#include "SetupMenu.h"

#include <cstdlib>
#include <cstring>

#include <unistd.h>

#include <Activity.h>
#include <Entry.h>
#include <Menu.h>
#include <MenuItem.h>
#include <Message.h>
#include <Messenger.h>
#include <Window.h>

#include "LineBuffer.h"
#include "PagePreview.h"
#include "PortChoices.h"
#include "PrinterPorts.h"
#include "SettingsStore.h"

namespace {

const char* const kLooking = "Looking for Printers...";

// What the last search of the program found: a window made later starts
// from it, and looks again only when asked.
std::mutex sLastLock;
bool sSearched = false;
std::vector<FoundPrinter> sLastFound;
const char* const kNoneFound = "No Printers Found";

// The port in use, as the store has it now.
std::string
PortInUse()
{
	std::lock_guard<std::mutex> lock(gStoreLock);
	return PrinterPath != NULL ? PrinterPath : "";
}

// A serial port is offered the serial devices, any other port the rest.
bool
OfferedFor(const char* variable, const FoundPrinter& found)
{
	bool serialPort = strncmp(variable, "QUILLON_SERIAL", 14) == 0;
	bool serialDevice = found.target.compare(0, 8, "/dev/tty") == 0;
	return serialPort == serialDevice;
}

}  // namespace

SetupMenu::SetupMenu(BWindow* window)
	:
	fWindow(window),
	fMenu(new BMenu("Setup", B_ITEMS_IN_COLUMN))
{
	fMenu->AddItem(new BMenuItem(kLooking, new BMessage(kLookAgain)));
	fFoundItems = 1;
	fMenu->AddSeparatorItem();
	fMenu->AddItem(new BMenuItem("Look Again", new BMessage(kLookAgain)));
	fMenu->AddItem(new BMenuItem("Device or File by Path...", new BMessage(kPortByPath)));
	fMenu->AddSeparatorItem();
	fMenu->AddItem(new BMenuItem("Preview", new BMessage(kPreview)));
	fMenu->AddSeparatorItem();
	fMenu->AddItem(new BMenuItem("Remember Settings", new BMessage(kRememberSettings)));
	fMenu->AddSeparatorItem();
	BMenuItem* cancel = new BMenuItem("Cancel Printing", new BMessage(kCancelPrinting), '.');
	cancel->SetStopsWork(true);
	fMenu->AddItem(cancel);
	{
		std::lock_guard<std::mutex> lock(sLastLock);
		if (sSearched) {
			fShown = sLastFound;
			ListFound();
			return;
		}
	}
	_LookAgain();
}

SetupMenu::~SetupMenu()
{
	fStop = true;
	if (fSearch.joinable())
		fSearch.join();
}

bool
SetupMenu::MessageReceived(BMessage* message)
{
	switch (message->what) {
		case kLookAgain:
			_LookAgain();
			return true;
		case kPrintersFound:
			_ShowFound();
			return true;
		case kChooseFoundPort:
		{
			const char* target = NULL;
			if (message->FindString("target", &target) == B_OK)
				_ChoosePort(target);
			return true;
		}
		case kPortByPath:
		{
			BMessenger window(fWindow);
			// The panel keeps a copy of the message.
			BMessage chosen(kPortPathChosen);
			BFilePanel* panel = new BFilePanel(B_OPEN_PANEL, &window, NULL, 0, false, &chosen);
			fPanels.emplace_back(panel);
			panel->Show();
			return true;
		}
		case kPortPathChosen:
		{
			entry_ref ref;
			if (message->FindRef("refs", &ref) != B_OK || ref.Path()[0] == '\0')
				return true;
			// The ports file is read wherever the program starts.
			std::string path = ref.Path();
			if (path[0] != '/') {
				char* here = getcwd(NULL, 0);
				if (here != NULL)
					path = std::string(here) + "/" + path;
				free(here);
			}
			_ChoosePort(path);
			return true;
		}
		case kPreview:
			fPanels.emplace_back(new_preview_panel());
			return true;
		case kRememberSettings:
		{
			std::string error;
			bool on = !fRemembered.IsOn();
			fNote = fRemembered.Turn(on, &error) ? "" : error;
			fMenu->FindItem(kRememberSettings)->SetMarked(fRemembered.IsOn());
			return true;
		}
		case kCancelPrinting:
			// The job sees its output gone, stops and says so; with no job
			// running there is nothing to cancel.
			CancelClosePrinterPort();
			return true;
		default:
			return false;
	}
}

// The search runs beside the window: each action of a script user waits for
// it, as for any work the program has in hand.
void
SetupMenu::_LookAgain()
{
	if (fSearching)
		return;
	if (fSearch.joinable())
		fSearch.join();
	fSearching = true;
	activity_begin();
	fSearch = std::thread([this] {
		std::vector<FoundPrinter> found = find_printers(fStop);
		if (!fStop) {
			std::lock_guard<std::mutex> lock(sLastLock);
			sSearched = true;
			sLastFound = found;
		}
		{
			std::lock_guard<std::mutex> lock(fFoundLock);
			fFound = std::move(found);
		}
		fWindow->PostMessage(kPrintersFound);
		activity_end();
	});
}

void
SetupMenu::_ShowFound()
{
	fSearching = false;
	{
		std::lock_guard<std::mutex> lock(fFoundLock);
		fShown = fFound;
	}
	ListFound();
}

void
SetupMenu::ListFound()
{
	// The first search has not ended: it is still being looked for.
	if (fSearching && fShown.empty()) {
		MarkPort();
		return;
	}
	std::string port = PortInUse();
	const char* variable = port_variable(port.c_str());
	while (fFoundItems > 0) {
		fMenu->RemoveItem(0);
		fFoundItems--;
	}
	for (const FoundPrinter& found : fShown) {
		if (variable == NULL || !OfferedFor(variable, found))
			continue;
		BMessage* choose = new BMessage(kChooseFoundPort);
		choose->AddString("target", found.target.c_str());
		fMenu->AddItem(new BMenuItem(found.label.c_str(), choose), fFoundItems++);
	}
	if (fFoundItems == 0)
		fMenu->AddItem(new BMenuItem(kNoneFound, new BMessage(kLookAgain)), fFoundItems++);
	MarkPort();
}

void
SetupMenu::MarkPort()
{
	std::string target = printer_port_target(PortInUse().c_str());
	for (int32 i = 0; i < fFoundItems; i++) {
		BMenuItem* item = fMenu->ItemAt(i);
		const char* itemTarget = NULL;
		item->SetMarked(item->Message() != NULL && item->Message()->FindString("target", &itemTarget) == B_OK
			&& target == itemTarget);
	}
	fMenu->FindItem(kRememberSettings)->SetMarked(fRemembered.IsOn());
}

void
SetupMenu::_ChoosePort(const std::string& target)
{
	std::string port = PortInUse();
	const char* variable = port_variable(port.c_str());
	if (variable == NULL)
		return;
	std::string error;
	fNote = choose_port(variable, target, &error) ? "" : error;
	MarkPort();
}
