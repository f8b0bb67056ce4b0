#include "PortStream.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

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
};

// Which stream each FILE is, for Quit. The entries go before their
// descriptors close, so Quit never signals a descriptor that is gone.
std::mutex sStreamsLock;
std::vector<std::pair<FILE*, PortStream*>> sStreams;

std::atomic<int> sWaitingCalls{0};

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
		struct pollfd waits[2] = { { stream.descriptor, POLLOUT, 0 }, { stream.wake, POLLIN, 0 } };
		int ready = poll(waits, 2, -1);
		if (ready < 0 && errno == EINTR)
			continue;
		if (ready < 0)
			return false;
		if ((waits[1].revents & POLLIN) != 0) {
			errno = ECANCELED;
			return false;
		}
		// POLLERR or POLLHUP: the next write says what went wrong.
		return true;
	}
}

ssize_t
WriteSome(PortStream& stream, const char* bytes, size_t size)
{
	if (stream.socket)
		return send(stream.descriptor, bytes, size, MSG_NOSIGNAL);
	if (stream.pollable)
		return write(stream.descriptor, bytes, size);
	WaitingCall waiting;
	return write(stream.descriptor, bytes, size);
}

// Writes all of the bytes or fails: a short write is followed by the rest, a
// signal's interruption is retried, a full printer is waited for.
ssize_t
WritePort(void* cookie, const char* bytes, size_t size)
{
	PortStream& stream = *static_cast<PortStream*>(cookie);
	size_t done = 0;
	while (done < size) {
		// Once the user quit, only a plain file is still written to: it takes
		// the bytes without waiting on anybody.
		if (!stream.plainFile && !stream.pollable
			&& stream.abandoned.load(std::memory_order_relaxed)) {
			errno = ECANCELED;
			break;
		}
		ssize_t count = WriteSome(stream, bytes + done, size - done);
		if (count > 0) {
			done += static_cast<size_t>(count);
			continue;
		}
		if (count == 0) {
			errno = EIO;
			break;
		}
		if (errno == EINTR)
			continue;
		if ((errno == EAGAIN || errno == EWOULDBLOCK) && WaitUntilWritable(stream))
			continue;
		break;
	}
	if (done == size)
		return static_cast<ssize_t>(size);
	if (stream.firstError == 0)
		stream.firstError = errno != 0 ? errno : EIO;
	// The library counts a short write as failed, and carries on with the
	// rest when one comes: say how far it got, or that nothing went.
	return done > 0 ? static_cast<ssize_t>(done) : -1;
}

int
ClosePort(void* cookie)
{
	PortStream* stream = static_cast<PortStream*>(cookie);
	{
		std::lock_guard<std::mutex> lock(sStreamsLock);
		sStreams.erase(std::remove_if(sStreams.begin(), sStreams.end(),
			[stream](const auto& entry) { return entry.second == stream; }), sStreams.end());
	}
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
open_port_stream(int descriptor)
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

	cookie_io_functions_t functions = {};
	functions.write = WritePort;
	functions.close = ClosePort;
	FILE* file = fopencookie(stream.get(), "w", functions);
	if (file == NULL) {
		int error = errno;
		close(stream->wake);
		close(descriptor);
		errno = error;
		return NULL;
	}
	if (terminal)
		setvbuf(file, NULL, _IONBF, 0);
	else
		setvbuf(file, stream->buffer.get(), _IOFBF, kPortStreamBuffer);
	std::lock_guard<std::mutex> lock(sStreamsLock);
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
