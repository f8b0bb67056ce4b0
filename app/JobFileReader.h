// How a print job reads its files: each whole when it fits in FileBuffer,
// else in pieces read ahead on a thread of their own while the text page
// printer goes on, converted to the printer's character set when one is
// chosen. The job owns one.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include <Entry.h>

#include "JobCharacterSet.h"
#include "PrintJob.h"
#include "ReadAhead.h"
#include "TextPagePrinter.h"

class JobFileReader {
public:
	// At the start of a job: reads QUILLON_CHARSET; false when it names no
	// set this program knows, problem then holds the alert's text.
	bool BeginJob(std::string* problem);

	// Opens the next file of the job on FileObject.
	bool Open(const entry_ref& ref);
	// Reads the first piece of the open file into FileBuffer and FileLenght:
	// the whole file when it fits. Returns the reader of the rest, or null
	// when nothing is left.
	file_piece_source ReadFirstPiece();
	// After each file: the name a failed read of it is told by, or "".
	std::string EndFile(const std::string& name);

	// The first read that failed in this job (an errno value), or 0.
	// Why the last Open failed, and the first read of the current file that
	// failed (errno values), or 0.
	int OpenError() const { return fOpenError; }
	int FileReadError() const { return fFileReadError; }
	// Bytes of the current file read so far; safe from any thread.
	int64_t FileBytesRead() const { return fFileRead.load(std::memory_order_relaxed); }
	// What the job could not print as it was, for one alert; "" when nothing.
	std::string CharacterSetReport() const { return fCharacterSet.Report(); }

	// A file that fits in FileBuffer is read whole, with one read. One that
	// does not is read in pieces of a ninth of the buffer: a piece then
	// stays in the processor's cache from the read to the write, and the
	// pieces still meet wherever pieces of the whole buffer would. Past its
	// first 2 MB it is read ahead, nine pieces going round the buffer; a
	// file not much larger than the buffer is over before a thread would
	// pay for itself. Raw data is only copied through, and faster from the
	// job's own cache, where its own read leaves it, than from another
	// processor's: it is not read ahead.
	static const size_t kStreamedPiece = kFileBufferSize / 9;
	static const size_t kReadAheadFrom = 2 * 1000 * 1000;

private:
	int32_t ReadPiece();
	void MakeResident(size_t size);

	// Whether the current file may have more to read after the piece in
	// FileBuffer.
	bool fMoreToRead = false;
	bool fStreamed = false;  // read in pieces smaller than FileBuffer
	size_t fSizeHint = 0;    // the file's size as its directory entry says
	int fFileReadError = 0;
	int fOpenError = 0;
	std::atomic<int64_t> fFileRead{0};
	JobCharacterSet fCharacterSet;
	bool fConverting = false;
	ReadAhead fAhead{FileBuffer, kFileBufferSize, kStreamedPiece};
	bool fAheadStarted = false;
	size_t fStreamedSoFar = 0;  // bytes of the file read so far
	bool fRawData = false;      // the filter sends the file as it is
	const char* fPiece = FileBuffer;  // where the piece read last lies
};
