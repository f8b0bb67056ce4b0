#include <View.h>

#include <algorithm>

#include <Window.h>

#include "PlatformBackend.h"

BView::BView(BRect frame, const char* name, uint32 resizingMode, uint32 flags)
	:
	fName(name != NULL ? name : ""),
	fFrame(frame),
	fResizingMode(resizingMode),
	fFlags(flags),
	fFont(*be_plain_font),
	fWindow(NULL),
	fParent(NULL)
{
}

BView::~BView()
{
	for (BView* child : fChildren) {
		child->fParent = NULL;
		delete child;
	}
}

void
BView::AttachedToWindow()
{
}

void
BView::DetachedFromWindow()
{
}

void
BView::Draw(BRect)
{
}

void
BView::AddChild(BView* child, BView* before)
{
	if (child == NULL || child->fParent != NULL)
		return;
	auto position = std::find(fChildren.begin(), fChildren.end(), before);
	fChildren.insert(position, child);
	child->fParent = this;
	if (fWindow != NULL)
		child->_Attach(fWindow);
}

bool
BView::RemoveChild(BView* child)
{
	auto position = std::find(fChildren.begin(), fChildren.end(), child);
	if (position == fChildren.end())
		return false;
	fChildren.erase(position);
	child->_Detach();
	child->fParent = NULL;
	return true;
}

BView*
BView::ChildAt(int32 index) const
{
	if (index < 0 || static_cast<size_t>(index) >= fChildren.size())
		return NULL;
	return fChildren[static_cast<size_t>(index)];
}

void
BView::SetFont(const BFont* font, uint32 mask)
{
	if (font == NULL)
		return;
	if ((mask & B_FONT_ALL) == B_FONT_ALL) {
		fFont = *font;
		return;
	}
	if ((mask & B_FONT_SIZE) != 0)
		fFont.SetSize(font->Size());
	if ((mask & B_FONT_FAMILY_AND_STYLE) != 0)
		fFont = BFont(font->Kind(), fFont.Size());
}

void
BView::GetFont(BFont* font) const
{
	if (font != NULL)
		*font = fFont;
}

void
BView::SetFontSize(float size)
{
	fFont.SetSize(size);
}

void
BView::MovePenTo(BPoint point)
{
	fPenLocation = point;
}

void
BView::MovePenTo(float x, float y)
{
	MovePenTo(BPoint(x, y));
}

void
BView::DrawString(const char* string, escapement_delta*)
{
	if (string != NULL)
		_DrawString(string, 0.0f, B_TRUNCATE_END);
	fPenLocation.x += fFont.StringWidth(string);
}

void
BView::DrawString(const char* string, float width, uint32 truncation)
{
	if (string != NULL)
		_DrawString(string, std::max(width, 0.0f), truncation);
	fPenLocation.x += std::max(width, 0.0f);
}

void
BView::_DrawString(const char* string, float width, uint32 truncation)
{
	if (fWindow == NULL)
		return;
	DrawnString drawn = { fPenLocation, _InWindow(fPenLocation), string, fFont.Size(), fFont.Kind() };
	drawn.view = this;
	drawn.width = width;
	drawn.truncation = truncation;
	fWindow->_AddDrawn(std::move(drawn));
}

void
BView::StrokeRect(BRect rect)
{
	_DrawRect(rect, B_DRAWN_STROKED_RECT);
}

void
BView::FillRect(BRect rect)
{
	_DrawRect(rect, B_DRAWN_FILLED_RECT);
}

void
BView::_DrawRect(BRect rect, drawn_shape shape)
{
	if (fWindow == NULL || !rect.IsValid())
		return;
	BPoint leftTop = _InWindow(rect.LeftTop());
	DrawnString drawn = { rect.LeftTop(), leftTop, "", fFont.Size(), fFont.Kind() };
	drawn.shape = shape;
	drawn.rect = BRect(leftTop.x, leftTop.y, leftTop.x + rect.Width(), leftTop.y + rect.Height());
	drawn.view = this;
	fWindow->_AddDrawn(std::move(drawn));
}

// Where a point of this view lies in the window: each view's frame lies in
// its parent.
BPoint
BView::_InWindow(BPoint point) const
{
	for (const BView* view = this; view != NULL; view = view->Parent()) {
		point.x += view->Frame().left;
		point.y += view->Frame().top;
	}
	return point;
}

void
BView::Invalidate()
{
	if (fWindow != NULL)
		fWindow->_InvalidateViews();
}

BRect
BView::Bounds() const
{
	return BRect(0.0f, 0.0f, fFrame.Width(), fFrame.Height());
}

void
BView::_DrawTree()
{
	if ((fFlags & B_WILL_DRAW) != 0)
		Draw(Bounds());
	for (BView* child : fChildren)
		child->_DrawTree();
}

void
BView::_Attach(BWindow* window)
{
	fWindow = window;
	AttachedToWindow();
	for (BView* child : fChildren)
		child->_Attach(window);
}

void
BView::_Detach()
{
	for (BView* child : fChildren)
		child->_Detach();
	DetachedFromWindow();
	fWindow = NULL;
}
