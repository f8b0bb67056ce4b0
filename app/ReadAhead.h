// A large file read ahead on a thread of its own. Its pieces go round the
// file buffer, several there at a time, and the job prints each where it was
// read: the copy out of the system's cache then runs on a second processor,
// and no byte is copied twice. The reads are the same, in the same order, as
// when the job reads each piece itself.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include <sys/types.h>

class ReadAhead {
public:
	typedef std::function<ssize_t(char*, size_t)> piece_read;

	// Pieces of this size, as many as the buffer holds (two at least: the
	// job prints one while the next is read), go round it.
	ReadAhead(char* buffer, size_t bufferSize, size_t pieceSize);
	~ReadAhead();

	// Starts reading a file with read, piece after piece, from the start of
	// the buffer, until a read gives nothing; the first piece lies there.
	void Start(const piece_read& read);
	// Waits for the next piece and returns where it lies; result is what its
	// read returned. The piece before it may be read over from now on.
	const char* Next(ssize_t* result);
	// Ends the file: waits for a read under way and drops what was read.
	void Stop();

private:
	void _Run();

	char* const fBuffer;
	const int64_t fSlots;
	const size_t fPieceSize;

	std::mutex fLock;
	std::condition_variable fChanged;
	std::thread fThread;
	piece_read fReadPiece;
	std::unique_ptr<ssize_t[]> fResults;  // of the read into each slot
	bool fReading = false;   // a file is being read, from Start to Stop
	bool fEnded = false;     // its last read is done
	bool fUnderWay = false;  // a read is under way
	bool fQuitting = false;
	int64_t fPiecesRead = 0;
	int64_t fPiecesTaken = 0;  // handed to the job
	bool fReaderWaitsLong = false;  // for long enough to be woken
};
