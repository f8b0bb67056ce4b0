#include "KitPrivate.h"

#include <Application.h>
#include <FilePanel.h>
#include <Window.h>

#include "Activity.h"

status_t
KitPrivate::PostRefs(BApplication* application, const std::vector<std::string>& paths)
{
	return application->_PostRefs(paths);
}

status_t
KitPrivate::ConfirmPanel(BFilePanel* panel, const std::vector<std::string>& paths)
{
	return panel->_Confirm(paths);
}

status_t
KitPrivate::CancelPanel(BFilePanel* panel)
{
	return panel->_Cancel();
}

void
KitPrivate::SetWaitingForUser(BLooper* looper, bool waiting)
{
	looper->_SetWaitingForUser(waiting);
}

BLooper*
KitPrivate::CurrentLooper()
{
	return BLooper::_CurrentLooper();
}

bool
KitPrivate::IsQuitting(const BLooper* looper)
{
	return looper->_IsTerminating();
}

void
KitPrivate::WorkBegins()
{
	activity_begin();
}

void
KitPrivate::WorkEnds()
{
	activity_end();
}

bool
KitPrivate::WaitIdleFor(int milliseconds)
{
	return activity_wait_idle_for(milliseconds);
}

bool
KitPrivate::WaitRestFor(int milliseconds)
{
	return activity_wait_rest_for(milliseconds);
}

status_t
KitPrivate::Redraw(BWindow* window, const void* asker)
{
	BMessage request(kDrawViews);
	request.AddPointer("asker", asker);
	return window->PostMessage(&request);
}

const void*
KitPrivate::DrawAsker(const BWindow* window)
{
	void* asker = NULL;
	BMessage* current = window->CurrentMessage();
	if (current == NULL || current->what != kDrawViews
		|| current->FindPointer("asker", &asker) != B_OK)
		return NULL;
	return asker;
}

std::recursive_mutex&
KitPrivate::MenuTreeLock()
{
	static std::recursive_mutex lock;
	return lock;
}
