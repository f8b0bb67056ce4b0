// A status bar: a label and a text above a bar that fills up to its maximum,
// with a trailing text and a trailing label at the right. The window holds it
// like any view; it is changed on the window's thread, directly or through
// the two messages below, and draws itself again after each change.
#pragma once

#include <string>

#include <View.h>

class BMessage;

// Update: "delta" (int32), "text", "trailing_text" (strings, each optional).
const uint32 B_UPDATE_STATUS_BAR = '_SUB';
// Reset: "label", "trailing_label" (strings, each optional).
const uint32 B_RESET_STATUS_BAR = '_RSB';

class BStatusBar : public BView {
public:
	BStatusBar(BRect frame, const char* name, const char* label = NULL,
		const char* trailingLabel = NULL);
	virtual ~BStatusBar();

	virtual void AttachedToWindow();
	virtual void Draw(BRect updateRect);
	// Takes the two status bar messages; false for any other.
	bool MessageReceived(BMessage* message);

	// Adds delta to the current value, up to the maximum; a text given
	// (not NULL) replaces the one shown.
	void Update(float delta, const char* text = NULL, const char* trailingText = NULL);
	// Back to 0 of 100 with no texts, and these labels.
	void Reset(const char* label = NULL, const char* trailingLabel = NULL);
	void SetMaxValue(float max);

	const char* Label() const { return fLabel.c_str(); }
	const char* Text() const { return fText.c_str(); }

private:
	void _Changed();

	std::string fLabel;
	std::string fTrailingLabel;
	std::string fText;
	std::string fTrailingText;
	float fValue;
	float fMax;
};
