// How far the print job has come, for a watcher on another thread (the
// window's status bar). The job's thread alone writes, once per page and
// once per piece of a file, never per line, with relaxed stores: a watcher
// may see a figure a page late, never a torn one.
#pragma once

#include <atomic>
#include <cstdint>

struct JobProgress {
	// Bytes of the current file that the pages have passed over (as read,
	// or as converted to the printer's character set), up to the last page
	// begun or the last piece finished.
	std::atomic<int64_t> filePassed{ 0 };
	// Pages begun since the counter was last set to 0.
	std::atomic<int32_t> pages{ 0 };
};

extern JobProgress gJobProgress;
