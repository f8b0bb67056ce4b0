#include <Window.h>

#include <Application.h>
#include <Autolock.h>
#include <MenuBar.h>
#include <View.h>

#include "PlatformBackend.h"

BWindow::BWindow(BRect frame, const char* title, window_type type, uint32 flags, uint32)
	:
	BLooper(title),
	fFrame(frame),
	fTitle(title != NULL ? title : ""),
	fType(type),
	fFlags(flags),
	fTopView(new BView(BRect(0.0f, 0.0f, frame.Width(), frame.Height()), "top view",
		B_FOLLOW_ALL_SIDES, 0)),
	fShowLevel(0),
	fLoopEnded(false)
{
	fTopView->_Attach(this);
	if (be_app != NULL)
		be_app->_AddWindow(this);
}

BWindow::~BWindow()
{
	if (be_app != NULL)
		be_app->_RemoveWindow(this);
	fTopView->_Detach();
	delete fTopView;
}

void
BWindow::Show()
{
	BAutolock lock(this);
	bool first = fShowLevel.fetch_add(1) == 0;
	if (first)
		Run();
	// The backend hears of every Show, as a window server does; one that is
	// on the screen already stays as it is.
	platform_backend()->WindowShown(this);
	// The views draw as soon as the window's thread gets to it.
	if (first)
		PostMessage(kDrawViews);
}

void
BWindow::Hide()
{
	BAutolock lock(this);
	fShowLevel--;
}

bool
BWindow::IsHidden() const
{
	return fShowLevel.load() <= 0;
}

void
BWindow::Quit()
{
	if (IsLooperThread()) {
		_Terminate();
		return;
	}
	// From another thread, as the application ends it: told to quit, every
	// lock this thread holds given up so that its loop can end, then waited
	// for.
	_Terminate();
	while (IsLocked())
		Unlock();
	if (be_app != NULL)
		be_app->_ReapWindow(this);
}

bool
BWindow::QuitRequested()
{
	return true;
}

void
BWindow::DispatchMessage(BMessage* message)
{
	switch (message->what) {
		case kDrawViews:
			_DrawViews();
			break;
		default:
			BLooper::DispatchMessage(message);
			// What the message changed is drawn at once.
			if (message->what != B_QUIT_REQUESTED)
				PostMessage(kDrawViews);
			break;
	}
}

void
BWindow::AddChild(BView* child, BView* before)
{
	BAutolock lock(this);
	fTopView->AddChild(child, before);
}

bool
BWindow::RemoveChild(BView* child)
{
	BAutolock lock(this);
	return fTopView->RemoveChild(child);
}

int32
BWindow::CountChildren() const
{
	return fTopView->CountChildren();
}

BView*
BWindow::ChildAt(int32 index) const
{
	return fTopView->ChildAt(index);
}

BRect
BWindow::Bounds() const
{
	return BRect(0.0f, 0.0f, fFrame.Width(), fFrame.Height());
}

BMenuBar*
BWindow::KeyMenuBar() const
{
	for (int32 i = 0; i < fTopView->CountChildren(); i++) {
		if (BMenuBar* bar = dynamic_cast<BMenuBar*>(fTopView->ChildAt(i)))
			return bar;
	}
	return NULL;
}

void
BWindow::_InvalidateViews()
{
	PostMessage(kDrawViews);
}

void
BWindow::_DrawViews()
{
	fDisplayList.clear();
	fTopView->_DrawTree();
	platform_backend()->PresentWindow(this, fDisplayList);
}

void
BWindow::_LoopEnded()
{
	fLoopEnded = true;
	platform_backend()->WindowClosed(this);
	// The application deletes the window on its own thread.
	if (be_app != NULL) {
		BMessage gone(kWindowGone);
		gone.AddPointer("window", this);
		be_app->PostMessage(&gone);
	}
}
