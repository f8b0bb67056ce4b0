// What the window's status bar says: where the port in use leads while no
// job runs, how far a job has come while it runs, and how it ended.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include <SupportDefs.h>

class BMessage;
class BStatusBar;
class BWindow;
class JobFileReader;

// The window's message that shows a status: "label", "trailing" (strings),
// "filled" (int32, thousandths of the bar) and "job" (int32, 1 while a job
// runs, when the idle status waits for the job to end).
const uint32 kShowStatus = 'Qsts';
// The window's message that shows the idle status again.
const uint32 kShowIdleStatus = 'Qsti';

struct JobStatusLine {
	std::string label;
	std::string trailing;
	int32 filled = 0;  // thousandths of the bar
};

// "Parallel Port 1", or the path itself when no menu item leads there.
std::string port_label(const char* path);
// "Parallel Port 1" and "/dev/usb/lp0", "/dev/usb/lp0 - not there"...
JobStatusLine idle_status(const char* path);
// "512 bytes", "120 KB", "12.3 MB".
std::string byte_amount(int64_t bytes);
// "Printed 3 files, 14 pages to /dev/usb/lp0".
std::string printed_summary(int32 files, int32 pages, const std::string& target);

// Shows the line on the bar.
void show_status(BStatusBar* bar, const JobStatusLine& line);
// Posts the line to the window (which may be NULL, or gone away).
void post_status(BWindow* window, const JobStatusLine& line, bool jobRuns);

// A thread beside the job that tells the window about four times a second
// how far it has come, only when the words change: the file (n of m), the
// bytes of it that have left the program (the bytes read, for a file that
// claims no size) and the pages, and beside them that nothing has gone to the
// printer for more than a second, and why. That stays said for a few seconds
// after the printer took bytes again, so a printer taking a little now and
// then does not make the words flap. The job's thread tells it when a
// file begins; the rest it reads from the counters the job keeps.
class JobTicker {
public:
	// The window must outlive the ticker: the application, whose thread
	// runs the job, is the one that deletes windows.
	JobTicker(BWindow* window, int32 files, const JobFileReader* reader);
	~JobTicker();
	JobTicker(const JobTicker&) = delete;
	JobTicker& operator=(const JobTicker&) = delete;

	// Runs on the job's thread.
	void BeginFile(int32 index, const std::string& name, int64_t size);
	// Pages begun since the job began; up to a reading of the page counter.
	int32 Pages() const;
	int32 PagesUpTo(int32 counter) const { return counter - fPagesBefore; }
	// Ends the thread; the caller shows the end.
	void Stop();

private:
	void _Run();
	JobStatusLine _Line();

	BWindow* fWindow;
	int32 fFiles;
	const JobFileReader* fReader;
	// The ticker's own: when a wait for the printer was last seen, and why.
	std::chrono::steady_clock::time_point fWaitSeen;
	bool fWaited = false;
	std::string fWaitReason;
	int32 fPagesBefore;  // the counter when the job began

	std::mutex fLock;
	std::condition_variable fWake;
	bool fStopping = false;
	int32 fIndex = 0;           // guarded by fLock
	std::string fName;          // guarded by fLock
	int64_t fSize = 0;          // guarded by fLock
	int32 fFilePagesBefore = 0; // guarded by fLock
	int64_t fOutputBefore = 0;  // guarded by fLock: bytes the job sent before the file
	std::thread fThread;
};
