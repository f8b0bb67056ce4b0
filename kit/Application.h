// The application: its looper runs on the thread that calls Run.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include <AppDefs.h>
#include <Looper.h>

class BWindow;

class BApplication : public BLooper {
public:
	// The program's arguments, as main has them, for the files it was
	// launched with.
	BApplication(const char* signature, int argc = 0, char** argv = NULL);
	virtual ~BApplication();

	// Runs the message loop on the calling thread; returns once the
	// application has quit.
	virtual thread_id Run();
	virtual void Quit();
	virtual bool QuitRequested();

	virtual void ReadyToRun();
	// Never sent: files come as references. It stays one of the hooks an
	// application may override, as the program leaves it the platform's.
	virtual void ArgvReceived(int32 argc, char** argv);
	virtual void RefsReceived(BMessage* message);
	virtual void AboutRequested();

	virtual void DispatchMessage(BMessage* message);
	virtual void MessageReceived(BMessage* message);

	int32 CountWindows() const;
	BWindow* WindowAt(int32 index) const;
	const char* Signature() const { return fSignature.c_str(); }

private:
	friend class BWindow;
	friend class KitPrivate;
	// Posts the files to the application as one refs message, as a drop on
	// it or a launch with them does.
	status_t _PostRefs(const std::vector<std::string>& paths);
	void _AddWindow(BWindow* window);
	void _RemoveWindow(BWindow* window);
	bool _QuitAllWindows(bool force);
	void _ReapWindow(BWindow* window);
	void _PostLaunchRefs();

	std::string fSignature;
	std::vector<std::string> fLaunchRefs;
	mutable std::mutex fWindowLock;
	std::vector<BWindow*> fWindows;
	bool fRunning;
	bool fStartupPending;
};

extern BApplication* be_app;

// The kit's own message telling the application that a window's loop ended.
const uint32 kWindowGone = '_WGN';
