// The watch on the newest output stream, for the status bar on another
// thread: how long a write has waited for the printer and why, and how many
// bytes have left the program.
#include "PortWatch.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "PortDiagnosis.h"
#include "PortStreamParts.h"

using namespace port_stream;

namespace {

// Asks the printer's status on a thread of its own. The parallel port driver
// answers LPGETSTATUS only between writes, so while a write waits for paper
// the request waits too; a USB printer may take seconds to answer. The one
// who wants to know waits a moment at most and takes the last answer the
// stream gave. The asker owns the descriptor it asks on from the moment it
// is handed over, so no number it asks can have been reused meanwhile.
class StatusAsker {
public:
	// The printer's last word on this stream; asks again with the descriptor
	// (which it closes) unless a request is still under way.
	std::string Ask(uint64_t stream, int descriptor, PrinterStatusReader* reader)
	{
		std::unique_lock<std::mutex> lock(fLock);
		if (fDescriptor >= 0 || fAsking) {
			close(descriptor);
		} else {
			fDescriptor = descriptor;
			fStream = stream;
			fReader = reader;
			if (!fStarted) {
				std::thread(&StatusAsker::_Run, this).detach();
				fStarted = true;
			}
			fChanged.notify_all();
			fChanged.wait_for(lock, std::chrono::milliseconds(50),
				[this] { return fDescriptor < 0 && !fAsking; });
		}
		return fAnswerStream == stream ? fAnswer : std::string();
	}

private:
	void _Run()
	{
		std::unique_lock<std::mutex> lock(fLock);
		for (;;) {
			fChanged.wait(lock, [this] { return fDescriptor >= 0; });
			int descriptor = fDescriptor;
			uint64_t stream = fStream;
			PrinterStatusReader* reader = fReader;
			fDescriptor = -1;
			fAsking = true;
			lock.unlock();
			std::string answer = reader->Reason(descriptor);
			close(descriptor);
			lock.lock();
			fAsking = false;
			fAnswer = answer;
			fAnswerStream = stream;
			fChanged.notify_all();
		}
	}

	std::mutex fLock;
	std::condition_variable fChanged;
	bool fStarted = false;
	bool fAsking = false;
	int fDescriptor = -1;  // handed over, not yet taken
	uint64_t fStream = 0;
	PrinterStatusReader* fReader = NULL;
	std::string fAnswer;
	uint64_t fAnswerStream = 0;
};

// Never destroyed: its thread may still wait on a printer when the program
// ends.
StatusAsker& sStatusAsker = *new StatusAsker;

}  // namespace

PortWait
port_stream_wait()
{
	PortWait wait = { 0, "" };
	int asked = -1;
	uint64_t stream = 0;
	{
		std::lock_guard<std::mutex> lock(sStreamsLock);
		if (sWatched == NULL)
			return wait;
		int64_t since = sWatched->waitingSince.load(std::memory_order_acquire);
		if (since == 0)
			return wait;
		wait.seconds = std::max<int64_t>(Now() - since, 1) / 1e9;
		if (sWatched->socket)
			wait.reason = sWatched->peer;
		else if (sWatched->statusDescriptor >= 0)
			asked = fcntl(sWatched->statusDescriptor, F_DUPFD_CLOEXEC, 0);
		stream = sWatched->number;
	}
	// Asked on a descriptor of the asker's own, outside the lock: a printer
	// slow to answer never holds up the close of the stream, nor the caller.
	if (asked >= 0)
		wait.reason = sStatusAsker.Ask(stream, asked, &lp_status_reader());
	return wait;
}

PortCounts
port_stream_counts()
{
	PortCounts counts = { -1, -1 };
	std::lock_guard<std::mutex> lock(sStreamsLock);
	if (sWatched == NULL)
		return counts;
	const PortStream& stream = *sWatched;
	counts.handed = stream.handed.load(std::memory_order_relaxed);
	int64_t accepted = stream.accepted.load(std::memory_order_relaxed);
	// The descriptor stays open while the stream is watched: its close
	// takes this lock first.
	int queued = 0;
	if (stream.socket) {
		int64_t acknowledged = AcknowledgedBytes(stream);
		counts.delivered = acknowledged >= 0 ? std::min(acknowledged, accepted) : accepted;
		return counts;
	}
	if (stream.pollable && ioctl(stream.descriptor, isatty(stream.descriptor) ? TIOCOUTQ : FIONREAD,
			&queued) == 0)
		accepted -= std::min<int64_t>(queued, accepted);
	counts.delivered = accepted;
	return counts;
}

