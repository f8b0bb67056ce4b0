// A plain file's writes past its first megabytes, on a thread of their own.
// For ports/ alone.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

#include <pthread.h>

#include "PortStream.h"
#include "PortStreamParts.h"

namespace port_stream {

// A plain file, past its first megabytes, is written on a thread of its own,
// so that the system's part of each write, copying the bytes into the file's
// pages, runs on a second processor beside the job's pass over the lines
// after them. The stream's writes are gathered into large blocks, which go
// out whole and in order; the first failure ends the file there, with
// nothing written after the gap, and the next write handed over or the close
// tells it.
class WriteBehind {
public:
	explicit WriteBehind(PortStream& stream)
		:
		fStream(stream)
	{
	}

	~WriteBehind() { Finish(); }

	// Takes the bytes; false, with errno set, once an earlier block failed.
	bool Queue(const char* bytes, size_t size)
	{
		while (size > 0) {
			if (fFilling == nullptr && !_TakeFreeBlock())
				return false;
			size_t piece = std::min(size, kBlockSize - fFilling->size);
			memcpy(fFilling->bytes.get() + fFilling->size, bytes, piece);
			fFilling->size += piece;
			bytes += piece;
			size -= piece;
			if (fFilling->size == kBlockSize)
				_HandOver();
		}
		return true;
	}

	// Waits until every byte is written; the first failure's errno, or 0.
	int Finish()
	{
		if (fFilling != nullptr && fFilling->size > 0)
			_HandOver();
		std::unique_lock<std::mutex> lock(fLock);
		fFinishing = true;
		fChanged.notify_all();
		lock.unlock();
		if (fThread.joinable())
			fThread.join();
		return fError;
	}

private:
	struct Block {
		std::unique_ptr<char[]> bytes;
		size_t size = 0;
	};

	// A free block is the caller's alone until it is handed over.
	bool _TakeFreeBlock()
	{
		std::unique_lock<std::mutex> lock(fLock);
		if (fCount == kBlocks && fError == 0) {
			fFillerWaits = true;
			fChanged.wait(lock, [this] { return fCount < kBlocks || fError != 0; });
			fFillerWaits = false;
		}
		if (fError != 0) {
			errno = fError;
			return false;
		}
		if (!fThread.joinable())
			fThread = std::thread(&WriteBehind::_Run, this);
		fFilling = &fBlocks[(fFirst + fCount) % kBlocks];
		if (fFilling->bytes == nullptr) {
			fFilling->bytes.reset(new char[kBlockSize]);
			make_resident(fFilling->bytes.get(), kBlockSize);
		}
		fFilling->size = 0;
		return true;
	}

	void _HandOver()
	{
		std::lock_guard<std::mutex> lock(fLock);
		fFilling = nullptr;
		fCount++;
		if (fWriterWaits && fCount >= kWakeWriterAt)
			fChanged.notify_all();
	}

	void _Run()
	{
		pthread_setname_np(pthread_self(), "quillon-write");
		std::unique_lock<std::mutex> lock(fLock);
		for (;;) {
			if (fCount == 0 && !fFinishing) {
				fWriterWaits = true;
				fChanged.wait(lock, [this] { return fCount >= kWakeWriterAt || fFinishing; });
				fWriterWaits = false;
			}
			if (fCount == 0)
				return;
			Block& block = fBlocks[fFirst];
			bool failed = fError != 0;
			lock.unlock();
			int error = 0;
			if (!failed && WriteAll(fStream, block.bytes.get(), block.size) < block.size)
				error = errno;
			lock.lock();
			if (error != 0 && fError == 0)
				fError = error;
			fFirst = (fFirst + 1) % kBlocks;
			fCount--;
			if (fFillerWaits)
				fChanged.notify_all();
		}
	}

	// Eight blocks of 256 KB: room for the job to run ahead while a write
	// takes long. A writer that has written all it was given waits for half
	// of them, so that waking it, which costs more than a write, comes once
	// for several blocks.
	static const size_t kBlockSize = 256 * 1024;
	static const int kBlocks = 8;
	static const int kWakeWriterAt = kBlocks / 2;

	PortStream& fStream;
	std::mutex fLock;
	std::condition_variable fChanged;
	Block fBlocks[kBlocks];
	Block* fFilling = nullptr;  // the writer's, not yet handed over
	int fFirst = 0;   // the oldest block handed over and not yet written
	int fCount = 0;   // blocks handed over and not yet written
	bool fFinishing = false;
	bool fWriterWaits = false;  // for kWakeWriterAt blocks
	bool fFillerWaits = false;  // for a free block
	int fError = 0;
	std::thread fThread;
};


}  // namespace port_stream
