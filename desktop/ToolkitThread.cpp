#include "ToolkitThread.h"

#include <memory>

#include <FL/Fl.H>
#include <FL/x.H>

ToolkitThread::ToolkitThread(std::function<void()> atStart, std::function<void()> atEnd)
	:
	fAtStart(std::move(atStart)),
	fAtEnd(std::move(atEnd)),
	fStopping(false),
	fRunning(false)
{
}

void
ToolkitThread::Start()
{
	std::unique_lock<std::mutex> lock(fTaskLock);
	if (fRunning || fThread.joinable())
		return;
	fStopping = false;
	fThread = std::thread([this] { _Loop(); });
	fStarted.wait(lock, [this] { return fRunning; });
}

void
ToolkitThread::_Loop()
{
	Fl::lock();
	fToolkitThread = std::this_thread::get_id();
	fl_open_display();
	Fl::scheme("gtk+");
	fAtStart();
	{
		std::lock_guard<std::mutex> lock(fTaskLock);
		fRunning = true;
	}
	fStarted.notify_all();

	while (!fStopping.load())
		Fl::wait(0.5);

	// Whatever was handed over before the end still runs, then nothing more
	// is taken.
	_RunTasks(this);
	{
		std::lock_guard<std::mutex> lock(fTaskLock);
		fRunning = false;
	}
	_RunTasks(this);

	fAtEnd();
	while (Fl::first_window() != NULL)
		Fl::first_window()->hide();
	Fl::flush();
	Fl::unlock();
}

void
ToolkitThread::Stop()
{
	if (!fThread.joinable())
		return;
	fStopping = true;
	Fl::awake(static_cast<void*>(NULL));
	if (OnToolkit())
		return;
	fThread.join();
}

bool
ToolkitThread::Post(std::function<void()> task)
{
	{
		std::lock_guard<std::mutex> lock(fTaskLock);
		if (!fRunning)
			return false;
		fTasks.push_back(std::move(task));
	}
	// A full wake-up ring loses nothing: the tasks wait in our own queue and
	// any earlier wake-up runs them all.
	Fl::awake(&ToolkitThread::_RunTasks, this);
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

void
ToolkitThread::_RunTasks(void* data)
{
	ToolkitThread* self = static_cast<ToolkitThread*>(data);
	for (;;) {
		std::function<void()> task;
		{
			std::lock_guard<std::mutex> lock(self->fTaskLock);
			if (self->fTasks.empty())
				return;
			task = std::move(self->fTasks.front());
			self->fTasks.pop_front();
		}
		task();
	}
}
