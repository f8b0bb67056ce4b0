#pragma once

#include <View.h>

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
};
