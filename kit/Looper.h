// A looper: a message queue and the thread that handles its messages one at a
// time, with the looper locked while it handles one.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include <Handler.h>
#include <Message.h>
#include <SupportDefs.h>

class BLooper : public BHandler {
public:
	BLooper(const char* name = NULL);
	virtual ~BLooper();

	// Queues a copy of the message, or a message with only this code; returns
	// at once. Safe from any thread. Once the looper is told to quit nothing
	// is queued: B_BAD_PORT_ID.
	status_t PostMessage(uint32 command);
	status_t PostMessage(BMessage* message);

	bool Lock();
	void Unlock();
	bool IsLocked() const;

	// Starts the looper's own thread.
	virtual thread_id Run();
	// Ends the looper. From its own thread: once the message at hand is handled.
	virtual void Quit();
	virtual bool QuitRequested();

	// Hands the message to MessageReceived, which passes what it does not
	// handle on to the next handler.
	virtual void DispatchMessage(BMessage* message);

	BMessage* CurrentMessage() const { return fCurrentMessage; }
	const char* Name() const { return fName.c_str(); }
	bool IsLooperThread() const;

protected:
	friend class KitPrivate;
	// The looper whose loop runs on the calling thread, or NULL.
	static BLooper* _CurrentLooper();
	// While the looper's thread waits for its user (an alert it shows), the
	// messages queued for it cannot be handled: they are not work in progress
	// until it goes on. Called on the looper's own thread.
	void _SetWaitingForUser(bool waiting);
	// Told to quit: it handles no more messages.
	bool _IsTerminating() const { return fTerminating.load(); }

	// Handles messages until the looper quits; runs on the looper's thread.
	void _Loop();
	// Asks the loop to end after the message at hand, from any thread.
	void _Terminate();
	// Called on the looper's thread when its loop has ended.
	virtual void _LoopEnded() {}
	void _JoinThread();

private:
	BMessage* _NextMessage();
	void _DiscardMessages();

	std::string fName;
	mutable std::recursive_mutex fLock;
	std::atomic<std::thread::id> fLockOwner;
	int32 fLockCount;

	std::mutex fQueueLock;
	std::condition_variable fQueueChanged;
	std::deque<BMessage*> fQueue;
	std::atomic<bool> fTerminating;
	bool fWaitingForUser;  // guarded by fQueueLock
	int32 fLockWaiters;    // guarded by fQueueLock; loopers' threads only
	bool fLoopEnded;       // guarded by fQueueLock

	std::thread fThread;
	std::atomic<std::thread::id> fThreadId;
	BMessage* fCurrentMessage;
};
