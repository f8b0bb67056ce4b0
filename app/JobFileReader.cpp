#include "JobFileReader.h"

#include <algorithm>

#include <PortStream.h>
#include <PrinterPorts.h>

#include "LineBuffer.h"
#include "PrintJob.h"
#include "QuillonApplication.h"

bool
JobFileReader::BeginJob(std::string* problem)
{
	if (!fCharacterSet.Choose(problem))
		return false;
	fReadError = 0;
	return true;
}

bool
JobFileReader::Open(const entry_ref& ref)
{
	if (FileObject.SetTo(&ref, B_READ_ONLY) != B_OK)
		return false;
	fReadErrorBefore = fReadError;
	fConverting = fCharacterSet.BeginFile();
	return true;
}

// A file that fits in FileBuffer is read whole, with one read. One that does
// not is streamed through the start of the buffer in pieces of a ninth of it:
// a piece then stays in the processor's cache from the read to the write, the
// rest of the buffer is never touched, and the pieces still meet wherever
// pieces of the whole buffer would.
const size_t kStreamedPiece = kFileBufferSize / 9;
static_assert(kFileBufferSize % 9 == 0);

// Reads the next piece, to the end of the file: the size is only a hint (a
// pipe or a file in /proc says 0).
int32_t
JobFileReader::ReadPiece()
{
	if (!fMoreToRead)
		return 0;
	// Once Quit took the output there is nothing left to read for.
	if (PrinterPortClosedByQuit()) {
		fMoreToRead = false;
		return 0;
	}
	auto readRaw = [this](char* buffer, size_t count) {
		ssize_t read;
		{
			WaitingCall waiting;
			read = FileObject.Read(buffer, count);
		}
		if (read < 0 && fReadError == 0)
			fReadError = static_cast<int>(-read);
		return read;
	};
	if (fConverting)
		return fCharacterSet.ReadPiece(readRaw, &fMoreToRead);
	// A read cut short by a failure gives what came before it; the next
	// one tells whether the failure lasts. Only the end of the file, or a
	// failure with nothing read, ends the file.
	size_t count = fStreamed ? kStreamedPiece : kFileBufferSize;
	// The part of the buffer this read is expected to fill is made resident
	// at once, the first time it is needed.
	static size_t sResident = 0;
	size_t expected = std::min(count, fSizeHint);
	if (expected > sResident) {
		make_resident(FileBuffer + sResident, expected - sResident);
		sResident = expected;
	}
	ssize_t read = readRaw(FileBuffer, count);
	fMoreToRead = read > 0;
	return read > 0 ? static_cast<int32_t>(read) : 0;
}

file_piece_reader
JobFileReader::ReadFirstPiece()
{
	off_t size = 0;
	if (FileObject.GetSize(&size) != B_OK || size < 0)
		size = 0;
	fSizeHint = static_cast<size_t>(size);
	fStreamed = size > kFileBufferSize;
	fMoreToRead = true;
	FileLenght = ReadPiece();
	if (!fMoreToRead)
		return nullptr;
	return [this]() { return ReadPiece(); };
}

std::string
JobFileReader::EndFile(const std::string& name)
{
	if (fConverting)
		fCharacterSet.EndFile(name);
	return fReadError != fReadErrorBefore ? name : std::string();
}
