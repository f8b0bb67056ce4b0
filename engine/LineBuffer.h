// Code strings and the staging buffer. Every byte of printed output is staged
// here and leaves in the write of a flush, one write per flush; a stretch of
// a run that would fill the whole buffer only to be flushed at once goes out
// in that same write straight from where it lies.
#pragma once

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

const int32_t kLineBufferSize = 99999;

extern char LineBuffer[kLineBufferSize];
extern int32_t LineLenght;
// Kept current with every byte staged although nothing reads it back: its
// value after a job is part of what the engine is seen to do, so keep it so.
extern int32_t ASC;
extern int32_t err;
extern FILE* PrinterPort;

// Stages the bytes of a code string ("1B 40"): one byte per pair of hex digits,
// one optional space before each pair. A pair cut short by the terminator
// yields nothing; nothing past the terminator is read.
void HexToBuffer(const char* codeString);

// Stages the low 8 bits of ASC. The printer stages runs of bytes instead;
// this one-byte staging stays as the engine's operation for a single byte.
void WriteOneByte();

// Writes everything staged to PrinterPort with one fwrite and empties the
// buffer. It comes at every line end, so it is inlined into the printer.
inline void PrintLineBuffer();

// The bytes a code string stages and the value it leaves in ASC, worked out
// once so that a code sent at every line end costs a copy, not a parse.
struct CodeBytes {
	const char* text = "";
	uint8_t bytes[128];
	int32_t count = 0;
	int32_t lastValue = 0;
	bool decoded = true;  // false when the string is too long to keep here
};
void DecodeCodeString(const char* codeString, CodeBytes& code);
inline void StageCode(const CodeBytes& code);

// Stages a run of bytes (the text between line ends) and leaves the last one,
// sign-extended, in ASC as WriteOneByte would.
inline void StageRun(const char* bytes, int32_t count);
// Stages count copies of one byte.
void StageRepeated(char byte, int32_t count);

// What the two above do when the bytes do not fit as they are: they flush
// early whenever the buffer is full.
void StageCodeAtLimit(const CodeBytes& code);
void StageRunAtLimit(const char* bytes, int32_t count);

// The common case, a code or a run that fits, is a copy; it comes at every
// line end and every stretch of text, so it is inlined into the printer.
// A short code, as a line end's is, is copied as sixteen bytes at once, which
// costs less than a copy of its own length; the bytes past it are overwritten
// by what is staged next, and nothing reads the buffer past LineLenght.
inline void
StageCode(const CodeBytes& code)
{
	const int32_t kShortCode = 16;
	if (code.decoded && code.count <= kShortCode && LineLenght <= kLineBufferSize - kShortCode) {
		memcpy(LineBuffer + LineLenght, code.bytes, kShortCode);
		LineLenght += code.count;
		if (code.count > 0)
			ASC = code.lastValue;
		return;
	}
	if (code.decoded && code.count <= kLineBufferSize - LineLenght) {
		memcpy(LineBuffer + LineLenght, code.bytes, static_cast<size_t>(code.count));
		LineLenght += code.count;
		if (code.count > 0)
			ASC = code.lastValue;
		return;
	}
	StageCodeAtLimit(code);
}

// What the write at a line end needs, kept by LineBuffer.cpp.
extern bool gPortHeld;         // the port is marked in use (see HoldPrinterPort)
                               // by the job's own thread, which alone reads it
extern int64_t gFlushedEarly;  // bytes of the current line that went out
                               // early because the buffer was full
void RecordPortError(int error);
// One fwrite of the given bytes, marking the port in use for it unless it is.
int32_t WriteToPort(const char* bytes, int32_t count);

// Where errno lies for this thread, found once: a write comes at every line
// end, and clears errno first so that a failure is told by its own cause.
inline int*
ThreadErrno()
{
	static thread_local int* sErrno = nullptr;
	if (sErrno == nullptr)
		sErrno = &errno;
	return sErrno;
}

// One fwrite of the given bytes, the port being marked in use.
inline int32_t
WriteWhileInUse(const char* bytes, int32_t count)
{
	FILE* port = std::atomic_ref<FILE*>(PrinterPort).load();
	if (port == nullptr)
		return 0;
	// Only this thread uses the stream while the port is marked in use
	// (Quit leaves the close to us then), so the stream's own lock, taken
	// and dropped at every line end, is not needed.
	*ThreadErrno() = 0;
	size_t written = fwrite_unlocked(bytes, 1, static_cast<size_t>(count), port);
	// On an unbuffered stream the library may count a failed write as done;
	// the stream's error flag still tells.
	if (written != static_cast<size_t>(count) || ferror_unlocked(port) != 0)
		RecordPortError(errno);
	return static_cast<int32_t>(written);
}

// The flushed bytes are not cleared: nothing reads the buffer past
// LineLenght, and clearing them cost a second pass over every byte.
inline void
PrintLineBuffer()
{
	err = gPortHeld ? WriteWhileInUse(LineBuffer, LineLenght) : WriteToPort(LineBuffer, LineLenght);
	LineLenght = 0;
	gFlushedEarly = 0;
}

inline void
StageRun(const char* bytes, int32_t count)
{
	if (count > 0 && count <= kLineBufferSize - LineLenght) {
		ASC = static_cast<int8_t>(bytes[count - 1]);
		memcpy(LineBuffer + LineLenght, bytes, static_cast<size_t>(count));
		LineLenght += count;
		return;
	}
	StageRunAtLimit(bytes, count);
}

// The staged column of the current line: what is staged now plus what had to be
// flushed early because the line did not fit in the buffer. Tab stops count it.
int64_t StagedColumn();

// The output stream is shared with the window's Quit command; these keep it
// closed exactly once and never written after it is closed. The job opens
// its output and hands it over; with it comes what Quit calls on it, before
// anything waits on it, so that a write that waits for a printer that
// stopped reading returns at once (NULL: nothing to call).
typedef void (*port_abandoner)(FILE* port);
// Bytes written to the port that its stream still gathers, not yet handed
// on; 0 when no port is open. On the job's thread, between writes.
size_t PrinterPortPending();

// The job's thread marks the port in use for a stretch of writes, a text
// pass over one piece of a file: its line ends then cost no atomic store. A
// Quit that comes meanwhile takes the port away at once (the writes after it
// go nowhere) and leaves the close to the release. The stretch must not wait
// for anything but its writes, so a piece is read, and an alert is shown,
// only with the port released. Holds do not nest: a release ends the hold.
void HoldPrinterPort();
void ReleasePrinterPort();
class PrinterPortHold {
public:
	PrinterPortHold() { HoldPrinterPort(); }
	~PrinterPortHold() { ReleasePrinterPort(); }
	PrinterPortHold(const PrinterPortHold&) = delete;
	PrinterPortHold& operator=(const PrinterPortHold&) = delete;
};

// The print job, at its start: port (NULL when it did not open) becomes
// PrinterPort; true when there is one.
bool UsePrinterPort(FILE* port, port_abandoner abandon);
void ClosePrinterPort();                 // the print job, at its end
void QuitClosePrinterPort();             // the window's Quit command
bool PrinterPortClosedByQuit();          // true once Quit closed the job's output
// The window's Cancel Printing: the job's output is taken away as Quit
// takes it, but the program goes on. False when no job had an output open.
bool CancelClosePrinterPort();
bool PrinterPortAbandoned();             // true once Quit or Cancel closed it
// The job's page counter (JobProgress) as it stood when Quit or Cancel
// closed the port: the pages begun after it printed nothing.
int32_t PagesWhenPortAbandoned();

// The first write or close failure since the output was opened, as an errno
// value; 0 when every byte reached the stream. What fails once Quit took the
// output is the job being abandoned, not a failure.
int PrinterPortError();
