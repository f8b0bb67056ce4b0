#include "QuillonView.h"

#include <cstdio>
#include <mutex>

#include <StatusBar.h>
#include <Window.h>

#include "JobStatus.h"
#include "SettingsStore.h"

float X = 0.0f;
float Y = 0.0f;
// The text of the line being drawn; only Draw touches it.
static char TextBuffer[99];

// The status bar lies along the bottom of the window, below the twenty
// lines (which end 420 pixels down), in this view's coordinates.
static const BRect kStatusBarFrame(8.0f, 503.0f, 560.0f, 541.0f);

QuillonView::QuillonView(BRect frame, const char* name)
	:
	BView(frame, name, B_FOLLOW_ALL_SIDES, B_WILL_DRAW),
	fStatusBar(new BStatusBar(kStatusBarFrame, "status bar"))
{
	AddChild(fStatusBar);
}

QuillonView::~QuillonView()
{
}

void
QuillonView::AttachedToWindow()
{
	SetFont(be_plain_font, B_FONT_ALL);
	SetFontSize(12.0f);
	// The port in use, as soon as the window shows.
	Window()->PostMessage(kShowIdleStatus);
}

// Runs on the window's thread, the one that changes the settings; the lines
// are formatted under the store's lock all the same, as the window draws of
// its own accord and a setting may be written from elsewhere (start-up, the
// tests) meanwhile.
void
QuillonView::Draw(BRect)
{
	std::lock_guard<std::mutex> lock(gStoreLock);
	struct Line {
		const char* format;
		enum { kText, kCount, kPitch } kind;
		const char* text;
		int32_t count;
	};
	const Line lines[] = {
		{ "Printer Name: <%s>", Line::kText, PrintName, 0 },
		{ "Printer Mode: <%s>", Line::kText, PrintMode, 0 },
		{ "Filtering(Y/N): <%s>", Line::kText, FilterCodes, 0 },
		{ "Top margin: %ld", Line::kCount, NULL, TopBlankLines },
		{ "Bottom margin: %ld", Line::kCount, NULL, BottomBlankLines },
		{ "Tab Size(chars): %ld", Line::kCount, NULL, TabSize },
		{ "CPI: %f", Line::kPitch, NULL, 0 },
		{ "Pages per Sheet: %ld", Line::kCount, NULL, PagesPerSheet },
		{ "Columns per Page: %ld", Line::kCount, NULL, ColumnsPerPage },
		{ "Long Line Mode: <%s>", Line::kText, LineMode, 0 },
		{ "Codes to Reset Printer: <%s>", Line::kText, ResetPrinter, 0 },
		{ "Codes to Load_Paper: <%s>", Line::kText, LoadPaper, 0 },
		{ "Codes to Eject_Paper: <%s>", Line::kText, EjectPaper, 0 },
		{ "Paper tray to use: <%s>", Line::kText, PaperSource, 0 },
		{ "Print Direction(s): <%s>", Line::kText, PrintDir, 0 },
		{ "Printer's Linewrapping: <%s>", Line::kText, PrintWRAP, 0 },
		{ "Print Data Path: <%s>", Line::kText, PrinterPath, 0 },
		{ "Paper Orientation: <%s>", Line::kText, PrintOrient, 0 },
		{ "Proportional Spacing: <%s>", Line::kText, PrintSpace, 0 },
		{ "Print Quality: <%s>", Line::kText, PrintLQ, 0 },
	};

	X = 0.0f;
	Y = 0.0f;
	for (const Line& line : lines) {
		X = 20.0f;
		Y += 20.0f;
		MovePenTo(BPoint(X, Y));
		// snprintf keeps every line inside TextBuffer, whatever a setting holds.
		switch (line.kind) {
			case Line::kText:
				snprintf(TextBuffer, sizeof(TextBuffer), line.format, line.text);
				break;
			case Line::kCount:
				snprintf(TextBuffer, sizeof(TextBuffer), line.format,
					static_cast<long>(line.count));
				break;
			case Line::kPitch:
				snprintf(TextBuffer, sizeof(TextBuffer), line.format, static_cast<double>(CPI));
				break;
		}
		DrawString(TextBuffer);
	}
}
