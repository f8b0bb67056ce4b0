// The watch on the newest stream open_port_stream made, as another thread
// sees it (the job's progress, several times a second): a write under way
// that waits for the printer, and how many bytes have left the program.
#pragma once

#include <cstdint>
#include <string>

struct PortWait {
	double seconds;      // how long the write has waited for the printer; 0 when none waits
	std::string reason;  // what the printer device says, or a network printer's
	                     // "host:port"; "" when nothing is known
};
// Safe from any thread at any time, also while the stream is being closed:
// the device is asked on a descriptor of the watch's own, never on one that
// may have been closed and reused. It takes 50 ms at most: a device slow to
// answer (a parallel port answers only between writes) leaves the reason it
// gave last, or "". The device is asked through lp_status_reader().
PortWait port_stream_wait();

// The bytes of the newest stream open_port_stream made, for a watcher on
// another thread: how many the library handed to it, and how many have left
// the program: written to the file or device, taken by the pipe's or the
// terminal's reader, acknowledged by the network printer. -1 for both when
// no stream is open.
struct PortCounts {
	int64_t handed;
	int64_t delivered;
};
PortCounts port_stream_counts();

