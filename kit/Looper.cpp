#include <Looper.h>

#include <AppDefs.h>

#include "Activity.h"

// The looper whose loop runs on this thread.
static thread_local BLooper* sCurrentLooper = NULL;

BLooper::BLooper(const char* name)
	:
	fName(name != NULL ? name : ""),
	fLockOwner(std::thread::id()),
	fLockCount(0),
	fTerminating(false),
	fWaitingForUser(false),
	fLockWaiters(0),
	fLoopEnded(false),
	fThreadId(std::thread::id()),
	fCurrentMessage(NULL)
{
}

BLooper::~BLooper()
{
	_DiscardMessages();
}

status_t
BLooper::PostMessage(uint32 command)
{
	BMessage message(command);
	return PostMessage(&message);
}

status_t
BLooper::PostMessage(BMessage* message)
{
	if (message == NULL)
		return B_BAD_VALUE;
	BMessage* copy = new BMessage(*message);
	{
		std::lock_guard<std::mutex> lock(fQueueLock);
		// No one would ever handle it, and the user would wait for it.
		if (fLoopEnded || fTerminating.load()) {
			delete copy;
			return B_BAD_PORT_ID;
		}
		activity_begin();
		fQueue.push_back(copy);
		// It waits, with the others, until the user has answered.
		if (fWaitingForUser)
			activity_end();
		// Under the lock: once it is released, the message may already be
		// handled and the looper gone (a window that quits), so nothing of the
		// looper is touched after it.
		fQueueChanged.notify_one();
	}
	return B_OK;
}

bool
BLooper::Lock()
{
	if (!fLock.try_lock()) {
		// A looper's thread that waits for the lock of a looper waiting for
		// its user waits for the user as well: the application asking a
		// window with an alert up to quit is at rest until the alert is
		// answered. Other threads are not counted as work to begin with.
		bool counted = sCurrentLooper != NULL;
		if (counted) {
			std::lock_guard<std::mutex> lock(fQueueLock);
			fLockWaiters++;
			if (fWaitingForUser)
				activity_end();
		}
		fLock.lock();
		if (counted) {
			std::lock_guard<std::mutex> lock(fQueueLock);
			fLockWaiters--;
			if (fWaitingForUser)
				activity_begin();
		}
	}
	fLockOwner = std::this_thread::get_id();
	fLockCount++;
	return true;
}

void
BLooper::Unlock()
{
	if (--fLockCount == 0)
		fLockOwner = std::thread::id();
	fLock.unlock();
}

bool
BLooper::IsLocked() const
{
	return fLockOwner.load() == std::this_thread::get_id();
}

bool
BLooper::IsLooperThread() const
{
	return fThreadId.load() == std::this_thread::get_id();
}

BLooper*
BLooper::_CurrentLooper()
{
	return sCurrentLooper;
}

void
BLooper::_SetWaitingForUser(bool waiting)
{
	std::lock_guard<std::mutex> lock(fQueueLock);
	if (fWaitingForUser == waiting)
		return;
	fWaitingForUser = waiting;
	for (size_t i = 0; i < fQueue.size() + static_cast<size_t>(fLockWaiters); i++) {
		if (waiting)
			activity_end();
		else
			activity_begin();
	}
}

thread_id
BLooper::Run()
{
	if (fThread.joinable())
		return B_ERROR;
	fThread = std::thread([this] {
		_Loop();
		_LoopEnded();
	});
	return 1;
}

void
BLooper::Quit()
{
	_Terminate();
}

bool
BLooper::QuitRequested()
{
	return true;
}

void
BLooper::DispatchMessage(BMessage* message)
{
	if (message->what == B_QUIT_REQUESTED) {
		if (QuitRequested())
			Quit();
		return;
	}
	MessageReceived(message);
}

void
BLooper::_Terminate()
{
	std::lock_guard<std::mutex> lock(fQueueLock);
	fTerminating = true;
	fQueueChanged.notify_all();
}

BMessage*
BLooper::_NextMessage()
{
	std::unique_lock<std::mutex> lock(fQueueLock);
	fQueueChanged.wait(lock, [this] { return fTerminating.load() || !fQueue.empty(); });
	if (fTerminating.load())
		return NULL;
	BMessage* message = fQueue.front();
	fQueue.pop_front();
	// Handling it is work again, whatever the looper waited for.
	if (fWaitingForUser)
		activity_begin();
	return message;
}

void
BLooper::_Loop()
{
	fThreadId = std::this_thread::get_id();
	BLooper* outer = sCurrentLooper;
	sCurrentLooper = this;
	while (BMessage* message = _NextMessage()) {
		Lock();
		// Told to quit while it waited for the lock: the message goes with
		// the rest of the queue.
		if (!fTerminating.load()) {
			fCurrentMessage = message;
			DispatchMessage(message);
			fCurrentMessage = NULL;
		}
		Unlock();
		delete message;
		activity_end();
	}
	sCurrentLooper = outer;
	{
		std::lock_guard<std::mutex> lock(fQueueLock);
		fLoopEnded = true;
	}
	_DiscardMessages();
}

void
BLooper::_JoinThread()
{
	if (fThread.joinable() && !IsLooperThread())
		fThread.join();
	else if (fThread.joinable())
		fThread.detach();
}

void
BLooper::_DiscardMessages()
{
	std::deque<BMessage*> left;
	bool counted;
	{
		std::lock_guard<std::mutex> lock(fQueueLock);
		left.swap(fQueue);
		counted = !fWaitingForUser;
	}
	for (BMessage* message : left) {
		delete message;
		if (counted)
			activity_end();
	}
}
