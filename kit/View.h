// A view: a rectangle of a window that draws itself.
#pragma once

#include <string>
#include <vector>

#include <Font.h>
#include <InterfaceDefs.h>
#include <PlatformBackend.h>
#include <Rect.h>

class BWindow;

class BView {
public:
	BView(BRect frame, const char* name, uint32 resizingMode, uint32 flags);
	virtual ~BView();

	virtual void AttachedToWindow();
	virtual void DetachedFromWindow();
	virtual void Draw(BRect updateRect);

	void AddChild(BView* child, BView* before = NULL);
	bool RemoveChild(BView* child);
	int32 CountChildren() const { return static_cast<int32>(fChildren.size()); }
	BView* ChildAt(int32 index) const;
	BView* Parent() const { return fParent; }

	void SetFont(const BFont* font, uint32 mask = B_FONT_ALL);
	void GetFont(BFont* font) const;
	void SetFontSize(float size);

	void MovePenTo(BPoint point);
	void MovePenTo(float x, float y);
	void DrawString(const char* string, escapement_delta* delta = NULL);
	// Draws the string in the room of width from the pen, shortened where
	// the mode says (B_TRUNCATE_MIDDLE...) when the backend's font needs
	// more; the pen moves on by the room.
	void DrawString(const char* string, float width, uint32 truncation);
	// The outline of the rectangle, or all of it filled.
	void StrokeRect(BRect rect);
	void FillRect(BRect rect);

	// Asks for the view to be drawn again.
	void Invalidate();

	BWindow* Window() const { return fWindow; }
	const char* Name() const { return fName.c_str(); }
	BRect Frame() const { return fFrame; }
	BRect Bounds() const;
	uint32 Flags() const { return fFlags; }
	uint32 ResizingMode() const { return fResizingMode; }

	// Draws this view and its children (the window's thread, window locked).
	void _DrawTree();

protected:
	void _Reshape(BRect frame, uint32 resizingMode)
	{
		fFrame = frame;
		fResizingMode = resizingMode;
	}

private:
	friend class BWindow;
	void _Attach(BWindow* window);
	BPoint _InWindow(BPoint point) const;
	// Hands the string at the pen, in a room of width (0: what it takes), to the window.
	void _DrawString(const char* string, float width, uint32 truncation);
	void _DrawRect(BRect rect, drawn_shape shape);
	void _Detach();

	std::string fName;
	BRect fFrame;
	uint32 fResizingMode;
	uint32 fFlags;
	BFont fFont;
	BPoint fPenLocation;
	BWindow* fWindow;
	BView* fParent;
	std::vector<BView*> fChildren;
};
