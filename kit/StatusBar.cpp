#include <StatusBar.h>

#include <algorithm>

#include <Message.h>

namespace {

// The text line above the bar, and the bar below it.
const float kTextBaseline = 13.0f;
const float kBarTop = 18.0f;
const float kBarHeight = 14.0f;
const float kInset = 4.0f;
// The least room between the two sides.
const float kGap = 12.0f;

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
// has come towards the maximum. When the two sides do not fit side by side,
// each keeps a room of its own and is shortened in the middle (where a long
// path or file name loses least): the shorter side keeps all it needs up to
// half the width, the other side takes the rest.
void
BStatusBar::Draw(BRect)
{
	BRect bounds = Bounds();
	std::string left = Joined(fLabel, fText);
	std::string right = Joined(fTrailingText, fTrailingLabel);
	BFont font;
	GetFont(&font);
	const float room = std::max(bounds.Width() - 2.0f * kInset, 0.0f);
	float leftWidth = left.empty() ? 0.0f : font.StringWidth(left.c_str());
	float rightWidth = right.empty() ? 0.0f : font.StringWidth(right.c_str());
	float gap = left.empty() || right.empty() ? 0.0f : kGap;
	if (leftWidth + gap + rightWidth > room) {
		float half = (room - gap) / 2.0f;
		if (rightWidth <= half)
			leftWidth = room - gap - rightWidth;
		else if (leftWidth <= half)
			rightWidth = room - gap - leftWidth;
		else
			leftWidth = rightWidth = half;
		if (left.empty())
			rightWidth = room;
		if (right.empty())
			leftWidth = room;
	} else {
		// What fits keeps the room up to the other side.
		leftWidth = room - gap - rightWidth;
	}
	if (!left.empty()) {
		MovePenTo(kInset, kTextBaseline);
		DrawString(left.c_str(), leftWidth, B_TRUNCATE_MIDDLE);
	}
	if (!right.empty()) {
		MovePenTo(std::max(bounds.right - kInset - rightWidth, kInset), kTextBaseline);
		DrawString(right.c_str(), rightWidth, B_TRUNCATE_MIDDLE);
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
BStatusBar::_Changed()
{
	Invalidate();
}
