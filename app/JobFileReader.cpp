#include "JobFileReader.h"

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

// Reads as much of the file as FileBuffer holds, to the end of the file: its
// size is only a hint (a pipe or a file in /proc says 0).
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
	ssize_t read = readRaw(FileBuffer, kFileBufferSize);
	fMoreToRead = read > 0;
	return read > 0 ? static_cast<int32_t>(read) : 0;
}

file_piece_reader
JobFileReader::ReadFirstPiece()
{
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
