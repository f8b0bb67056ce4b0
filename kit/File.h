// A file opened for reading or writing.
#pragma once

#include <Entry.h>
#include <SupportDefs.h>

const uint32 B_READ_ONLY = 0x0000;
const uint32 B_WRITE_ONLY = 0x0001;
const uint32 B_READ_WRITE = 0x0002;

class BFile {
public:
	BFile();
	BFile(const entry_ref* ref, uint32 openMode);
	virtual ~BFile();

	// Opens the file, closing the one opened before. A directory or a missing
	// file does not open.
	status_t SetTo(const entry_ref* ref, uint32 openMode);
	status_t SetTo(const char* path, uint32 openMode);
	void Unset();
	status_t InitCheck() const { return fStatus; }

	status_t GetSize(off_t* size) const;
	// Reads from the file's current position; returns the bytes read or a
	// negative error.
	ssize_t Read(void* buffer, size_t size);

private:
	BFile(const BFile&) = delete;
	BFile& operator=(const BFile&) = delete;

	int fDescriptor;
	status_t fStatus;
};
