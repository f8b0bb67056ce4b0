#include "Activity.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

// Never destroyed: a scripted user's thread may still wait here while the
// process ends.
static std::mutex& sActivityLock = *new std::mutex;
static std::condition_variable& sIdle = *new std::condition_variable;
static long sActivity = 0;
static long sStoppable = 0;

void
activity_begin()
{
	std::lock_guard<std::mutex> lock(sActivityLock);
	sActivity++;
}

void
activity_end()
{
	std::lock_guard<std::mutex> lock(sActivityLock);
	if (--sActivity <= sStoppable)
		sIdle.notify_all();
}

void
activity_stoppable_begin()
{
	std::lock_guard<std::mutex> lock(sActivityLock);
	sStoppable++;
	sIdle.notify_all();
}

void
activity_stoppable_end()
{
	std::lock_guard<std::mutex> lock(sActivityLock);
	sStoppable--;
}

bool
activity_wait_rest_for(int milliseconds)
{
	std::unique_lock<std::mutex> lock(sActivityLock);
	return sIdle.wait_for(lock, std::chrono::milliseconds(milliseconds),
		[] { return sActivity <= sStoppable; });
}

bool
activity_wait_idle_for(int milliseconds)
{
	std::unique_lock<std::mutex> lock(sActivityLock);
	return sIdle.wait_for(lock, std::chrono::milliseconds(milliseconds),
		[] { return sActivity <= 0; });
}
