#include <StatusBar.h>

#include <algorithm>

#include <Message.h>

namespace {

// The text line above the bar, and the bar below it.
const float kTextBaseline = 13.0f;
const float kBarTop = 18.0f;
const float kBarHeight = 14.0f;
const float kInset = 4.0f;

// Two parts of a side of the bar, with a space between when both are there.
std::string
Joined(const std::string& first, const std::string& second)
{
	if (first.empty() || second.empty())
		return first + second;
	return first + " " + second;
}

}  // namespace

BStatusBar::BStatusBar(BRect frame, const char* name, const char* label, const char* trailingLabel)
	:
	BView(frame, name, B_FOLLOW_LEFT_RIGHT | B_FOLLOW_BOTTOM, B_WILL_DRAW),
	fLabel(label != NULL ? label : ""),
	fTrailingLabel(trailingLabel != NULL ? trailingLabel : ""),
	fValue(0.0f),
	fMax(100.0f)
{
}

BStatusBar::~BStatusBar()
{
}

void
BStatusBar::AttachedToWindow()
{
	SetFontSize(12.0f);
	Invalidate();
}

// The left side shows the label and the text, the right side the trailing
// text and the trailing label; the bar below is filled as far as the value
// has come towards the maximum.
void
BStatusBar::Draw(BRect)
{
	BRect bounds = Bounds();
	std::string left = Joined(fLabel, fText);
	std::string right = Joined(fTrailingText, fTrailingLabel);
	if (!left.empty()) {
		MovePenTo(kInset, kTextBaseline);
		DrawString(left.c_str());
	}
	if (!right.empty()) {
		BFont font;
		GetFont(&font);
		MovePenTo(std::max(bounds.right - kInset - font.StringWidth(right.c_str()), kInset),
			kTextBaseline);
		DrawString(right.c_str());
	}
	BRect bar(kInset, kBarTop, bounds.right - kInset, kBarTop + kBarHeight);
	StrokeRect(bar);
	if (fMax > 0.0f && fValue > 0.0f) {
		float filled = (bar.Width() - 2.0f) * std::min(fValue / fMax, 1.0f);
		FillRect(BRect(bar.left + 1.0f, bar.top + 1.0f, bar.left + 1.0f + filled, bar.bottom - 1.0f));
	}
}

bool
BStatusBar::MessageReceived(BMessage* message)
{
	const char* first = NULL;
	const char* second = NULL;
	switch (message->what) {
		case B_UPDATE_STATUS_BAR: {
			int32 delta = 0;
			message->FindInt32("delta", &delta);
			message->FindString("text", &first);
			message->FindString("trailing_text", &second);
			Update(static_cast<float>(delta), first, second);
			return true;
		}
		case B_RESET_STATUS_BAR:
			message->FindString("label", &first);
			message->FindString("trailing_label", &second);
			Reset(first, second);
			return true;
		default:
			return false;
	}
}

void
BStatusBar::Update(float delta, const char* text, const char* trailingText)
{
	fValue = std::clamp(fValue + delta, 0.0f, fMax);
	if (text != NULL)
		fText = text;
	if (trailingText != NULL)
		fTrailingText = trailingText;
	_Changed();
}

void
BStatusBar::Reset(const char* label, const char* trailingLabel)
{
	fLabel = label != NULL ? label : "";
	fTrailingLabel = trailingLabel != NULL ? trailingLabel : "";
	fText.clear();
	fTrailingText.clear();
	fValue = 0.0f;
	fMax = 100.0f;
	_Changed();
}

void
BStatusBar::SetMaxValue(float max)
{
	fMax = std::max(max, 0.0f);
	fValue = std::min(fValue, fMax);
	_Changed();
}

void
BStatusBar::SetText(const char* text)
{
	fText = text != NULL ? text : "";
	_Changed();
}

void
BStatusBar::SetTrailingText(const char* text)
{
	fTrailingText = text != NULL ? text : "";
	_Changed();
}

void
BStatusBar::_Changed()
{
	Invalidate();
}
