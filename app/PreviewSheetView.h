// The view of the preview window that draws one sheet as the printer would
// lay it out: the sheet's edge as a rectangle, each run of characters at its
// place, in the fixed font at a size that follows the run's pitch, all of it
// scaled to fit the view; and above it which page it is of how many.
#pragma once

#include <string>

#include <View.h>

#include "PrinterPaper.h"

class PreviewSheetView : public BView {
public:
	PreviewSheetView(BRect frame, const char* name);

	// The sheet shown (NULL: none, for a job that ejected no sheet), its
	// number and the count; the words beside the count stay as they are.
	void SetSheet(const PaperSheet* sheet, int32 number, int32 count);
	// "2 unknown codes": what the interpreter did not know, said beside the
	// count.
	void SetNote(const std::string& note) { fNote = note; }

	virtual void Draw(BRect updateRect);

private:
	const PaperSheet* fSheet = NULL;
	int32 fNumber = 0;
	int32 fCount = 0;
	std::string fNote;
};

// "Page 2 of 3".
std::string page_count_words(int32 number, int32 count);
// A line of the sheet as UTF-8, as the kit draws strings.
std::string utf8_of(const std::u32string& text);
