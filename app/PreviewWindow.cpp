#include "PreviewWindow.h"

#include <algorithm>

#include <AppDefs.h>
#include <Application.h>
#include <Entry.h>
#include <InterfaceDefs.h>
#include <Menu.h>
#include <MenuBar.h>
#include <MenuItem.h>

#include "PreviewSheetView.h"

namespace {

// Room for a Letter sheet at about two thirds of its size, and the page count
// above it; placed beside the main window.
const BRect kPreviewFrame(64.0f, 48.0f, 643.0f, 847.0f);

}  // namespace

std::string
preview_title(const BMessage& refs)
{
	entry_ref ref;
	int32 count = 0;
	std::string first;
	for (; refs.FindRef("refs", count, &ref) == B_OK; count++) {
		if (count == 0)
			first = ref.name != NULL ? ref.name : ref.Path() != NULL ? ref.Path() : "";
	}
	std::string title = "Preview: " + first;
	if (count > 1)
		title += " and " + std::to_string(count - 1) + " more";
	return title;
}

std::string
unknown_code_words(int64_t count)
{
	if (count == 0)
		return "No unknown codes";
	return std::to_string(count) + (count == 1 ? " unknown code" : " unknown codes");
}

PreviewWindow::PreviewWindow(const BMessage& refs, std::vector<PaperSheet>&& sheets, int64_t unknown)
	:
	BWindow(kPreviewFrame, preview_title(refs).c_str(), B_TITLED_WINDOW, B_NOT_RESIZABLE),
	fRefs(refs),
	fSheets(std::move(sheets))
{
	// Print hands the application the files as a drop does.
	fRefs.what = B_REFS_RECEIVED;

	BMenuBar* bar = new BMenuBar(Bounds(), "preview menu_bar", B_FOLLOW_LEFT_RIGHT | B_FOLLOW_TOP,
		B_ITEMS_IN_ROW, true);
	BMenu* menu = new BMenu("Preview", B_ITEMS_IN_COLUMN);
	menu->AddItem(new BMenuItem("Previous Page", new BMessage(kPreviousPage), B_PAGE_UP));
	menu->AddItem(new BMenuItem("Next Page", new BMessage(kNextPage), B_PAGE_DOWN));
	menu->AddSeparatorItem();
	menu->AddItem(new BMenuItem("Print", new BMessage(kPreviewPrint), 'P'));
	menu->AddSeparatorItem();
	menu->AddItem(new BMenuItem("Close", new BMessage(kPreviewClose), 'W'));
	bar->AddItem(menu);
	AddChild(bar);

	BRect bounds = Bounds();
	fView = new PreviewSheetView(BRect(0.0f, 19.0f, bounds.right, bounds.bottom), "preview sheet");
	fView->SetNote(unknown_code_words(unknown));
	AddChild(fView);
	_ShowPage(0);
}

// Runs on the window's thread.
void
PreviewWindow::MessageReceived(BMessage* message)
{
	switch (message->what) {
		case kPreviousPage:
			_ShowPage(fPage - 1);
			break;
		case kNextPage:
			_ShowPage(fPage + 1);
			break;
		case kPreviewPrint:
			_Print();
			break;
		case kPreviewClose:
			PostMessage(B_QUIT_REQUESTED);
			break;
		default:
			BWindow::MessageReceived(message);
			break;
	}
}

// Past the first or the last page the page stays.
void
PreviewWindow::_ShowPage(int32 index)
{
	int32 count = static_cast<int32>(fSheets.size());
	if (count == 0) {
		fView->SetSheet(NULL, 0, 0);
		return;
	}
	fPage = std::max(0, std::min(index, count - 1));
	fView->SetSheet(&fSheets[static_cast<size_t>(fPage)], fPage + 1, count);
}

// The files go to the port in use as one job, the very message a drop
// makes; the preview stays open.
void
PreviewWindow::_Print()
{
	be_app->PostMessage(&fRefs);
}
