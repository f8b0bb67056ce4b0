#include "PreviewSheetView.h"

#include <algorithm>

#include <Font.h>

namespace {

// The strip above the sheet that holds the page count.
const float kHeading = 20.0f;
const float kMargin = 6.0f;
// A fixed face is about six tenths of its size wide.
const float kFixedWidth = 0.6f;

}  // namespace

std::string
page_count_words(int32 number, int32 count)
{
	return "Page " + std::to_string(number) + " of " + std::to_string(count);
}

std::string
utf8_of(const std::u32string& text)
{
	std::string out;
	for (char32_t c : text) {
		if (c < 0x80)
			out += static_cast<char>(c);
		else if (c < 0x800) {
			out += static_cast<char>(0xC0 | (c >> 6));
			out += static_cast<char>(0x80 | (c & 0x3F));
		} else if (c < 0x10000) {
			out += static_cast<char>(0xE0 | (c >> 12));
			out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
			out += static_cast<char>(0x80 | (c & 0x3F));
		} else {
			out += static_cast<char>(0xF0 | (c >> 18));
			out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
			out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
			out += static_cast<char>(0x80 | (c & 0x3F));
		}
	}
	return out;
}

PreviewSheetView::PreviewSheetView(BRect frame, const char* name)
	:
	BView(frame, name, B_FOLLOW_ALL_SIDES, B_WILL_DRAW)
{
}

void
PreviewSheetView::SetSheet(const PaperSheet* sheet, int32 number, int32 count)
{
	fSheet = sheet;
	fNumber = number;
	fCount = count;
	Invalidate();
}

// Runs on the window's thread.
void
PreviewSheetView::Draw(BRect)
{
	BRect bounds = Bounds();
	SetFont(be_plain_font);
	SetFontSize(12.0f);
	MovePenTo(kMargin, 14.0f);
	DrawString(page_count_words(fNumber, fCount).c_str());
	if (!fNote.empty()) {
		MovePenTo(bounds.Width() / 2.0f, 14.0f);
		DrawString(fNote.c_str());
	}
	if (fSheet == NULL || fSheet->width <= 0 || fSheet->height <= 0)
		return;

	// Pixels for each unit of the sheet, the whole sheet in view.
	float roomWidth = bounds.Width() - 2.0f * kMargin;
	float roomHeight = bounds.Height() - kHeading - 2.0f * kMargin;
	double scale = std::min(roomWidth / static_cast<double>(fSheet->width),
		roomHeight / static_cast<double>(fSheet->height));
	float left = kMargin + static_cast<float>((roomWidth - fSheet->width * scale) / 2.0);
	float top = kHeading + kMargin;
	StrokeRect(BRect(left, top, left + static_cast<float>(fSheet->width * scale),
		top + static_cast<float>(fSheet->height * scale)));

	SetFont(be_fixed_font);
	for (const PaperRun& run : fSheet->runs) {
		if (run.text.empty())
			continue;
		// The face as wide as the pitch: a proportional run by its mean.
		double width = static_cast<double>(run.advance);
		if (run.proportional && !run.widths.empty()) {
			width = 0.0;
			for (int64_t each : run.widths)
				width += static_cast<double>(each);
			width /= static_cast<double>(run.widths.size());
		}
		float size = static_cast<float>(width * scale / kFixedWidth);
		if (run.height > 0)
			size = std::min(size, static_cast<float>(run.height * scale));
		SetFontSize(std::max(size, 1.0f));
		MovePenTo(left + static_cast<float>(run.x * scale), top + static_cast<float>(run.y * scale));
		DrawString(utf8_of(run.text).c_str());
	}
}
