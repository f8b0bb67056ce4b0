// Loopers, their messages and handler chains, quitting from another thread,
// and the count of work in progress that a scripted user waits on: it must
// reach zero whenever the program is at rest, and only then.
#include <gtest/gtest.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include <AppDefs.h>
#include <KitPrivate.h>
#include <Looper.h>

namespace {

const int kLongWait = 5000;  // ms: only a fault waits this long

// A door that a handler waits at until the test opens it.
class Gate {
public:
	void Open()
	{
		std::lock_guard<std::mutex> lock(fLock);
		fOpen = true;
		fChanged.notify_all();
	}
	void Pass()
	{
		std::unique_lock<std::mutex> lock(fLock);
		fReached = true;
		fChanged.notify_all();
		fChanged.wait(lock, [this] { return fOpen; });
	}
	void WaitReached()
	{
		std::unique_lock<std::mutex> lock(fLock);
		fChanged.wait(lock, [this] { return fReached; });
	}

private:
	std::mutex fLock;
	std::condition_variable fChanged;
	bool fOpen = false;
	bool fReached = false;
};

struct Handled {
	uint32 what;
	int32 number;
	bool locked;
	bool onOwnThread;
};

// Records each message it handles; a message with a "gate" waits there, one
// with an action runs it; codes it does not know go on down the chain.
class TestLooper : public BLooper {
public:
	TestLooper() : BLooper("test") { Run(); }
	~TestLooper() override { Stop(); }

	void Stop()
	{
		Quit();
		_JoinThread();
	}

	void MessageReceived(BMessage* message) override
	{
		int32 number = -1;
		message->FindInt32("n", &number);
		{
			std::lock_guard<std::mutex> lock(fLock);
			fHandled.push_back({ message->what, number, IsLocked(), IsLooperThread() });
		}
		void* pointer = NULL;
		if (message->FindPointer("gate", &pointer) == B_OK)
			static_cast<Gate*>(pointer)->Pass();
		if (message->FindPointer("action", &pointer) == B_OK)
			(*static_cast<std::function<void()>*>(pointer))();
		if (message->what == 'pass')
			BLooper::MessageReceived(message);
	}

	std::vector<Handled> HandledSoFar()
	{
		std::lock_guard<std::mutex> lock(fLock);
		return fHandled;
	}

private:
	std::mutex fLock;
	std::vector<Handled> fHandled;
};

class CountingHandler : public BHandler {
public:
	void MessageReceived(BMessage* message) override
	{
		seen.push_back(message->what);
		BHandler::MessageReceived(message);
	}
	std::vector<uint32> seen;
};

void
PostWith(BLooper* looper, uint32 what, const char* name, const void* pointer)
{
	BMessage message(what);
	message.AddPointer(name, pointer);
	EXPECT_EQ(looper->PostMessage(&message), B_OK);
}

// The count is back at exactly zero: not above (idle is reached), and not
// below, or one message held in its handler would leave the program at rest.
void
ExpectCountBalanced()
{
	ASSERT_TRUE(KitPrivate::WaitIdleFor(kLongWait));
	TestLooper looper;
	Gate gate;
	PostWith(&looper, 'hold', "gate", &gate);
	gate.WaitReached();
	EXPECT_FALSE(KitPrivate::WaitIdleFor(20)) << "a handler at work counted as rest";
	gate.Open();
	EXPECT_TRUE(KitPrivate::WaitIdleFor(kLongWait));
}

TEST(Looper, HandlesCopiesInOrderOnItsThreadLocked)
{
	TestLooper looper;
	Gate gate;
	PostWith(&looper, 'hold', "gate", &gate);
	BMessage message('numb');
	for (int32 i = 0; i < 40; i++) {
		message.AddInt32("n", i);
		ASSERT_EQ(looper.PostMessage(&message), B_OK);
		// The queue holds a copy: the message is made anew at once.
		message = BMessage('numb');
	}
	EXPECT_FALSE(looper.IsLooperThread());
	EXPECT_FALSE(KitPrivate::WaitIdleFor(20));
	gate.Open();
	ASSERT_TRUE(KitPrivate::WaitIdleFor(kLongWait));

	std::vector<Handled> handled = looper.HandledSoFar();
	ASSERT_EQ(handled.size(), 41u);
	for (int32 i = 0; i < 40; i++) {
		const Handled& one = handled[static_cast<size_t>(i) + 1];
		EXPECT_EQ(one.number, i);
		EXPECT_TRUE(one.locked);
		EXPECT_TRUE(one.onOwnThread);
	}
	looper.Stop();
	ExpectCountBalanced();
}

TEST(Looper, WhatItDoesNotHandleGoesDownTheChain)
{
	TestLooper looper;
	CountingHandler first, last;
	looper.Lock();
	looper.SetNextHandler(&first);
	first.SetNextHandler(&last);
	looper.Unlock();
	looper.PostMessage('pass');
	looper.PostMessage('mine');
	looper.PostMessage('pass');
	ASSERT_TRUE(KitPrivate::WaitIdleFor(kLongWait));
	looper.Stop();
	EXPECT_EQ(first.seen, std::vector<uint32>({ 'pass', 'pass' }));
	EXPECT_EQ(last.seen, first.seen);
}

TEST(Looper, QuitFromAnotherThreadEndsAfterTheMessageAtHand)
{
	for (bool byRequest : { true, false }) {
		SCOPED_TRACE(byRequest ? "B_QUIT_REQUESTED" : "Quit()");
		TestLooper looper;
		Gate gate;
		PostWith(&looper, 'hold', "gate", &gate);
		gate.WaitReached();
		if (byRequest) {
			looper.PostMessage(B_QUIT_REQUESTED);
			looper.PostMessage('late');
		} else {
			looper.PostMessage('late');
			std::thread([&looper] { looper.Quit(); }).join();
			EXPECT_EQ(looper.PostMessage('aftr'), B_BAD_PORT_ID);
		}
		gate.Open();
		looper.Stop();
		EXPECT_EQ(looper.PostMessage('aftr'), B_BAD_PORT_ID);
		std::vector<Handled> handled = looper.HandledSoFar();
		ASSERT_EQ(handled.size(), 1u);
		EXPECT_EQ(handled[0].what, static_cast<uint32>('hold'));
		// The messages left in the queue are no longer work in progress.
		ExpectCountBalanced();
	}
}

// A looper that shows an alert waits for its user: what is posted to it, and
// another looper's thread waiting for its lock, wait with it and are not work
// in progress until the user answers; then they are again.
TEST(Looper, CountRestsWhileALooperWaitsForItsUser)
{
	TestLooper shower, asker;
	Gate user;
	std::function<void()> showAlert = [&] {
		KitPrivate::SetWaitingForUser(&shower, true);
		KitPrivate::WorkEnds();
		user.Pass();
		KitPrivate::SetWaitingForUser(&shower, false);
	};
	bool lockTaken = false;
	std::function<void()> takeLock = [&] {
		shower.Lock();
		lockTaken = true;
		shower.Unlock();
	};
	Gate askerHeld;
	PostWith(&shower, 'alrt', "action", &showAlert);
	user.WaitReached();
	EXPECT_TRUE(KitPrivate::WaitIdleFor(kLongWait)) << "an alert up is rest";

	PostWith(&asker, 'lock', "action", &takeLock);
	for (int i = 0; i < 3; i++)
		shower.PostMessage('wait');
	EXPECT_TRUE(KitPrivate::WaitIdleFor(kLongWait)) << "what waits for the user is rest";
	EXPECT_FALSE(lockTaken);

	// The answer counts the shower's thread as at work again.
	KitPrivate::WorkBegins();
	user.Open();
	ASSERT_TRUE(KitPrivate::WaitIdleFor(kLongWait));
	EXPECT_TRUE(lockTaken);
	EXPECT_EQ(shower.HandledSoFar().size(), 4u);

	// The queue and the lock waiter counted again, not twice.
	PostWith(&shower, 'hold', "gate", &askerHeld);
	askerHeld.WaitReached();
	EXPECT_FALSE(KitPrivate::WaitIdleFor(20));
	askerHeld.Open();
	shower.Stop();
	asker.Stop();
	ExpectCountBalanced();
}

}  // namespace
