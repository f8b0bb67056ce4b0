// A window: a looper of its own, with a tree of views.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include <InterfaceDefs.h>
#include <Looper.h>
#include <PlatformBackend.h>
#include <Rect.h>

class BView;
class BMenuBar;

class BWindow : public BLooper {
public:
	BWindow(BRect frame, const char* title, window_type type, uint32 flags,
		uint32 workspace = B_CURRENT_WORKSPACE);
	virtual ~BWindow();

	// The first Show makes the window visible and starts its thread.
	virtual void Show();
	virtual void Hide();
	bool IsHidden() const;

	virtual void Quit();
	virtual bool QuitRequested();
	virtual void DispatchMessage(BMessage* message);

	void AddChild(BView* child, BView* before = NULL);
	bool RemoveChild(BView* child);
	int32 CountChildren() const;
	BView* ChildAt(int32 index) const;

	BRect Bounds() const;
	BRect Frame() const { return fFrame; }
	const char* Title() const { return fTitle.c_str(); }
	window_type Type() const { return fType; }
	uint32 Flags() const { return fFlags; }

	// The first menu bar among the window's views: the one the command-key
	// shortcuts go to.
	BMenuBar* KeyMenuBar() const;

	// Kit internals, for the application.
	bool _HasLoopEnded() const { return fLoopEnded.load(); }

protected:
	virtual void _LoopEnded();

private:
	friend class BApplication;
	friend class BView;
	// Asks the window's thread to draw the views.
	void _InvalidateViews();
	// Draws the views into the display list and has the backend present it.
	void _DrawViews();
	void _AddDrawn(DrawnString drawn) { fDisplayList.push_back(std::move(drawn)); }

	DisplayList fDisplayList;  // the views' drawing, on the window's thread

	BRect fFrame;
	std::string fTitle;
	window_type fType;
	uint32 fFlags;
	BView* fTopView;
	std::atomic<int32> fShowLevel;
	std::atomic<bool> fLoopEnded;
};

// The kit's message asking a window to draw its views.
const uint32 kDrawViews = '_UPD';
