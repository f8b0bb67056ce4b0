#include "ReadAhead.h"

#include <algorithm>
#include <chrono>

#include <pthread.h>

// A reader that finds every slot in use looks again after a while, rather
// than have the job wake it: waking a thread on another processor costs the
// waker more than a read, and the job's thread is the one that is busy. The
// slots hold several times the first while of the job's work; the while
// doubles as long as they stay in use, up to the last, so that a job that
// waits for a slow printer is not looked at thousands of times a second.
// Once the reader waits that long, the job wakes it when it takes a piece:
// a job that stalled a while empties the slots much faster than that.
static const std::chrono::microseconds kLookAgainFirst(100);
static const std::chrono::microseconds kLookAgainLast(10000);
static const std::chrono::microseconds kWokenFrom(800);

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
	if (fReaderWaitsLong)
		fChanged.notify_all();
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
	std::chrono::microseconds lookAgain = kLookAgainFirst;
	for (;;) {
		if (fQuitting)
			return;
		if (!fReading || fEnded) {
			fChanged.wait(lock);
			continue;
		}
		// The slot of the next piece is free once the job has taken the
		// piece after the one that was read into it last.
		if (fPiecesTaken - (fPiecesRead - fSlots + 1) <= 0) {
			fReaderWaitsLong = lookAgain >= kWokenFrom;
			fChanged.wait_for(lock, lookAgain);
			fReaderWaitsLong = false;
			lookAgain = std::min(lookAgain * 2, kLookAgainLast);
			continue;
		}
		lookAgain = kLookAgainFirst;
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
