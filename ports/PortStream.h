// The stream a print job writes a printer port through: stdio over a write of
// our own, so that every byte goes out with write(2) or send(2) that we
// control. A printer that stops reading keeps a write waiting in poll, where
// the user's Quit reaches it; a signal that interrupts a write does not cut
// it short; a printer that hangs up fails the write instead of ending the
// process.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// How much the stream gathers before it writes, for files, pipes, network
// printers and devices other than terminals. A terminal (a serial printer)
// gets every fwrite as it comes, so it is fed in whole lines. A plain file's
// gathered bytes go on to a thread of the stream's own, which writes them in
// blocks of 256 KB while the job goes on; a write that fails there is told
// by the next one handed over, or by the close.
const size_t kPortStreamBuffer = 64 * 1024;

// Makes a stream of the open descriptor, which it owns from now on: fclose
// closes it, once. A pipe, socket or terminal is switched to non-blocking
// writes and waited for with poll; anything else is written as it is.
// NULL (with errno set, the descriptor closed) when it cannot be made.
// The newest stream is the one the watch (PortWatch.h) looks at;
// peer is what a wait on a network printer is blamed on ("host:9100").
FILE* open_port_stream(int descriptor, const std::string& peer = std::string());

// The user quits: writes on this stream stop waiting for the printer. A write
// that waits for it returns at once with ECANCELED, and so does every later
// one that cannot go out without waiting; bytes a plain file takes still go
// to it. Does nothing for a stream this file did not make.
void abandon_port_stream(FILE* stream);

// Makes the pages of a buffer that is about to be filled resident in one
// call, rather than a fault each as the first bytes reach them: on a virtual
// machine a fault costs several times what the call spends on a page. Does
// nothing where the system cannot.
void make_resident(void* start, size_t size);

// Calls that may wait without end and that no poll can cut short (a write to
// a device that cannot be polled, a read from a pipe) run inside one of
// these, so that a quitting program knows it is waiting on one.
class WaitingCall {
public:
	WaitingCall();
	~WaitingCall();
	WaitingCall(const WaitingCall&) = delete;
	WaitingCall& operator=(const WaitingCall&) = delete;

	static bool UnderWay();
};
