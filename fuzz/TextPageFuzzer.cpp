// The text page printer with any settings it reads and any file: the filter
// mode, tab size, top blank lines, page length and the three page codes come
// from the first bytes of the input, the file from the rest. The file is
// printed twice, once whole and once in pieces of a size the input chooses;
// the two outputs must be equal, as a file too large for the buffer must
// print as if it had fitted.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "LineBuffer.h"
#include "PrintJob.h"
#include "SettingsStore.h"
#include "TextPagePrinter.h"

namespace {

std::string sOutput;
const uint8_t* sFile = nullptr;
size_t sFileSize = 0;
size_t sFileDone = 0;
size_t sPieceSize = 1;

ssize_t
Record(void*, const char* bytes, size_t size)
{
	sOutput.append(bytes, size);
	return static_cast<ssize_t>(size);
}

int32_t
NextPiece()
{
	size_t piece = std::min(sPieceSize, sFileSize - sFileDone);
	memcpy(FileBuffer, sFile + sFileDone, piece);
	sFileDone += piece;
	return static_cast<int32_t>(piece);
}

std::string
Print(size_t pieceSize)
{
	sOutput.clear();
	cookie_io_functions_t functions = {};
	functions.write = Record;
	PrinterPort = fopencookie(nullptr, "w", functions);
	setvbuf(PrinterPort, nullptr, _IONBF, 0);
	LineLenght = 0;
	sPieceSize = pieceSize;
	sFileDone = 0;
	FileLenght = NextPiece();
	PrintTextPages(sFileDone < sFileSize ? file_piece_reader(NextPiece) : nullptr);
	fclose(PrinterPort);
	PrinterPort = nullptr;
	return sOutput;
}

// A code string of up to 15 characters from the input.
std::string
TakeText(const uint8_t*& data, size_t& size)
{
	if (size == 0)
		return "";
	size_t length = std::min<size_t>(data[0] & 15, size - 1);
	std::string text(reinterpret_cast<const char*>(data + 1), length);
	data += 1 + length;
	size -= 1 + length;
	return text.c_str();  // up to the first NUL, as a setting ends there
}

}  // namespace

extern "C" int
LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
	if (size < 6 || size > 64 * 1024)
		return 0;
	static const char* const kFilters[] = { "NO", "YES", "Yes", "ALL", "All", "" };
	const char* filter = kFilters[data[0] % 6];
	int32_t tabSize = static_cast<int8_t>(data[1]) % 20;
	int32_t topBlankLines = data[2] % 8;
	int32_t paperY = static_cast<int8_t>(data[3]);
	size_t pieceSize = 1 + data[4] % 64 + (data[4] >= 192 ? kFileBufferSize / 2 : 0);
	data += 5;
	size -= 5;
	std::string loadPaper = TakeText(data, size);
	std::string newLine = TakeText(data, size);
	std::string ejectPaper = TakeText(data, size);
	sFile = data;
	sFileSize = size;

	{
		std::lock_guard<std::mutex> lock(gStoreLock);
		FilterCodes = filter;
		LoadPaper = loadPaper.c_str();
		NewLine = newLine.c_str();
		EjectPaper = ejectPaper.c_str();
		TopBlankLines = topBlankLines;
		TabSize = tabSize;
	}
	PaperY = paperY;

	std::string whole = Print(kFileBufferSize);
	std::string pieces = Print(pieceSize);
	if (whole != pieces)
		abort();
	return 0;
}
