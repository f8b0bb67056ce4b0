#pragma once

#include <View.h>

class BStatusBar;

// The pen position of the line being drawn, and its text.
extern float X;
extern float Y;
extern char TextBuffer[99];

class QuillonView : public BView {
public:
	QuillonView(BRect frame, const char* name);
	virtual ~QuillonView();

	virtual void AttachedToWindow();
	virtual void Draw(BRect updateRect);

	// The status bar below the twenty lines, a child of this view.
	BStatusBar* StatusBar() const { return fStatusBar; }

private:
	BStatusBar* fStatusBar;
};
