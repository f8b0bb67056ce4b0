#pragma once

#include <View.h>

class BStatusBar;

// The pen position of the line being drawn: process-wide, as where the pen
// ends after a draw (20, 400) is part of what the view is seen to do.
extern float X;
extern float Y;

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
