#include "ReadAhead.h"

#include <algorithm>

#include <pthread.h>

// A reader that finds every slot in use waits until this many are free (at
// most all but the job's), so that it is woken once for several pieces, not
// once for each.
static const int64_t kSlotsFreedAtOnce = 6;

ReadAhead::ReadAhead(char* buffer, size_t bufferSize, size_t pieceSize)
	:
	fBuffer(buffer),
	fSlots(static_cast<int64_t>(bufferSize / pieceSize)),
	fPieceSize(pieceSize),
	fResults(new ssize_t[bufferSize / pieceSize])
{
}

ReadAhead::~ReadAhead()
{
	Stop();
	{
		std::lock_guard<std::mutex> lock(fLock);
		fQuitting = true;
		fChanged.notify_all();
	}
	if (fThread.joinable())
		fThread.join();
}

void
ReadAhead::Start(const piece_read& read)
{
	std::lock_guard<std::mutex> lock(fLock);
	fReadPiece = read;
	fPiecesRead = 0;
	fPiecesTaken = 0;
	fReading = true;
	fEnded = false;
	if (!fThread.joinable())
		fThread = std::thread(&ReadAhead::_Run, this);
	fChanged.notify_all();
}

const char*
ReadAhead::Next(ssize_t* result)
{
	std::unique_lock<std::mutex> lock(fLock);
	int64_t piece = fPiecesTaken;
	fChanged.wait(lock, [this, piece] { return fPiecesRead > piece; });
	int64_t slot = piece % fSlots;
	*result = fResults[slot];
	fPiecesTaken = piece + 1;
	if (fReaderWaitsFor > 0 && fPiecesTaken >= fReaderWaitsFor) {
		fReaderWaitsFor = 0;
		fChanged.notify_all();
	}
	return fBuffer + static_cast<size_t>(slot) * fPieceSize;
}

void
ReadAhead::Stop()
{
	std::unique_lock<std::mutex> lock(fLock);
	fReading = false;
	fChanged.wait(lock, [this] { return !fUnderWay; });
}

void
ReadAhead::_Run()
{
	pthread_setname_np(pthread_self(), "quillon-read");
	std::unique_lock<std::mutex> lock(fLock);
	for (;;) {
		// The slot of the next piece is free once the job has taken the
		// piece after the one that was read into it last.
		fChanged.wait(lock, [this] {
			if (fQuitting || !fReading || fEnded)
				return fQuitting;
			int64_t free = fPiecesTaken - (fPiecesRead - fSlots + 1);
			if (free > 0)
				return true;
			fReaderWaitsFor = fPiecesTaken - free
				+ std::min(kSlotsFreedAtOnce, fSlots - 1);
			return false;
		});
		if (fQuitting)
			return;
		int64_t slot = fPiecesRead % fSlots;
		fUnderWay = true;
		lock.unlock();
		ssize_t result = fReadPiece(fBuffer + static_cast<size_t>(slot) * fPieceSize, fPieceSize);
		lock.lock();
		fUnderWay = false;
		fResults[slot] = result;
		fPiecesRead++;
		fEnded = result <= 0;
		fChanged.notify_all();
	}
}
