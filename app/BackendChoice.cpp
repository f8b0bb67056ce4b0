#include "BackendChoice.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include <HeadlessBackend.h>
#include <ScriptUser.h>
#include <ProgramModule.h>

namespace {

class ScriptedBackend : public HeadlessBackend {
public:
	virtual void ApplicationStarted(BApplication* application)
	{
		HeadlessBackend::ApplicationStarted(application);
		start_script_user(this);
	}
};

typedef PlatformBackend* (*desktop_backend_maker)(bool requireDisplay);

// The desktop backend's module, loaded only for a desktop run.
desktop_backend_maker
LoadDesktopModule()
{
	std::string error;
	if (void* module = load_program_module("quillon-desktop.so", { "../desktop/" }, &error)) {
		if (void* maker = dlsym(module, "quillon_desktop_backend"))
			return reinterpret_cast<desktop_backend_maker>(maker);
		error = dlerror();
	}
	fprintf(stderr, "quillon: cannot load the desktop: %s\n", error.c_str());
	return NULL;
}

PlatformBackend*
CreateDefaultBackend()
{
	// The backend lives until the process ends: the script reader may still
	// be waiting for input then.
	const char* wanted = getenv("QUILLON_PLATFORM");
	bool headless = wanted != NULL && strcmp(wanted, "headless") == 0;
	bool desktop = wanted != NULL && strcmp(wanted, "desktop") == 0;
	// Without DISPLAY or WAYLAND_DISPLAY no display can be opened; the
	// module is not loaded.
	auto set = [](const char* name) {
		const char* value = getenv(name);
		return value != NULL && value[0] != '\0';
	};
	if (!headless && (desktop || set("DISPLAY") || set("WAYLAND_DISPLAY"))) {
		if (desktop_backend_maker maker = LoadDesktopModule()) {
			if (PlatformBackend* backend = maker(!desktop))
				return backend;
		}
	}
	return new ScriptedBackend;
}

}  // namespace

void
install_platform_backend()
{
	set_platform_backend(CreateDefaultBackend());
}
