#include "CupsQueuePort.h"

#include <climits>
#include <cstring>
#include <dlfcn.h>
#include <unistd.h>

#include <PrinterPorts.h>

namespace {

const char kScheme[] = "cups://";

typedef FILE* (*queue_opener)(const char* queue, const char* title, char* reason,
	size_t reasonSize, char* hint, size_t hintSize);

// The module lies next to the program in the build tree and in lib/quillon
// beside the bin directory once installed, as the desktop's does.
queue_opener
LoadCupsModule(std::string* error)
{
	static queue_opener sOpener = nullptr;
	if (sOpener != nullptr)
		return sOpener;
	char program[PATH_MAX];
	ssize_t length = readlink("/proc/self/exe", program, sizeof(program) - 1);
	if (length <= 0)
		return nullptr;
	std::string directory(program, static_cast<size_t>(length));
	directory.erase(directory.rfind('/') + 1);
	for (const char* place : {"../lib/quillon/", "", "../cups/"}) {
		std::string path = directory + place + "quillon-cups.so";
		if (access(path.c_str(), F_OK) != 0)
			continue;
		if (void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
			sOpener = reinterpret_cast<queue_opener>(dlsym(module, "quillon_open_cups_queue"));
			if (sOpener != nullptr)
				return sOpener;
		}
		*error = dlerror();
	}
	if (error->empty())
		*error = "quillon-cups.so not found";
	return nullptr;
}

}  // namespace

bool
is_cups_queue_port(const char* path)
{
	return printer_port_target(path).rfind(kScheme, 0) == 0;
}

FILE*
open_cups_queue_port(const char* path, const std::string& title, PortFailure* failure)
{
	std::string queue = printer_port_target(path).substr(strlen(kScheme));
	std::string error;
	queue_opener opener = LoadCupsModule(&error);
	if (opener == nullptr) {
		*failure = { "cannot load CUPS support: " + error, "reinstall Quillon" };
		return nullptr;
	}
	char reason[512] = "";
	char hint[512] = "";
	FILE* port = opener(queue.c_str(), title.c_str(), reason, sizeof(reason), hint, sizeof(hint));
	if (port == nullptr)
		*failure = { reason, hint };
	return port;
}
