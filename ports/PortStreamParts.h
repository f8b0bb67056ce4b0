// What the three parts of the output stream share: the stream's state, the
// list of open streams with the one the wait watch looks at, the marks of a
// write that waits, and the write that goes on until all is written. The
// stream itself is PortStream.cpp, its plain file's writer thread
// WriteBehind.cpp, the watch PortWatch.cpp. For ports/ alone.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace port_stream {

class WriteBehind;

struct PortStream {
	int descriptor = -1;
	int wake = -1;            // eventfd, readable once the user quit
	bool pollable = false;    // written non-blocking, waited for with poll
	bool socket = false;
	bool plainFile = false;
	std::atomic<bool> abandoned{false};
	int firstError = 0;       // the first failed write, reported again by the close
	std::unique_ptr<char[]> buffer;
	std::unique_ptr<WriteBehind> behind;  // a plain file's writes, past the first
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
extern std::mutex sStreamsLock;
extern std::vector<std::pair<FILE*, PortStream*>> sStreams;

extern std::atomic<int> sWaitingCalls;

// The stream port_stream_wait looks at, the newest one opened; under
// sStreamsLock, which its close takes before the stream goes.
extern PortStream* sWatched;
extern uint64_t sStreamsOpened;

// The monotonic clock, in nanoseconds.
int64_t Now();

// A write that may wait for the printer marks when it began to, once, and
// clears the mark when bytes go through.
void MarkWaiting(PortStream& stream, bool* marked);
void ClearWaiting(PortStream& stream, bool* marked);

// Writes all of the bytes or fails: a short write is followed by the rest, a
// signal's interruption is retried, a full printer is waited for. Returns
// how many went, with errno set when that is not all of them.
size_t WriteAll(PortStream& stream, const char* bytes, size_t size);

// Bytes of a network printer's connection that its side has acknowledged;
// -1 when the system cannot tell.
int64_t AcknowledgedBytes(const PortStream& stream);

}  // namespace port_stream
