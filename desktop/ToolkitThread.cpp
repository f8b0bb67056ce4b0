#include "ToolkitThread.h"

#include <memory>

#include <gtk/gtk.h>

ToolkitThread::ToolkitThread(std::function<void()> atStart, std::function<void()> atEnd)
	:
	fAtStart(std::move(atStart)),
	fAtEnd(std::move(atEnd)),
	fStopping(false),
	fStartDone(false),
	fRunning(false),
	fScheduled(false)
{
}

bool
ToolkitThread::Start()
{
	std::unique_lock<std::mutex> lock(fTaskLock);
	if (fRunning || fThread.joinable())
		return fRunning;
	fStopping = false;
	fStartDone = false;
	fThread = std::thread([this] { _Loop(); });
	fStarted.wait(lock, [this] { return fStartDone; });
	return fRunning;
}

void
ToolkitThread::_Loop()
{
	fToolkitThread = std::this_thread::get_id();
	GMainContext* context = g_main_context_default();
	g_main_context_acquire(context);
	bool opened = gtk_init_check();
	if (opened)
		fAtStart();
	{
		std::lock_guard<std::mutex> lock(fTaskLock);
		fRunning = opened;
		fStartDone = true;
	}
	fStarted.notify_all();
	if (!opened) {
		g_main_context_release(context);
		return;
	}

	while (!fStopping.load())
		g_main_context_iteration(context, TRUE);

	// Whatever was handed over before the end still runs, then nothing more
	// is taken.
	_RunTasks(this);
	{
		std::lock_guard<std::mutex> lock(fTaskLock);
		fRunning = false;
	}
	_RunTasks(this);

	fAtEnd();
	// The windows' last requests reach the display before the thread ends.
	for (int round = 0; round < 100 && g_main_context_iteration(context, FALSE); round++) {
	}
	if (GdkDisplay* display = gdk_display_get_default())
		gdk_display_flush(display);
	g_main_context_release(context);
}

void
ToolkitThread::Stop()
{
	if (!fThread.joinable())
		return;
	fStopping = true;
	g_main_context_wakeup(g_main_context_default());
	if (OnToolkit())
		return;
	fThread.join();
}

bool
ToolkitThread::Post(std::function<void()> task)
{
	bool schedule;
	{
		std::lock_guard<std::mutex> lock(fTaskLock);
		if (!fRunning)
			return false;
		fTasks.push_back(std::move(task));
		schedule = !fScheduled;
		fScheduled = true;
	}
	// One idle source runs every task queued until it comes.
	if (schedule)
		g_idle_add_full(G_PRIORITY_DEFAULT, &ToolkitThread::_RunTasks, this, NULL);
	return true;
}

bool
ToolkitThread::Call(const std::function<void()>& task)
{
	if (OnToolkit()) {
		task();
		return true;
	}
	struct Done {
		std::mutex lock;
		std::condition_variable signal;
		bool done = false;
	};
	auto done = std::make_shared<Done>();
	bool posted = Post([task, done] {
		task();
		std::lock_guard<std::mutex> lock(done->lock);
		done->done = true;
		done->signal.notify_all();
	});
	if (!posted)
		return false;
	std::unique_lock<std::mutex> lock(done->lock);
	done->signal.wait(lock, [&done] { return done->done; });
	return true;
}

int
ToolkitThread::_RunTasks(void* data)
{
	ToolkitThread* self = static_cast<ToolkitThread*>(data);
	for (;;) {
		std::function<void()> task;
		{
			std::lock_guard<std::mutex> lock(self->fTaskLock);
			if (self->fTasks.empty()) {
				self->fScheduled = false;
				return G_SOURCE_REMOVE;
			}
			task = std::move(self->fTasks.front());
			self->fTasks.pop_front();
		}
		task();
	}
}
