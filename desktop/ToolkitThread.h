// The toolkit's own thread: GTK runs on it alone, on the default main
// context, and the kit's threads hand it work through a queue of tasks.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

class ToolkitThread {
public:
	// atStart runs on the toolkit's thread once the display is open;
	// atEnd once the loop has ended and the last tasks have run.
	ToolkitThread(std::function<void()> atStart, std::function<void()> atEnd);

	// Starts the thread and waits until the toolkit takes tasks; false when
	// no display could be opened.
	bool Start();
	// Ends the loop and, unless called on the toolkit's thread, waits for it.
	void Stop();

	bool OnToolkit() const { return std::this_thread::get_id() == fToolkitThread; }
	// Hands a task to the toolkit's thread; false, without queueing it, when
	// the toolkit is not running.
	bool Post(std::function<void()> task);
	// Runs a task on the toolkit's thread and waits until it has run.
	bool Call(const std::function<void()>& task);

private:
	void _Loop();
	static int _RunTasks(void* data);

	std::function<void()> fAtStart;
	std::function<void()> fAtEnd;
	std::thread fThread;
	std::thread::id fToolkitThread;
	std::atomic<bool> fStopping;

	std::mutex fTaskLock;
	std::condition_variable fStarted;
	std::deque<std::function<void()>> fTasks;
	bool fStartDone;
	bool fRunning;
	// An idle source is on its way to run the queue.
	bool fScheduled;
};
