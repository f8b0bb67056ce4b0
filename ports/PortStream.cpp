#include "PortStream.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <pthread.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <netinet/in.h>
#include <linux/tcp.h>

#include "PortDiagnosis.h"

namespace {

struct PortStream {
	int descriptor = -1;
	int wake = -1;            // eventfd, readable once the user quit
	bool pollable = false;    // written non-blocking, waited for with poll
	bool socket = false;
	bool plainFile = false;
	std::atomic<bool> abandoned{false};
	int firstError = 0;       // the first failed write, reported again by the close
	std::unique_ptr<char[]> buffer;
	std::unique_ptr<class WriteBehind> behind;  // a plain file's writes, past the first
	size_t writtenAtOnce = 0;
	bool peerClosed = false;  // a network printer has said all it will say
	// Bytes the port took: written to the file or device, or handed to the
	// system for the socket or pipe. Only the writing thread adds.
	std::atomic<int64_t> accepted{0};
	std::atomic<int64_t> handed{0};  // bytes stdio handed to the stream

	// For port_stream_wait. Only the writing thread stores waitingSince;
	// the rest is set before the stream is watched and left alone after.
	std::atomic<int64_t> waitingSince{0};  // monotonic ns; 0 while bytes go through
	bool marksWaits = false;  // not a plain file: a write may wait for a printer
	int statusDescriptor = -1;  // a dup the printer's status is read on; closed
	                            // with the stream, under sStreamsLock
	std::string peer;
	uint64_t number = 0;        // which stream, for the status asked of it
};

// Which stream each FILE is, for Quit. The entries go before their
// descriptors close, so Quit never signals a descriptor that is gone.
std::mutex sStreamsLock;
std::vector<std::pair<FILE*, PortStream*>> sStreams;

std::atomic<int> sWaitingCalls{0};

// The stream port_stream_wait looks at, the newest one opened; under
// sStreamsLock, which its close takes before the stream goes.
PortStream* sWatched = NULL;
uint64_t sStreamsOpened = 0;
std::atomic<PrinterStatusReader*> sStatusReader{NULL};

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

int64_t
Now()
{
	struct timespec now;
	clock_gettime(CLOCK_MONOTONIC, &now);
	return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// A write that may wait for the printer marks when it began to, once, and
// clears the mark when bytes go through: one clock read and two stores per
// write(2) to a device, none to a plain file or while a pollable port takes
// bytes without waiting.
void
MarkWaiting(PortStream& stream, bool* marked)
{
	if (*marked || !stream.marksWaits)
		return;
	stream.waitingSince.store(Now(), std::memory_order_release);
	*marked = true;
}

void
ClearWaiting(PortStream& stream, bool* marked)
{
	if (!*marked)
		return;
	stream.waitingSince.store(0, std::memory_order_release);
	*marked = false;
}

// What a network printer sends back (a banner, PJL status) is read and let
// go: input left unread when the socket closes makes the system reset the
// connection and drop whatever it still had to send.
void
DrainInput(PortStream& stream)
{
	char discarded[4096];
	while (stream.socket && !stream.peerClosed) {
		ssize_t count = recv(stream.descriptor, discarded, sizeof(discarded), MSG_DONTWAIT);
		if (count == 0)
			stream.peerClosed = true;
		if (count <= 0)
			return;
	}
}

// Waits until the printer takes more or the user quits; false with errno set
// when the write is to be given up.
bool
WaitUntilWritable(PortStream& stream)
{
	if (!stream.pollable) {
		// Told "try again" by a descriptor that blocks: it does not happen
		// but for a moment, so try again after one.
		struct pollfd wake = { stream.wake, POLLIN, 0 };
		if (poll(&wake, 1, 10) > 0) {
			errno = ECANCELED;
			return false;
		}
		return true;
	}
	for (;;) {
		short events = POLLOUT;
		if (stream.socket && !stream.peerClosed)
			events |= POLLIN;
		struct pollfd waits[2] = { { stream.descriptor, events, 0 }, { stream.wake, POLLIN, 0 } };
		int ready = poll(waits, 2, -1);
		if (ready < 0 && errno == EINTR)
			continue;
		if (ready < 0)
			return false;
		if ((waits[1].revents & POLLIN) != 0) {
			errno = ECANCELED;
			return false;
		}
		if ((waits[0].revents & ~POLLIN) == 0) {
			DrainInput(stream);
			continue;
		}
		// Writable, or POLLERR or POLLHUP: the next write says what went
		// wrong.
		return true;
	}
}

ssize_t
WriteSome(PortStream& stream, const char* bytes, size_t size, bool* marked)
{
	if (stream.socket)
		return send(stream.descriptor, bytes, size, MSG_NOSIGNAL);
	if (stream.pollable)
		return write(stream.descriptor, bytes, size);
	// A device that cannot be polled waits inside the write.
	MarkWaiting(stream, marked);
	WaitingCall waiting;
	return write(stream.descriptor, bytes, size);
}

// Writes all of the bytes or fails: a short write is followed by the rest, a
// signal's interruption is retried, a full printer is waited for. Returns
// how many went, with errno set when that is not all of them.
size_t
WriteAll(PortStream& stream, const char* bytes, size_t size)
{
	size_t done = 0;
	bool marked = false;
	DrainInput(stream);
	while (done < size) {
		// Once the user quit, only a plain file is still written to: it takes
		// the bytes without waiting on anybody.
		if (!stream.plainFile && !stream.pollable
			&& stream.abandoned.load(std::memory_order_relaxed)) {
			errno = ECANCELED;
			break;
		}
		ssize_t count = WriteSome(stream, bytes + done, size - done, &marked);
		if (count > 0) {
			ClearWaiting(stream, &marked);
			done += static_cast<size_t>(count);
			stream.accepted.fetch_add(count, std::memory_order_relaxed);
			continue;
		}
		if (count == 0) {
			errno = EIO;
			break;
		}
		if (errno == EINTR)
			continue;
		if (errno == EAGAIN || errno == EWOULDBLOCK) {
			MarkWaiting(stream, &marked);
			if (WaitUntilWritable(stream))
				continue;
		}
		break;
	}
	ClearWaiting(stream, &marked);
	if (done < size && errno == 0)
		errno = EIO;
	return done;
}

// A plain file, past its first megabytes, is written on a thread of its own,
// so that the system's part of each write, copying the bytes into the file's
// pages, runs on a second processor beside the job's pass over the lines
// after them. The stream's writes are gathered into large blocks, which go
// out whole and in order; the first failure ends the file there, with
// nothing written after the gap, and the next write handed over or the close
// tells it.
class WriteBehind {
public:
	explicit WriteBehind(PortStream& stream)
		:
		fStream(stream)
	{
	}

	~WriteBehind() { Finish(); }

	// Takes the bytes; false, with errno set, once an earlier block failed.
	bool Queue(const char* bytes, size_t size)
	{
		while (size > 0) {
			if (fFilling == nullptr && !_TakeFreeBlock())
				return false;
			size_t piece = std::min(size, kBlockSize - fFilling->size);
			memcpy(fFilling->bytes.get() + fFilling->size, bytes, piece);
			fFilling->size += piece;
			bytes += piece;
			size -= piece;
			if (fFilling->size == kBlockSize)
				_HandOver();
		}
		return true;
	}

	// Waits until every byte is written; the first failure's errno, or 0.
	int Finish()
	{
		if (fFilling != nullptr && fFilling->size > 0)
			_HandOver();
		std::unique_lock<std::mutex> lock(fLock);
		fFinishing = true;
		fChanged.notify_all();
		lock.unlock();
		if (fThread.joinable())
			fThread.join();
		return fError;
	}

private:
	struct Block {
		std::unique_ptr<char[]> bytes;
		size_t size = 0;
	};

	// A free block is the caller's alone until it is handed over.
	bool _TakeFreeBlock()
	{
		std::unique_lock<std::mutex> lock(fLock);
		if (fCount == kBlocks && fError == 0) {
			fFillerWaits = true;
			fChanged.wait(lock, [this] { return fCount < kBlocks || fError != 0; });
			fFillerWaits = false;
		}
		if (fError != 0) {
			errno = fError;
			return false;
		}
		if (!fThread.joinable())
			fThread = std::thread(&WriteBehind::_Run, this);
		fFilling = &fBlocks[(fFirst + fCount) % kBlocks];
		if (fFilling->bytes == nullptr) {
			fFilling->bytes.reset(new char[kBlockSize]);
			make_resident(fFilling->bytes.get(), kBlockSize);
		}
		fFilling->size = 0;
		return true;
	}

	void _HandOver()
	{
		std::lock_guard<std::mutex> lock(fLock);
		fFilling = nullptr;
		fCount++;
		if (fWriterWaits && fCount >= kWakeWriterAt)
			fChanged.notify_all();
	}

	void _Run()
	{
		pthread_setname_np(pthread_self(), "quillon-write");
		std::unique_lock<std::mutex> lock(fLock);
		for (;;) {
			if (fCount == 0 && !fFinishing) {
				fWriterWaits = true;
				fChanged.wait(lock, [this] { return fCount >= kWakeWriterAt || fFinishing; });
				fWriterWaits = false;
			}
			if (fCount == 0)
				return;
			Block& block = fBlocks[fFirst];
			bool failed = fError != 0;
			lock.unlock();
			int error = 0;
			if (!failed && WriteAll(fStream, block.bytes.get(), block.size) < block.size)
				error = errno;
			lock.lock();
			if (error != 0 && fError == 0)
				fError = error;
			fFirst = (fFirst + 1) % kBlocks;
			fCount--;
			if (fFillerWaits)
				fChanged.notify_all();
		}
	}

	// Eight blocks of 256 KB: room for the job to run ahead while a write
	// takes long. A writer that has written all it was given waits for half
	// of them, so that waking it, which costs more than a write, comes once
	// for several blocks.
	static const size_t kBlockSize = 256 * 1024;
	static const int kBlocks = 8;
	static const int kWakeWriterAt = kBlocks / 2;

	PortStream& fStream;
	std::mutex fLock;
	std::condition_variable fChanged;
	Block fBlocks[kBlocks];
	Block* fFilling = nullptr;  // the writer's, not yet handed over
	int fFirst = 0;   // the oldest block handed over and not yet written
	int fCount = 0;   // blocks handed over and not yet written
	bool fFinishing = false;
	bool fWriterWaits = false;  // for kWakeWriterAt blocks
	bool fFillerWaits = false;  // for a free block
	int fError = 0;
	std::thread fThread;
};

ssize_t
WritePort(void* cookie, const char* bytes, size_t size)
{
	PortStream& stream = *static_cast<PortStream*>(cookie);
	errno = 0;
	stream.handed.store(stream.handed.load(std::memory_order_relaxed) + size,
		std::memory_order_relaxed);
	// The first megabytes of a plain file are written at once: a short job
	// would spend more on starting the thread than the thread saves it.
	const size_t kWrittenAtOnce = 2 * 1024 * 1024;
	if (stream.plainFile && stream.behind == nullptr && stream.writtenAtOnce >= kWrittenAtOnce)
		stream.behind = std::make_unique<WriteBehind>(stream);
	size_t done;
	if (stream.behind != nullptr) {
		done = stream.behind->Queue(bytes, size) ? size : 0;
	} else {
		done = WriteAll(stream, bytes, size);
		stream.writtenAtOnce += done;
	}
	if (done == size)
		return static_cast<ssize_t>(size);
	if (stream.firstError == 0)
		stream.firstError = errno != 0 ? errno : EIO;
	// The library counts a short write as failed, and carries on with the
	// rest when one comes: say how far it got, or that nothing went.
	return done > 0 ? static_cast<ssize_t>(done) : -1;
}

// Bytes of a network printer's connection that its side has acknowledged.
int64_t
AcknowledgedBytes(const PortStream& stream)
{
	struct tcp_info info;
	socklen_t length = sizeof(info);
	memset(&info, 0, sizeof(info));
	if (getsockopt(stream.descriptor, IPPROTO_TCP, TCP_INFO, &info, &length) != 0
		|| length < offsetof(struct tcp_info, tcpi_bytes_acked) + sizeof(info.tcpi_bytes_acked))
		return -1;
	return static_cast<int64_t>(info.tcpi_bytes_acked);
}

// A network printer's job ends only once the printer has every byte: the
// sending side is shut, and the close waits until the printer has
// acknowledged the last byte, then a moment for it to close its side, all
// the while reading what it says. A reset or an error before the last byte
// fails the job; Quit cuts the wait short without one. Returns the errno of
// the failure, or 0.
int
FinishDelivery(PortStream& stream)
{
	const int kPoll = 50;                 // ms between looks at the acknowledgements
	const int kCloseWait = 1000 / kPoll;  // looks for the printer to close its side
	if (shutdown(stream.descriptor, SHUT_WR) != 0)
		return errno;
	const int64_t sent = stream.accepted.load(std::memory_order_relaxed);
	bool marked = false;
	int afterLast = 0;
	int error = 0;
	for (;;) {
		int64_t acknowledged = AcknowledgedBytes(stream);
		if (acknowledged < 0 || acknowledged >= sent) {
			// All is there (or the system cannot tell): a printer that
			// keeps the connection open is not waited for long.
			ClearWaiting(stream, &marked);
			if (stream.peerClosed || ++afterLast > kCloseWait)
				break;
		} else {
			MarkWaiting(stream, &marked);
		}
		// Once the printer has said its last, only a hang-up or an error
		// is waited for.
		short events = stream.peerClosed ? 0 : POLLIN;
		struct pollfd waits[2] = { { stream.descriptor, events, 0 }, { stream.wake, POLLIN, 0 } };
		int ready = poll(waits, 2, kPoll);
		if (ready < 0 && errno != EINTR) {
			error = errno;
			break;
		}
		if (ready <= 0)
			continue;
		if ((waits[1].revents & POLLIN) != 0)
			break;
		if ((waits[0].revents & POLLERR) != 0) {
			socklen_t length = sizeof(error);
			if (getsockopt(stream.descriptor, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
				error = errno;
			if (error == 0)
				error = ECONNRESET;
			break;
		}
		// Both sides closed.
		if ((waits[0].revents & POLLHUP) != 0)
			break;
		DrainInput(stream);
	}
	ClearWaiting(stream, &marked);
	// What the printer acknowledged before it went is what it has: a reset
	// after the last byte lost nothing.
	int64_t acknowledged = AcknowledgedBytes(stream);
	if (acknowledged >= sent || stream.abandoned.load(std::memory_order_relaxed))
		return 0;
	if (acknowledged < 0)
		return error;
	return error != 0 ? error : ECONNRESET;
}

int
ClosePort(void* cookie)
{
	PortStream* stream = static_cast<PortStream*>(cookie);
	{
		std::lock_guard<std::mutex> lock(sStreamsLock);
		sStreams.erase(std::remove_if(sStreams.begin(), sStreams.end(),
			[stream](const auto& entry) { return entry.second == stream; }), sStreams.end());
		if (sWatched == stream)
			sWatched = NULL;
		// Closed under the lock: port_stream_wait copies it under the same
		// lock, so it never asks a number that may belong to another file.
		if (stream->statusDescriptor >= 0)
			close(stream->statusDescriptor);
	}
	if (stream->behind != nullptr) {
		int behind = stream->behind->Finish();
		if (stream->firstError == 0)
			stream->firstError = behind;
	}
	if (stream->socket && stream->firstError == 0 && !stream->abandoned.load(std::memory_order_relaxed))
		stream->firstError = FinishDelivery(*stream);
	int error = stream->firstError;
	if (close(stream->descriptor) != 0 && error == 0 && errno != EINTR)
		error = errno;
	close(stream->wake);
	// The library is done with the buffer once it calls this: fclose has
	// flushed it and touches none of its bytes after the close.
	delete stream;
	if (error != 0) {
		errno = error;
		return -1;
	}
	return 0;
}

}  // namespace

FILE*
open_port_stream(int descriptor, const std::string& peer)
{
	if (descriptor < 0)
		return NULL;
	struct stat info;
	if (fstat(descriptor, &info) != 0) {
		int error = errno;
		close(descriptor);
		errno = error;
		return NULL;
	}
	auto stream = std::make_unique<PortStream>();
	stream->descriptor = descriptor;
	stream->socket = S_ISSOCK(info.st_mode);
	stream->plainFile = S_ISREG(info.st_mode);
	bool terminal = isatty(descriptor) != 0;
	// Pipes, sockets and terminals can be polled; a printer device may not
	// (the parallel port driver cannot), and would fail a write at once
	// rather than wait for paper if it were made non-blocking.
	stream->pollable = stream->socket || S_ISFIFO(info.st_mode) || terminal;
	int flags = fcntl(descriptor, F_GETFL);
	if (flags >= 0) {
		int wanted = stream->pollable ? flags | O_NONBLOCK : flags & ~O_NONBLOCK;
		if (wanted != flags)
			fcntl(descriptor, F_SETFL, wanted);
	}
	stream->wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
	if (stream->wake < 0) {
		int error = errno;
		close(descriptor);
		errno = error;
		return NULL;
	}
	if (!terminal) {
		stream->buffer.reset(new char[kPortStreamBuffer]);
		make_resident(stream->buffer.get(), kPortStreamBuffer);
	}
	stream->marksWaits = !stream->plainFile;
	stream->peer = peer;
	// A printer device tells why it waits through an ioctl; a network
	// printer is known by its address.
	if (stream->marksWaits && !stream->socket)
		stream->statusDescriptor = fcntl(descriptor, F_DUPFD_CLOEXEC, 0);

	cookie_io_functions_t functions = {};
	functions.write = WritePort;
	functions.close = ClosePort;
	FILE* file = fopencookie(stream.get(), "w", functions);
	if (file == NULL) {
		int error = errno;
		close(stream->wake);
		if (stream->statusDescriptor >= 0)
			close(stream->statusDescriptor);
		close(descriptor);
		errno = error;
		return NULL;
	}
	if (terminal)
		setvbuf(file, NULL, _IONBF, 0);
	else
		setvbuf(file, stream->buffer.get(), _IOFBF, kPortStreamBuffer);
	std::lock_guard<std::mutex> lock(sStreamsLock);
	stream->number = ++sStreamsOpened;
	sWatched = stream.get();
	sStreams.emplace_back(file, stream.release());
	return file;
}

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
	if (asked >= 0) {
		PrinterStatusReader* reader = sStatusReader.load(std::memory_order_acquire);
		wait.reason = sStatusAsker.Ask(stream, asked, reader != NULL ? reader : &lp_status_reader());
	}
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

void
set_printer_status_reader(PrinterStatusReader* reader)
{
	sStatusReader.store(reader, std::memory_order_release);
}

void
abandon_port_stream(FILE* file)
{
	std::lock_guard<std::mutex> lock(sStreamsLock);
	for (auto& [entry, stream] : sStreams) {
		if (entry != file)
			continue;
		stream->abandoned.store(true, std::memory_order_relaxed);
		uint64_t one = 1;
		if (write(stream->wake, &one, sizeof(one)) < 0) {
			// The counter is far from full; nothing else can fail here.
		}
		return;
	}
}

void
make_resident(void* start, size_t size)
{
#ifdef MADV_POPULATE_WRITE
	static const uintptr_t kPage = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
	if (size == 0)
		return;
	uintptr_t first = reinterpret_cast<uintptr_t>(start) & ~(kPage - 1);
	uintptr_t end = reinterpret_cast<uintptr_t>(start) + size;
	// A system too old to know the advice says so, and the pages then come
	// one fault at a time as before.
	madvise(reinterpret_cast<void*>(first), end - first, MADV_POPULATE_WRITE);
#else
	(void)start;
	(void)size;
#endif
}

WaitingCall::WaitingCall()
{
	sWaitingCalls.fetch_add(1, std::memory_order_relaxed);
}

WaitingCall::~WaitingCall()
{
	sWaitingCalls.fetch_sub(1, std::memory_order_relaxed);
}

bool
WaitingCall::UnderWay()
{
	return sWaitingCalls.load(std::memory_order_relaxed) > 0;
}
