// The one door through which a backend reaches inside the kit, as Haiku's
// BMessage::Private does: what a screen's user does that the kit's public
// classes do not offer. Only backends include it.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include <SupportDefs.h>

class BApplication;
class BFilePanel;
class BLooper;
class BWindow;

class KitPrivate {
public:
	// Files dropped on the application, or handed to it at launch: one refs
	// message.
	static status_t PostRefs(BApplication* application, const std::vector<std::string>& paths);

	// The user confirmed files in the panel, or cancelled it: the panel's
	// message goes to its target, with a "refs" entry per file.
	static status_t ConfirmPanel(BFilePanel* panel, const std::vector<std::string>& paths);
	static status_t CancelPanel(BFilePanel* panel);

	// While a looper's thread waits for its user (an alert it shows), the
	// messages queued for it are not work in progress until it goes on.
	// Called on that thread.
	static void SetWaitingForUser(BLooper* looper, bool waiting);
	// The looper whose loop runs on the calling thread, or NULL.
	static BLooper* CurrentLooper();
	// Told to quit: it handles no more messages.
	static bool IsQuitting(const BLooper* looper);

	// The work in progress the kit counts (Activity.h): a user that acts on
	// the program waits for it to reach zero before each action; a thread
	// that waits for its user is not at work meanwhile.
	static void WorkBegins();
	static void WorkEnds();
	// Waits at most the given milliseconds; true when the program is at rest.
	static bool WaitIdleFor(int milliseconds);
	// As WaitIdleFor, with work the user may stop taken for rest.
	static bool WaitRestFor(int milliseconds);

	// Asks the window to draw its views, as when it is uncovered, for the
	// asker; while that drawing is presented, DrawAsker says who asked
	// (NULL for the draws the kit makes of its own accord).
	static status_t Redraw(BWindow* window, const void* asker);
	static const void* DrawAsker(const BWindow* window);

	// Held by the kit while a menu gains or loses items (the window's thread
	// may change a menu while it runs): a backend holds it from finding an
	// item to invoking it, and while it copies a menu tree.
	static std::recursive_mutex& MenuTreeLock();
};
