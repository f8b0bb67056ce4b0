#include "ProgramModule.h"

#include <climits>

#include <dlfcn.h>
#include <unistd.h>

void*
load_program_module(const char* name, const std::vector<std::string>& buildFolders, std::string* error)
{
	char program[PATH_MAX];
	ssize_t length = readlink("/proc/self/exe", program, sizeof(program) - 1);
	if (length <= 0) {
		*error = "the program's own path is not known";
		return nullptr;
	}
	std::string directory(program, static_cast<size_t>(length));
	directory.erase(directory.rfind('/') + 1);
	std::vector<std::string> places = { "../lib/quillon/", "" };
	places.insert(places.end(), buildFolders.begin(), buildFolders.end());
	error->clear();
	for (const std::string& place : places) {
		std::string path = directory + place + name;
		if (access(path.c_str(), F_OK) != 0)
			continue;
		if (void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL))
			return module;
		*error = dlerror();
	}
	if (error->empty())
		*error = std::string(name) + " not found";
	return nullptr;
}
