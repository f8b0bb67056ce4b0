#include "CupsQueuePort.h"

#include <climits>
#include <cstring>
#include <dlfcn.h>
#include <unistd.h>

#include <PrinterPorts.h>
#include <ProgramModule.h>

namespace {

const char kScheme[] = "cups://";

typedef FILE* (*queue_opener)(const char* queue, const char* title, char* reason,
	size_t reasonSize, char* hint, size_t hintSize);
typedef int (*queue_lister)(int timeoutMs, int (*keepGoing)(void*),
	void (*add)(void*, const char*), void* context);

struct CupsModule {
	void* handle;
	std::string error;
};

CupsModule
LoadCupsModule()
{
	CupsModule module = { nullptr, "" };
	module.handle = load_program_module("quillon-cups.so", { "../cups/" }, &module.error);
	return module;
}

// A job's thread and a printer search may both ask first: the module is
// loaded once, by whichever comes first, and kept.
void*
CupsFunction(const char* name, std::string* error)
{
	static const CupsModule sModule = LoadCupsModule();
	if (sModule.handle == nullptr) {
		*error = sModule.error;
		return nullptr;
	}
	void* function = dlsym(sModule.handle, name);
	if (function == nullptr)
		*error = std::string("quillon-cups.so has no ") + name;
	return function;
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
	queue_opener opener =
		reinterpret_cast<queue_opener>(CupsFunction("quillon_open_cups_queue", &error));
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

std::string
cups_queue_note()
{
	std::string error;
	auto note = reinterpret_cast<void (*)(char*, size_t)>(CupsFunction("quillon_cups_queue_note", &error));
	char words[512] = "";
	if (note != nullptr)
		note(words, sizeof(words));
	return words;
}

std::vector<std::string>
cups_queue_names(int timeoutMs, const std::atomic<bool>& cancel)
{
	std::string error;
	queue_lister lister =
		reinterpret_cast<queue_lister>(CupsFunction("quillon_cups_queue_names", &error));
	std::vector<std::string> names;
	if (lister == nullptr)
		return names;
	struct Listing {
		const std::atomic<bool>& cancel;
		std::vector<std::string>& names;
	} listing{ cancel, names };
	lister(
		timeoutMs, [](void* context) { return static_cast<Listing*>(context)->cancel ? 0 : 1; },
		[](void* context, const char* name) { static_cast<Listing*>(context)->names.push_back(name); },
		&listing);
	return names;
}
