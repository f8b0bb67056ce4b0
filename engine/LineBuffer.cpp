#include "LineBuffer.h"

#include "JobProgress.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>

#include <stdio_ext.h>

char LineBuffer[kLineBufferSize];
int32_t LineLenght = 0;
int32_t ASC = 0;
int32_t err = 0;
FILE* PrinterPort = nullptr;


int64_t gFlushedEarly = 0;
bool gPortHeld = false;

// The port's state, shared between the print job and the window's Quit. The
// lock guards opening and closing; a write takes no lock, since one comes at
// every line end: it marks the port in use and then reads it, and Quit clears
// the port and then looks at the mark, so that (all of these being sequentially
// consistent) either the write sees no port or Quit sees the write under way
// and leaves the close to it. A text pass holds the mark across all of its
// writes (gPortHeld), so that a line end costs a load instead of two stores.
static std::mutex sPortLock;
static std::atomic<bool> sPortInUse{false};
static std::atomic<FILE*> sCloseAfterUse{nullptr};  // Quit asked to close it
static bool sClosedByQuit = false;
static bool sCancelled = false;  // the job was cancelled, the program goes on
static int32_t sPagesWhenAbandoned = 0;
static int sPortError = 0;
static port_abandoner sAbandon = nullptr;  // what Quit calls on the port
// The port the job is closing: its last bytes may still be on their way (a
// network printer has them only once it has acknowledged them), and Quit or
// Cancel cut that short as they cut a write.
static FILE* sClosing = nullptr;

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

// Arithmetic on any byte, not a lookup of hex digits: a byte that is no hex
// digit still gives a value, and codes staged from such strings depend on it,
// so it is kept so on purpose.
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

void
RecordPortError(int error)
{
	std::lock_guard<std::mutex> lock(sPortLock);
	if (sPortError == 0 && !sClosedByQuit && !sCancelled)
		sPortError = error != 0 ? error : EIO;
}

// One fwrite of the given bytes. Quit is never kept waiting for a printer that
// takes its time: a Quit that comes meanwhile leaves the close to us, right
// after the write.
int32_t
WriteToPort(const char* bytes, int32_t count)
{
	if (gPortHeld)
		return WriteWhileInUse(bytes, count);
	sPortInUse.store(true);
	int32_t written = WriteWhileInUse(bytes, count);
	ReleasePort();
	return written;
}

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
	gFlushedEarly += LineLenght;
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
			gFlushedEarly += kLineBufferSize;
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
	return gFlushedEarly + LineLenght;
}

void
HoldPrinterPort()
{
	if (gPortHeld)
		return;
	sPortInUse.store(true);
	gPortHeld = true;
}

void
ReleasePrinterPort()
{
	if (!gPortHeld)
		return;
	gPortHeld = false;
	ReleasePort();
}

bool
UsePrinterPort(FILE* port, port_abandoner abandon)
{
	std::lock_guard<std::mutex> lock(sPortLock);
	Port().store(port);
	sAbandon = abandon;
	sClosedByQuit = false;
	sCancelled = false;
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
		sClosing = port;
	}
	// The job's own thread is the only writer, so no write is under way here.
	if (port != nullptr && fclose(port) != 0)
		RecordPortError(errno);
	std::lock_guard<std::mutex> lock(sPortLock);
	sClosing = nullptr;
}

// Quit and Cancel take the port away alike; only what the job says after
// differs.
static bool
AbandonPort(bool quitting)
{
	bool inUse;
	{
		std::lock_guard<std::mutex> lock(sPortLock);
		FILE* port = Port().exchange(nullptr);
		// A port the job is closing is given up once: its close stops
		// waiting and ends, and closes it itself.
		FILE* closing = port == nullptr && !sClosedByQuit && !sCancelled ? sClosing : nullptr;
		if (port == nullptr && closing == nullptr)
			return false;
		(quitting ? sClosedByQuit : sCancelled) = true;
		sPagesWhenAbandoned = gJobProgress.pages.load(std::memory_order_relaxed);
		// A write under way may be waiting for a printer that stopped
		// reading; it gives up now and leaves the close to us or to itself,
		// as below.
		if (sAbandon != nullptr)
			sAbandon(port != nullptr ? port : closing);
		if (closing != nullptr)
			return true;
		sCloseAfterUse.store(port);
		inUse = sPortInUse.load();
	}
	// Closed with the lock free: the close of a CUPS queue's stream asks
	// whether the job was abandoned, which takes the lock.
	if (!inUse)
		CloseAfterUse();
	return true;
}

void
QuitClosePrinterPort()
{
	AbandonPort(true);
}

bool
CancelClosePrinterPort()
{
	return AbandonPort(false);
}

size_t
PrinterPortPending()
{
	// Under the lock a port that is there is not being closed by Quit.
	std::lock_guard<std::mutex> lock(sPortLock);
	FILE* port = Port().load();
	return port != nullptr ? __fpending(port) : 0;
}

bool
PrinterPortClosedByQuit()
{
	std::lock_guard<std::mutex> lock(sPortLock);
	return sClosedByQuit;
}

bool
PrinterPortAbandoned()
{
	std::lock_guard<std::mutex> lock(sPortLock);
	return sClosedByQuit || sCancelled;
}

int32_t
PagesWhenPortAbandoned()
{
	std::lock_guard<std::mutex> lock(sPortLock);
	return sPagesWhenAbandoned;
}

int
PrinterPortError()
{
	std::lock_guard<std::mutex> lock(sPortLock);
	return sPortError;
}
