#include <Application.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include <Window.h>

#include "Activity.h"
#include "PlatformBackend.h"

BApplication* be_app = NULL;

// The toolkit's own launch form: files named after "--refs" on the command
// line reach the application as one refs message, as when a desktop opens
// files with it.
static std::vector<std::string>
LaunchRefs(int argc, char** argv)
{
	std::vector<std::string> refs;
	bool after = false;
	for (int index = 1; index < argc && argv != NULL && argv[index] != NULL; index++) {
		if (after && argv[index][0] == '\0')
			fprintf(stderr, "quillon: an empty file name after --refs names no file; skipped\n");
		else if (after)
			refs.push_back(argv[index]);
		else
			after = strcmp(argv[index], "--refs") == 0;
	}
	return refs;
}

BApplication::BApplication(const char* signature, int argc, char** argv)
	:
	BLooper(signature),
	fSignature(signature != NULL ? signature : ""),
	fLaunchRefs(LaunchRefs(argc, argv)),
	fRunning(false),
	fStartupPending(true)
{
	// Until Run's loop waits for its first message, the program is starting.
	activity_begin();
	be_app = this;
	platform_backend()->ApplicationStarted(this);
}

BApplication::~BApplication()
{
	_QuitAllWindows(true);
	if (fStartupPending) {
		fStartupPending = false;
		activity_end();
	}
	platform_backend()->ApplicationEnded(this, true);
	if (be_app == this)
		be_app = NULL;
}

void
BApplication::_PostLaunchRefs()
{
	if (!fLaunchRefs.empty())
		_PostRefs(fLaunchRefs);
}

status_t
BApplication::_PostRefs(const std::vector<std::string>& paths)
{
	BMessage refs(B_REFS_RECEIVED);
	for (const std::string& path : paths) {
		entry_ref ref(path.c_str());
		refs.AddRef("refs", &ref);
	}
	return PostMessage(&refs);
}

thread_id
BApplication::Run()
{
	{
		std::lock_guard<std::mutex> lock(fWindowLock);
		fRunning = true;
	}
	_PostLaunchRefs();
	PostMessage(B_READY_TO_RUN);
	if (fStartupPending) {
		fStartupPending = false;
		activity_end();
	}

	_Loop();

	_QuitAllWindows(true);
	{
		std::lock_guard<std::mutex> lock(fWindowLock);
		fRunning = false;
	}
	platform_backend()->ApplicationEnded(this, false);
	return 0;
}

void
BApplication::Quit()
{
	_Terminate();
}

bool
BApplication::QuitRequested()
{
	return _QuitAllWindows(false);
}

void
BApplication::ReadyToRun()
{
}

void
BApplication::ArgvReceived(int32, char**)
{
}

void
BApplication::RefsReceived(BMessage*)
{
}

void
BApplication::AboutRequested()
{
}

void
BApplication::DispatchMessage(BMessage* message)
{
	switch (message->what) {
		case B_REFS_RECEIVED:
			RefsReceived(message);
			break;
		case B_READY_TO_RUN:
			ReadyToRun();
			break;
		case B_ABOUT_REQUESTED:
			AboutRequested();
			break;
		case kWindowGone:
		{
			void* window = NULL;
			if (message->FindPointer("window", &window) == B_OK)
				_ReapWindow(static_cast<BWindow*>(window));
			break;
		}
		default:
			BLooper::DispatchMessage(message);
			break;
	}
}

void
BApplication::MessageReceived(BMessage* message)
{
	BLooper::MessageReceived(message);
}

int32
BApplication::CountWindows() const
{
	std::lock_guard<std::mutex> lock(fWindowLock);
	return static_cast<int32>(fWindows.size());
}

BWindow*
BApplication::WindowAt(int32 index) const
{
	std::lock_guard<std::mutex> lock(fWindowLock);
	if (index < 0 || static_cast<size_t>(index) >= fWindows.size())
		return NULL;
	return fWindows[static_cast<size_t>(index)];
}

void
BApplication::_AddWindow(BWindow* window)
{
	std::lock_guard<std::mutex> lock(fWindowLock);
	fWindows.push_back(window);
}

void
BApplication::_RemoveWindow(BWindow* window)
{
	std::lock_guard<std::mutex> lock(fWindowLock);
	fWindows.erase(std::remove(fWindows.begin(), fWindows.end(), window), fWindows.end());
}

// Windows are deleted here only, on the application's thread, so the pointers
// in the list stay valid while the application walks it.
void
BApplication::_ReapWindow(BWindow* window)
{
	// The window leaves the list before its thread is joined: of a Quit from
	// another thread and the window-gone message racing to reap it, only
	// the first joins and deletes it.
	{
		std::lock_guard<std::mutex> lock(fWindowLock);
		auto found = std::find(fWindows.begin(), fWindows.end(), window);
		if (found == fWindows.end())
			return;
		fWindows.erase(found);
	}
	window->_JoinThread();
	delete window;
}

bool
BApplication::_QuitAllWindows(bool force)
{
	std::vector<BWindow*> windows;
	{
		std::lock_guard<std::mutex> lock(fWindowLock);
		windows = fWindows;
	}
	for (BWindow* window : windows) {
		if (!window->_HasLoopEnded()) {
			window->Lock();
			if (!window->_HasLoopEnded() && !force && !window->QuitRequested()) {
				window->Unlock();
				return false;
			}
			window->_Terminate();
			window->Unlock();
		}
		_ReapWindow(window);
	}
	return true;
}
