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

#include "PortStreamParts.h"
#include "PortWatch.h"
#include "WriteBehind.h"

namespace port_stream {

std::mutex sStreamsLock;
std::vector<std::pair<FILE*, PortStream*>> sStreams;
std::atomic<int> sWaitingCalls{0};
PortStream* sWatched = NULL;
uint64_t sStreamsOpened = 0;

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

}  // namespace port_stream

using namespace port_stream;

namespace {

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

}  // namespace

// Writes all of the bytes or fails: a short write is followed by the rest, a
// signal's interruption is retried, a full printer is waited for. Returns
// how many went, with errno set when that is not all of them.
size_t
port_stream::WriteAll(PortStream& stream, const char* bytes, size_t size)
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

int64_t
port_stream::AcknowledgedBytes(const PortStream& stream)
{
	struct tcp_info info;
	socklen_t length = sizeof(info);
	memset(&info, 0, sizeof(info));
	if (getsockopt(stream.descriptor, IPPROTO_TCP, TCP_INFO, &info, &length) != 0
		|| length < offsetof(struct tcp_info, tcpi_bytes_acked) + sizeof(info.tcpi_bytes_acked))
		return -1;
	return static_cast<int64_t>(info.tcpi_bytes_acked);
}

namespace {

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
	if (stream->behind != nullptr) {
		int behind = stream->behind->Finish();
		if (stream->firstError == 0)
			stream->firstError = behind;
	}
	// Still watched and still found by Quit while the last bytes go: the bar
	// counts what the printer has, and the wait can be given up.
	if (stream->socket && stream->firstError == 0 && !stream->abandoned.load(std::memory_order_relaxed))
		stream->firstError = FinishDelivery(*stream);
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
	int error = stream->firstError;
	// A job given up is given up at the printer too: what the system still
	// holds for it is dropped, not sent after the close.
	if (stream->socket && stream->abandoned.load(std::memory_order_relaxed)) {
		struct linger drop = { 1, 0 };
		setsockopt(stream->descriptor, SOL_SOCKET, SO_LINGER, &drop, sizeof(drop));
	}
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
