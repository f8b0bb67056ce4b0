#include <File.h>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

BFile::BFile()
	:
	fDescriptor(-1),
	fStatus(B_NO_INIT)
{
}

BFile::BFile(const entry_ref* ref, uint32 openMode)
	:
	BFile()
{
	SetTo(ref, openMode);
}

BFile::~BFile()
{
	Unset();
}

status_t
BFile::SetTo(const entry_ref* ref, uint32 openMode)
{
	if (ref == NULL) {
		Unset();
		return fStatus = B_BAD_VALUE;
	}
	return SetTo(ref->Path(), openMode);
}

status_t
BFile::SetTo(const char* path, uint32 openMode)
{
	Unset();
	if (path == NULL || path[0] == '\0')
		return fStatus = B_ENTRY_NOT_FOUND;

	int flags = O_CLOEXEC;
	switch (openMode & 0x3) {
		case B_WRITE_ONLY:
			flags |= O_WRONLY;
			break;
		case B_READ_WRITE:
			flags |= O_RDWR;
			break;
		default:
			flags |= O_RDONLY;
			break;
	}
	int descriptor;
	do
		descriptor = open(path, flags);
	while (descriptor < 0 && errno == EINTR);
	if (descriptor < 0)
		return fStatus = -errno;

	struct stat info;
	if (fstat(descriptor, &info) != 0) {
		status_t error = -errno;
		close(descriptor);
		return fStatus = error;
	}
	if (S_ISDIR(info.st_mode)) {
		close(descriptor);
		return fStatus = B_IS_A_DIRECTORY;
	}
	fDescriptor = descriptor;
	return fStatus = B_OK;
}

void
BFile::Unset()
{
	if (fDescriptor >= 0)
		close(fDescriptor);
	fDescriptor = -1;
	fStatus = B_NO_INIT;
}

status_t
BFile::GetSize(off_t* size) const
{
	if (size == NULL)
		return B_BAD_VALUE;
	if (fDescriptor < 0)
		return B_NO_INIT;
	struct stat info;
	if (fstat(fDescriptor, &info) != 0)
		return -errno;
	*size = info.st_size;
	return B_OK;
}

ssize_t
BFile::Read(void* buffer, size_t size)
{
	if (fDescriptor < 0)
		return B_NO_INIT;
	size_t total = 0;
	char* bytes = static_cast<char*>(buffer);
	while (total < size) {
		ssize_t count = read(fDescriptor, bytes + total, size - total);
		if (count < 0) {
			if (errno == EINTR)
				continue;
			// Nothing there yet on a descriptor that does not wait: wait.
			if (errno == EAGAIN || errno == EWOULDBLOCK) {
				struct pollfd wait = { fDescriptor, POLLIN, 0 };
				poll(&wait, 1, -1);
				continue;
			}
			return total > 0 ? static_cast<ssize_t>(total) : -errno;
		}
		if (count == 0)
			break;
		total += static_cast<size_t>(count);
	}
	return static_cast<ssize_t>(total);
}
