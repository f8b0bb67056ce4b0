// What the print job tests share: an output that records every write and
// close, the application on the headless backend, files in a scratch
// directory, and a plain model of the text printer to compare output with.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include <TestBackend.h>

#include "QuillonApplication.h"

// The bytes of a code string written as hex pairs ("1B 40").
std::string Hex(const char* pairs);

// Shows a byte string readably in failure messages.
std::string Printable(const std::string& bytes);

// Empty when the two outputs are equal; else where they first differ, with
// some bytes around it.
std::string Difference(const std::string& actual, const std::string& expected);

// One output the job opened through RecordingPort.
struct RecordedStream {
	std::string path;
	// One entry per write call that reached the stream; a flush of zero bytes
	// makes no call.
	std::vector<std::string> writes;
	int closes = 0;
	int writesAfterClose = 0;
	std::thread::id closedOn;

	std::string Bytes() const;
};

// An output that the job opens instead of its port (the harness wraps the
// port's open at link time): an unbuffered stream whose writes and close are
// recorded, one call per fwrite.
class RecordingPort {
public:
	RecordingPort();
	~RecordingPort();

	// Makes this the output every following job opens.
	void Install();
	// Every following job opens its real port.
	static void UseRealPorts();
	// The installed output opened for the path, as the job's open is
	// answered; false when none is installed.
	static bool OpenInstalled(const char* path, FILE** opened);

	// Called on the writing thread after each write was recorded, with the
	// number of writes recorded on that stream so far and the bytes of this
	// one. May block: the job is then in the middle of a write.
	std::function<void(size_t count, const std::string& bytes)> onWrite;
	// The write with this index (counted over the stream) fails with errno
	// writeError; -1 for none.
	int failingWrite = -1;
	int writeError = 0;
	// The close fails with this errno; 0 for a close that succeeds.
	int closeError = 0;

	size_t OpenCount() const;
	RecordedStream Stream(size_t index) const;
	RecordedStream Last() const;

private:
	struct Cookie {
		RecordingPort* port;
		size_t index;
	};

	static FILE* _Open(const char* path);
	static ssize_t _Write(void* cookie, const char* bytes, size_t size);
	static int _Close(void* cookie);

	mutable std::mutex fLock;
	std::vector<std::unique_ptr<RecordedStream>> fStreams;
	std::vector<std::unique_ptr<Cookie>> fCookies;
};

// A scratch directory, removed with everything in it.
class ScratchDirectory {
public:
	ScratchDirectory();
	~ScratchDirectory();

	const std::string& Path() const { return fPath; }
	std::string Write(const std::string& name, const std::string& content) const;
	std::string PathOf(const std::string& name) const;

private:
	std::string fPath;
};

std::string ReadWholeFile(const std::string& path);

// The size of the file FileObject was last opened on: which listed file the
// job read last. -1 when it is open on none.
off_t OpenFileSize();

// The application with one observation added: whether a quit request was
// queued before a marker the test posts.
class ObservedApplication : public QuillonApplication {
public:
	virtual void MessageReceived(BMessage* message);

	// Runs the application's loop until it quits; true when a quit request
	// queued before this call ended it (rather than the marker posted here).
	bool RunUntilQuitOrMarker();

private:
	bool fMarkerSeen = false;
};

// The text settings of one printer model, as plain bytes.
struct PrinterCodes {
	std::string loadPaper;
	std::string newLine;
	std::string ejectPaper;
	int32_t topBlankLines = 3;
	int32_t tabSize = 4;
	std::string filter = "All";
};

PrinterCodes EpsonDotMatrixCodes();
PrinterCodes HpDeskJetCodes();

// The preamble right after start-up: reset, 10 cpi, draft, fixed spacing,
// bidirectional; paper, wrap and orientation send nothing.
std::string StartUpPreamble();

// The text printer worked out byte by byte, as plainly as it can be said,
// with a staging area that has no limit. Each write is kept, also those of
// zero bytes.
class TextPrinterModel {
public:
	TextPrinterModel(const PrinterCodes& codes, int32_t paperY);

	void PrintFile(const std::string& preamble, const std::string& text);
	// The body alone: what follows the preamble.
	void PrintBody(const std::string& text);

	const std::vector<std::string>& Writes() const { return fWrites; }
	// The writes that carry bytes: what a stream sees.
	std::vector<std::string> NonEmptyWrites() const;
	std::string Bytes() const;

private:
	void _Flush();
	void _StartPage();

	PrinterCodes fCodes;
	int32_t fPaperY;
	int32_t fLineCount = 0;
	std::string fStaged;
	std::vector<std::string> fWrites;
};

// Output of the model for files printed with the start-up settings.
std::vector<std::string> StartUpWrites(const std::vector<std::string>& texts);

// Captures what the process writes to its standard output.
class StandardOutputCapture {
public:
	StandardOutputCapture();
	~StandardOutputCapture();
	std::string Finish();

private:
	int fSaved = -1;
	std::string fPath;
	bool fFinished = false;
};

// The print job's world: the headless backend answering alerts, the
// application with its window, and the recording output installed.
class JobTest : public ::testing::Test {
protected:
	void SetUp() override;
	void TearDown() override;

	// Runs one print job for these paths on this thread.
	void RunJob(const std::vector<std::string>& paths);

	// Posts a command to the main window and waits until the window has
	// handled it.
	void RunOnWindow(uint32_t command);
	// Posts a redraw and waits for it; everything posted before is handled.
	void WaitForWindow();

	// Changes the settings store the way the window's commands do, under its
	// lock. Only while no command runs on the window.
	void WithStore(const std::function<void()>& change);
	// Points the output at this path until the test ends; the window may
	// draw the path at any time, so the fixture keeps the string alive.
	void PointOutputAt(const std::string& path);

	// The alerts shown since the test began.
	std::vector<AlertRecord> Alerts() const;

	TestBackend fBackend;
	// Every alert shown, in order.
	mutable std::mutex fAlertsLock;
	std::vector<AlertRecord> fAlerts;
	std::unique_ptr<ObservedApplication> fApplication;
	RecordingPort fPort;
	ScratchDirectory fDirectory;

	// Answers every alert; shows nothing else. Set before the job runs.
	std::function<int32(const AlertRecord&)> fAnswer;

private:
	std::mutex fDrawLock;
	std::condition_variable fDrawn;
	long fDraws = 0;
	std::string fSavedDirectory;
	std::string fOutputPath;
};

// The alert of a file that could not be opened.
AlertRecord UnopenedAlert(const std::string& name);
// The alert of output that did not reach the printer.
AlertRecord LostOutputAlert(const std::string& path, int error);

bool operator==(const AlertRecord& a, const AlertRecord& b);
void PrintTo(const AlertRecord& alert, std::ostream* os);
