#include "JobFileReader.h"

#include <algorithm>
#include <cerrno>
#include <mutex>

#include <PortStream.h>
#include <PrinterPorts.h>

#include "LineBuffer.h"
#include "PrintJob.h"
#include "QuillonApplication.h"
#include "SettingsStore.h"
#include "TextPagePrinter.h"

bool
JobFileReader::BeginJob(std::string* problem)
{
	if (!fCharacterSet.Choose(problem))
		return false;
	return true;
}

bool
JobFileReader::Open(const entry_ref& ref)
{
	fFileReadError = 0;
	fFileRead.store(0, std::memory_order_relaxed);
	if (status_t status = FileObject.SetTo(&ref, B_READ_ONLY); status != B_OK) {
		fOpenError = status < 0 ? -status : EIO;
		return false;
	}
	fOpenError = 0;
	fConverting = fCharacterSet.BeginFile();
	{
		std::lock_guard<std::mutex> lock(gStoreLock);
		fRawData = FilterSendsRawData(FilterCodes);
	}
	return true;
}

static_assert(kFileBufferSize % JobFileReader::kStreamedPiece == 0
	&& kFileBufferSize / JobFileReader::kStreamedPiece >= 2);

// Reads the next piece, to the end of the file: the size is only a hint (a
// pipe or a file in /proc says 0).
int32_t
JobFileReader::ReadPiece()
{
	if (!fMoreToRead)
		return 0;
	// Once Quit or Cancel took the output there is nothing left to read for.
	if (PrinterPortAbandoned()) {
		fMoreToRead = false;
		return 0;
	}
	auto readRaw = [this](char* buffer, size_t count) {
		ssize_t read = 0;
		{
			WaitingCall waiting;
			// A file that claims no size (a pipe) may come slowly: it is read
			// in parts, so the status bar can tell how much has come. Each
			// part is read whole, as one read would be, and a part cut short
			// (the end, or a failure) ends the piece.
			const size_t part = fSizeHint == 0 ? std::min<size_t>(count, 64 * 1024) : count;
			while (static_cast<size_t>(read) < count) {
				size_t wanted = std::min(part, count - static_cast<size_t>(read));
				ssize_t got = FileObject.Read(buffer + read, wanted);
				if (got < 0 && read == 0)
					read = got;
				if (got <= 0)
					break;
				read += got;
				fFileRead.fetch_add(got, std::memory_order_relaxed);
				if (static_cast<size_t>(got) < wanted)
					break;
			}
		}
		if (read < 0) {
			if (fFileReadError == 0)
				fFileReadError = static_cast<int>(-read);
		}
		return read;
	};
	if (fConverting)
		return fCharacterSet.ReadPiece(readRaw, &fMoreToRead);
	// A read cut short by a failure gives what came before it; the next
	// one tells whether the failure lasts. Only the end of the file, or a
	// failure with nothing read, ends the file.
	ssize_t read;
	if (fStreamed && !fRawData && fStreamedSoFar >= kReadAheadFrom) {
		// The piece just printed is done with: the first read ahead may
		// go to the start of the buffer, where it lay.
		if (!fAheadStarted) {
			MakeResident(kFileBufferSize);
			fAhead.Start(readRaw);
			fAheadStarted = true;
		}
		fPiece = fAhead.Next(&read);
	} else {
		size_t count = fStreamed ? kStreamedPiece : kFileBufferSize;
		MakeResident(std::min(count, fSizeHint));
		read = readRaw(FileBuffer, count);
		fPiece = FileBuffer;
	}
	fMoreToRead = read > 0;
	if (read > 0)
		fStreamedSoFar += static_cast<size_t>(read);
	return read > 0 ? static_cast<int32_t>(read) : 0;
}

file_piece_source
JobFileReader::ReadFirstPiece()
{
	off_t size = 0;
	if (FileObject.GetSize(&size) != B_OK || size < 0)
		size = 0;
	fSizeHint = static_cast<size_t>(size);
	// Pieces read ahead go round the whole buffer; a converted file is
	// read by the conversion, a piece at a time.
	fStreamed = size > kFileBufferSize && !fConverting;
	fStreamedSoFar = 0;
	fMoreToRead = true;
	FileLenght = ReadPiece();
	if (!fMoreToRead)
		return nullptr;
	return [this]() {
		int32_t length = ReadPiece();
		return file_piece{fPiece, length};
	};
}

// The part of the buffer reads are expected to fill is made resident at once,
// the first time it is needed.
void
JobFileReader::MakeResident(size_t size)
{
	static size_t sResident = 0;
	if (size > sResident) {
		make_resident(FileBuffer + sResident, size - sResident);
		sResident = size;
	}
}

std::string
JobFileReader::EndFile(const std::string& name)
{
	// No read of this file may still be under way when the next is opened.
	if (fAheadStarted) {
		fAhead.Stop();
		fAheadStarted = false;
	}
	if (fConverting)
		fCharacterSet.EndFile(name);
	return fFileReadError != 0 ? name : std::string();
}
