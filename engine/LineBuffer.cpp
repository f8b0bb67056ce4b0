#include "LineBuffer.h"

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

// Bytes of the current line that went out early because the buffer was full.
static int64_t sFlushedEarly = 0;

// The port's state, shared between the print job and the window's Quit.
static std::mutex sPortLock;
static bool sPortInUse = false;     // a write is under way, without the lock
static FILE* sCloseAfterUse = nullptr;  // Quit asked to close it meanwhile
static bool sClosedByQuit = false;
static int sPortError = 0;

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
	if (sPortError == 0)
		sPortError = error != 0 ? error : EIO;
}

// One fwrite of the given bytes. The lock is not held during the write, so a
// printer that takes its time never keeps the window's Quit waiting; a Quit
// that comes meanwhile leaves the close to us, right after the write.
static int32_t
WriteToPort(const char* bytes, int32_t count)
{
	FILE* port;
	{
		std::lock_guard<std::mutex> lock(sPortLock);
		port = PrinterPort;
		if (port == nullptr)
			return 0;
		sPortInUse = true;
	}

	errno = 0;
	size_t written = fwrite(bytes, 1, static_cast<size_t>(count), port);
	int error = errno;

	std::lock_guard<std::mutex> lock(sPortLock);
	sPortInUse = false;
	if (written != static_cast<size_t>(count) && sPortError == 0)
		sPortError = error != 0 ? error : EIO;
	if (sCloseAfterUse == port) {
		fclose(port);
		sCloseAfterUse = nullptr;
	}
	return static_cast<int32_t>(written);
}

static void
Flush()
{
	err = WriteToPort(LineBuffer, LineLenght);
	memset(LineBuffer, 0, static_cast<size_t>(LineLenght));
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

void
HexToBuffer(const char* codeString)
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
		ASC = 16 * high + low;
		StageByte(ASC);
	}
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
		if (code.count == static_cast<int32_t>(sizeof(code.bytes))) {
			code.decoded = false;
			return;
		}
		code.lastValue = 16 * high + low;
		code.bytes[code.count++] = static_cast<uint8_t>(code.lastValue);
	}
}

void
StageCode(const CodeBytes& code)
{
	if (!code.decoded) {
		HexToBuffer(code.text);
		return;
	}
	if (code.count == 0)
		return;
	if (LineLenght + code.count <= kLineBufferSize) {
		memcpy(LineBuffer + LineLenght, code.bytes, static_cast<size_t>(code.count));
		LineLenght += code.count;
	} else {
		for (int32_t i = 0; i < code.count; i++)
			StageByte(code.bytes[i]);
	}
	ASC = code.lastValue;
}

void
StageRun(const char* bytes, int32_t count)
{
	if (count <= 0)
		return;
	ASC = static_cast<int8_t>(bytes[count - 1]);
	while (count > 0) {
		if (LineLenght == kLineBufferSize)
			FlushFullBuffer();
		int32_t room = kLineBufferSize - LineLenght;
		int32_t piece = count < room ? count : room;
		memcpy(LineBuffer + LineLenght, bytes, static_cast<size_t>(piece));
		LineLenght += piece;
		bytes += piece;
		count -= piece;
	}
}

void
StageRepeated(char byte, int32_t count)
{
	while (count > 0) {
		if (LineLenght == kLineBufferSize)
			FlushFullBuffer();
		int32_t room = kLineBufferSize - LineLenght;
		int32_t piece = count < room ? count : room;
		memset(LineBuffer + LineLenght, byte, static_cast<size_t>(piece));
		LineLenght += piece;
		count -= piece;
	}
}

int64_t
StagedColumn()
{
	return sFlushedEarly + LineLenght;
}

bool
OpenPrinterPort(const char* path)
{
	FILE* port = PrinterPortOpener(path);
	std::lock_guard<std::mutex> lock(sPortLock);
	PrinterPort = port;
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
		port = PrinterPort;
		PrinterPort = nullptr;
	}
	// The job's own thread is the only writer, so no write is under way here.
	if (port != nullptr && fclose(port) != 0)
		RecordPortError(errno);
}

void
QuitClosePrinterPort()
{
	std::lock_guard<std::mutex> lock(sPortLock);
	if (PrinterPort == nullptr)
		return;
	if (sPortInUse)
		sCloseAfterUse = PrinterPort;
	else
		fclose(PrinterPort);
	PrinterPort = nullptr;
	sClosedByQuit = true;
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
