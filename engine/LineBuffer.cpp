#include "LineBuffer.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>

char LineBuffer[kLineBufferSize];
int32_t LineLenght = 0;
int32_t ASC = 0;
int32_t err = 0;
FILE* PrinterPort = nullptr;

static FILE* OpenForWriting(const char* path)
{
	return fopen(path, "w");
}

port_opener PrinterPortOpener = OpenForWriting;
port_abandoner PrinterPortAbandoner = nullptr;

// Bytes of the current line that went out early because the buffer was full.
static int64_t sFlushedEarly = 0;

// The port's state, shared between the print job and the window's Quit. The
// lock guards opening and closing; a write takes no lock, since one comes at
// every line end: it marks the port in use and then reads it, and Quit clears
// the port and then looks at the mark, so that (all of these being sequentially
// consistent) either the write sees no port or Quit sees the write under way
// and leaves the close to it. A text pass holds the mark across all of its
// writes (sHeld), so that a line end costs a load instead of two stores.
static std::mutex sPortLock;
static std::atomic<bool> sPortInUse{false};
static bool sHeld = false;  // the job's own thread alone reads and sets it
static std::atomic<FILE*> sCloseAfterUse{nullptr};  // Quit asked to close it
static bool sClosedByQuit = false;
static int sPortError = 0;

static inline std::atomic_ref<FILE*>
Port()
{
	return std::atomic_ref<FILE*>(PrinterPort);
}

// Closes the port that Quit could not close because a write was under way;
// whoever takes it from sCloseAfterUse first closes it, so it is closed once.
static void
CloseAfterUse()
{
	if (FILE* port = sCloseAfterUse.exchange(nullptr))
		fclose(port);
}

// Takes the mark off; a Quit that came meanwhile left the close to us.
static void
ReleasePort()
{
	sPortInUse.store(false);
	if (sCloseAfterUse.load() != nullptr)
		CloseAfterUse();
}

static inline int32_t
DigitValue(char character)
{
	int32_t value = static_cast<int8_t>(character);
	if (value > 95)
		value -= 32;
	value -= 48;
	if (value > 9)
		value -= 7;
	return value;
}

static void
RecordPortError(int error)
{
	std::lock_guard<std::mutex> lock(sPortLock);
	if (sPortError == 0 && !sClosedByQuit)
		sPortError = error != 0 ? error : EIO;
}

// Where errno lies for this thread, found once: a write comes at every line
// end, and clears errno first so that a failure is told by its own cause.
static inline int*
ThreadErrno()
{
	static thread_local int* sErrno = nullptr;
	if (sErrno == nullptr)
		sErrno = &errno;
	return sErrno;
}

// One fwrite of the given bytes. Quit is never kept waiting for a printer that
// takes its time: a Quit that comes meanwhile leaves the close to us, right
// after the write.
static int32_t
WriteToPort(const char* bytes, int32_t count)
{
	if (!sHeld)
		sPortInUse.store(true);
	FILE* port = Port().load();
	size_t written = 0;
	if (port != nullptr) {
		// Only this thread uses the stream while the port is marked in use
		// (Quit leaves the close to us then), so the stream's own lock,
		// taken and dropped at every line end, is not needed.
		*ThreadErrno() = 0;
		written = fwrite_unlocked(bytes, 1, static_cast<size_t>(count), port);
		// On an unbuffered stream the library may count a failed write as
		// done; the stream's error flag still tells.
		if (written != static_cast<size_t>(count) || ferror_unlocked(port) != 0)
			RecordPortError(errno);
	}
	if (!sHeld)
		ReleasePort();
	return static_cast<int32_t>(written);
}

// The flushed bytes are not cleared: nothing reads the buffer past
// LineLenght, and clearing them cost a second pass over every byte.
static void
Flush()
{
	err = WriteToPort(LineBuffer, LineLenght);
	LineLenght = 0;
}

// The next byte does not fit: send what is staged and go on with the same line.
static void
FlushFullBuffer()
{
	sFlushedEarly += LineLenght;
	Flush();
}

static inline void
StageByte(int32_t value)
{
	if (LineLenght >= kLineBufferSize)
		FlushFullBuffer();
	LineBuffer[LineLenght++] = static_cast<char>(value);
}

// Hands the full value (16 x high + low) of each pair of the code string to
// take, in order, until the terminator or until take returns false. One space
// may stand before a pair; a pair cut short by the terminator gives nothing,
// and nothing past the terminator is read.
template<typename Take>
static inline void
ForEachPair(const char* codeString, Take take)
{
	const char* p = codeString;
	while (*p != '\0') {
		if (*p == ' ') {
			p++;
			if (*p == '\0')
				break;
		}
		int32_t high = DigitValue(*p++);
		if (*p == '\0')
			break;
		int32_t low = DigitValue(*p++);
		if (!take(16 * high + low))
			break;
	}
}

void
HexToBuffer(const char* codeString)
{
	ForEachPair(codeString, [](int32_t value) {
		ASC = value;
		StageByte(ASC);
		return true;
	});
}

void
WriteOneByte()
{
	StageByte(ASC);
}

void
PrintLineBuffer()
{
	Flush();
	sFlushedEarly = 0;
}

void
DecodeCodeString(const char* codeString, CodeBytes& code)
{
	code.text = codeString;
	code.count = 0;
	code.decoded = true;
	ForEachPair(codeString, [&code](int32_t value) {
		if (code.count == static_cast<int32_t>(sizeof(code.bytes))) {
			code.decoded = false;
			return false;
		}
		code.lastValue = value;
		code.bytes[code.count++] = static_cast<uint8_t>(value);
		return true;
	});
}

void
StageCodeAtLimit(const CodeBytes& code)
{
	if (!code.decoded) {
		HexToBuffer(code.text);
		return;
	}
	for (int32_t i = 0; i < code.count; i++)
		StageByte(code.bytes[i]);
	if (code.count > 0)
		ASC = code.lastValue;
}

void
StageRunAtLimit(const char* bytes, int32_t count)
{
	if (count <= 0)
		return;
	ASC = static_cast<int8_t>(bytes[count - 1]);
	int32_t done = 0;
	while (done < count) {
		if (LineLenght == kLineBufferSize)
			FlushFullBuffer();
		// A stretch that would fill the whole buffer, with more of the run
		// after it, would only be staged to be flushed at once: it goes out
		// from where it lies, the same write without the copy.
		if (LineLenght == 0 && count - done > kLineBufferSize) {
			sFlushedEarly += kLineBufferSize;
			err = WriteToPort(bytes + done, kLineBufferSize);
			done += kLineBufferSize;
			continue;
		}
		int32_t piece = std::min(count - done, kLineBufferSize - LineLenght);
		memcpy(LineBuffer + LineLenght, bytes + done, static_cast<size_t>(piece));
		LineLenght += piece;
		done += piece;
	}
}

void
StageRepeated(char byte, int32_t count)
{
	int32_t done = 0;
	while (done < count) {
		if (LineLenght == kLineBufferSize)
			FlushFullBuffer();
		int32_t piece = std::min(count - done, kLineBufferSize - LineLenght);
		memset(LineBuffer + LineLenght, byte, static_cast<size_t>(piece));
		LineLenght += piece;
		done += piece;
	}
}

int64_t
StagedColumn()
{
	return sFlushedEarly + LineLenght;
}

void
HoldPrinterPort()
{
	if (sHeld)
		return;
	sPortInUse.store(true);
	sHeld = true;
}

void
ReleasePrinterPort()
{
	if (!sHeld)
		return;
	sHeld = false;
	ReleasePort();
}

bool
OpenPrinterPort(const char* path)
{
	FILE* port = PrinterPortOpener(path);
	std::lock_guard<std::mutex> lock(sPortLock);
	Port().store(port);
	sClosedByQuit = false;
	sPortError = 0;
	return port != nullptr;
}

void
ClosePrinterPort()
{
	FILE* port;
	{
		std::lock_guard<std::mutex> lock(sPortLock);
		port = Port().exchange(nullptr);
	}
	// The job's own thread is the only writer, so no write is under way here.
	if (port != nullptr && fclose(port) != 0)
		RecordPortError(errno);
}

void
QuitClosePrinterPort()
{
	std::lock_guard<std::mutex> lock(sPortLock);
	FILE* port = Port().exchange(nullptr);
	if (port == nullptr)
		return;
	sClosedByQuit = true;
	// A write under way may be waiting for a printer that stopped reading;
	// it gives up now and leaves the close to us or to itself, as below.
	if (PrinterPortAbandoner != nullptr)
		PrinterPortAbandoner(port);
	sCloseAfterUse.store(port);
	if (!sPortInUse.load())
		CloseAfterUse();
}

bool
PrinterPortClosedByQuit()
{
	std::lock_guard<std::mutex> lock(sPortLock);
	return sClosedByQuit;
}

int
PrinterPortError()
{
	std::lock_guard<std::mutex> lock(sPortLock);
	return sPortError;
}
