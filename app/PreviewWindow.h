// The preview window: the sheets a job would make, as its printer model lays
// them out, one at a time, with a menu to turn the pages, to print the same
// files as one job, and to close. It is made by the application once the
// job's bytes are laid out, and owns the sheets.
#pragma once

#include <string>
#include <vector>

#include <Message.h>
#include <Window.h>

#include "PrinterPaper.h"

class PreviewSheetView;

const uint32 kPreviewFiles = 'PVfs';   // the panel's answer, to the application: "refs"
const uint32 kPreviousPage = 'PVpp';
const uint32 kNextPage = 'PVnp';
const uint32 kPreviewPrint = 'PVpr';
const uint32 kPreviewClose = 'PVcl';

class PreviewWindow : public BWindow {
public:
	// refs are the files laid out, printed again by Print; unknown is how
	// many codes the interpreter did not know.
	PreviewWindow(const BMessage& refs, std::vector<PaperSheet>&& sheets, int64_t unknown);

	virtual void MessageReceived(BMessage* message);

private:
	void _ShowPage(int32 index);
	void _Print();

	BMessage fRefs;
	std::vector<PaperSheet> fSheets;
	int32 fPage = 0;  // the index of the sheet shown
	PreviewSheetView* fView;
};

// "Preview: notes.txt and 2 more".
std::string preview_title(const BMessage& refs);
// "No unknown codes", "1 unknown code", "12 unknown codes".
std::string unknown_code_words(int64_t count);
