// How a print job reads its files: each whole when it fits in FileBuffer,
// else in pieces as the text page printer goes on (pieces of a ninth of the
// buffer, which stay in the processor's cache), converted to the
// printer's character set when one is chosen. The job owns one.
#pragma once

#include <cstdint>
#include <string>

#include <Entry.h>

#include "JobCharacterSet.h"
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
	file_piece_reader ReadFirstPiece();
	// After each file: the name a failed read of it is told by, or "".
	std::string EndFile(const std::string& name);

	// The first read that failed in this job (an errno value), or 0.
	int ReadError() const { return fReadError; }
	// What the job could not print as it was, for one alert; "" when nothing.
	std::string CharacterSetReport() const { return fCharacterSet.Report(); }

private:
	int32_t ReadPiece();

	// Whether the current file may have more to read after the piece in
	// FileBuffer, and the first read that failed in this job.
	bool fMoreToRead = false;
	bool fStreamed = false;  // read in pieces smaller than FileBuffer
	size_t fSizeHint = 0;    // the file's size as its directory entry says
	int fReadError = 0;
	int fReadErrorBefore = 0;
	JobCharacterSet fCharacterSet;
	bool fConverting = false;
};
