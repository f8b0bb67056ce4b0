// The print job against failing system calls. This program is linked with
// write, read, open and fclose wrapped (-Wl,--wrap), so every such
// call the application makes passes through the wrappers below; while a
// fault is armed, the chosen call of the job's own thread fails with the
// chosen errno, or, for a short write, takes only part of the bytes. Each
// case runs one job against a real output file, then a clean job: no crash,
// no hang, nothing lost without an alert, and the next job prints whole.
#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <pthread.h>
#include <set>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include <PortStream.h>
#include <PrinterPorts.h>

#include "JobHarness.h"
#include "LineBuffer.h"
#include "SettingsStore.h"

namespace {

enum Call { kWrite, kRead, kOpen, kClose, kCallCount };
const char* const kCallNames[] = { "write", "read", "open", "fclose" };
const int kShortWrite = -1;  // as the errno of a case: take half the bytes

struct Fault {
	std::atomic<bool> armed{false};
	std::thread::id thread;
	Call call = kWrite;
	int at = 0;     // the call that fails, counted from 1 while armed
	int error = 0;
	std::atomic<int> counts[kCallCount] = {};
};
Fault sFault;

// Whether the call is the job's: made on its thread, or on the threads that
// read a large file ahead and write a plain file's blocks for it.
bool
JobsCall()
{
	if (std::this_thread::get_id() == sFault.thread)
		return true;
	char name[16] = "";
	pthread_getname_np(pthread_self(), name, sizeof(name));
	return strcmp(name, "quillon-write") == 0 || strcmp(name, "quillon-read") == 0;
}

// Counts a call of the job; true when this is the one to fail.
bool
Hit(Call call)
{
	if (!sFault.armed.load() || !JobsCall())
		return false;
	return ++sFault.counts[call] == sFault.at && call == sFault.call;
}

}  // namespace

extern "C" {

ssize_t __real_write(int descriptor, const void* bytes, size_t size);
ssize_t __real_read(int descriptor, void* bytes, size_t size);
int __real_open(const char* path, int flags, ...);
int __real_fclose(FILE* stream);

ssize_t
__wrap_write(int descriptor, const void* bytes, size_t size)
{
	if (Hit(kWrite)) {
		if (sFault.error == kShortWrite)
			return __real_write(descriptor, bytes, size > 1 ? size / 2 : size);
		errno = sFault.error;
		return -1;
	}
	return __real_write(descriptor, bytes, size);
}

ssize_t
__wrap_read(int descriptor, void* bytes, size_t size)
{
	if (Hit(kRead)) {
		errno = sFault.error;
		return -1;
	}
	return __real_read(descriptor, bytes, size);
}

int
__wrap_open(const char* path, int flags, ...)
{
	va_list arguments;
	va_start(arguments, flags);
	mode_t mode = (flags & O_CREAT) != 0 ? va_arg(arguments, mode_t) : 0;
	va_end(arguments);
	if (Hit(kOpen)) {
		errno = sFault.error;
		return -1;
	}
	return __real_open(path, flags, mode);
}

// A close that fails has still closed the stream, as fclose does.
int
__wrap_fclose(FILE* stream)
{
	if (Hit(kClose)) {
		__real_fclose(stream);
		errno = sFault.error;
		return EOF;
	}
	return __real_fclose(stream);
}

}  // extern "C"

namespace {

class FaultMatrix : public JobTest {
protected:
	void SetUp() override
	{
		JobTest::SetUp();
		RecordingPort::UseRealPorts();
		fOutput = fDirectory.PathOf("out");
		WithStore([this] { PrinterPath = fOutput.c_str(); });
		// Big enough that its last writes go through the writer thread, past
		// the first 2 MB of the file, which are written at once.
		std::string large;
		for (int line = 0; large.size() < 40 * kPortStreamBuffer; line++)
			large += "line " + std::to_string(line) + "\tof the first file\n";
		fFiles = { fDirectory.Write("first", large), fDirectory.Write("second", "second\n") };
	}

	// Runs a job with the fault armed, or clean when at is 0, and returns the
	// calls the job made.
	std::vector<int> Run(Call call, int error, int at)
	{
		sFault.call = call;
		sFault.error = error;
		sFault.at = at;
		std::fill(std::begin(sFault.counts), std::end(sFault.counts), 0);
		sFault.thread = std::this_thread::get_id();
		sFault.armed = true;
		RunJob(fFiles);
		sFault.armed = false;
		return std::vector<int>(std::begin(sFault.counts), std::end(sFault.counts));
	}

	std::string fOutput;
	std::vector<std::string> fFiles;
};

TEST_F(FaultMatrix, EveryFailureIsRetriedOrToldAndTheNextJobPrintsWhole)
{
	std::vector<int> calls = Run(kWrite, 0, 0);
	std::string clean = ReadWholeFile(fOutput);
	ASSERT_FALSE(clean.empty());
	ASSERT_TRUE(Alerts().empty());
	for (int call = 0; call < kCallCount; call++)
		ASSERT_GT(calls[static_cast<size_t>(call)], 0) << kCallNames[call] << " was never called";

	struct Case {
		Call call;
		int error;
	};
	std::vector<Case> cases;
	for (Call call : { kWrite, kRead, kOpen, kClose }) {
		for (int error : { EIO, ENOSPC, EINTR, EAGAIN })
			cases.push_back({ call, error });
	}
	cases.push_back({ kWrite, kShortWrite });

	for (const Case& test : cases) {
		int count = calls[test.call];
		for (int at : std::set<int>{ 1, (count + 1) / 2, std::max(count - 1, 1), count }) {
			std::string name = std::string(kCallNames[test.call]) + " "
				+ (test.error == kShortWrite ? "short" : strerrorname_np(test.error)) + " at "
				+ std::to_string(at) + " of " + std::to_string(count);
			size_t alertsBefore = Alerts().size();
			Run(test.call, test.error, at);
			std::vector<AlertRecord> alerts = Alerts();
			alerts.erase(alerts.begin(), alerts.begin() + static_cast<long>(alertsBefore));
			bool exact = ReadWholeFile(fOutput) == clean;

			// A close cannot be tried again; an open told "try again" is a
			// port or a file that failed.
			bool retried = test.error == kShortWrite
				|| (test.call != kClose && test.error == EINTR)
				|| (test.error == EAGAIN && test.call != kOpen && test.call != kClose);
			printf("%-28s %-6s %s\n", name.c_str(), exact ? "whole" : "cut",
				alerts.empty() ? "-" : alerts[0].text.c_str());
			if (retried) {
				EXPECT_TRUE(exact) << name << ": a gap in the output";
				EXPECT_TRUE(alerts.empty()) << name << ": " << alerts[0].text;
			} else {
				// Whatever was lost, the user is told, once.
				EXPECT_LE(alerts.size(), 1u) << name;
				if (!exact) {
					EXPECT_EQ(alerts.size(), 1u) << name << ": output lost without a word";
				}
				if (test.call == kWrite || test.call == kClose) {
					EXPECT_EQ(alerts, std::vector<AlertRecord>{ LostOutputAlert(fOutput,
						test.error) }) << name;
				}
			}

			size_t before = Alerts().size();
			Run(kWrite, 0, 0);
			EXPECT_EQ(ReadWholeFile(fOutput), clean) << name << ": the next job";
			EXPECT_EQ(Alerts().size(), before) << name << ": the next job";
		}
	}
}

}  // namespace
