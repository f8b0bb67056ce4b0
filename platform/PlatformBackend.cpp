#include "PlatformBackend.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "DesktopBackend.h"
#include "HeadlessBackend.h"

namespace {

class ScriptedBackend : public HeadlessBackend {
public:
	virtual void ApplicationStarted(BApplication* application)
	{
		HeadlessBackend::ApplicationStarted(application);
		start_script_user(this);
	}
};

std::atomic<PlatformBackend*> sBackend(nullptr);
std::mutex sChoiceLock;

PlatformBackend*
CreateDefaultBackend()
{
	// The backend lives until the process ends: the script reader may still
	// be waiting for input then.
	const char* wanted = getenv("QUILLON_PLATFORM");
	bool headless = wanted != NULL && strcmp(wanted, "headless") == 0;
	bool desktop = wanted != NULL && strcmp(wanted, "desktop") == 0;
	if (!headless && (desktop || DesktopBackend::DisplayAvailable()))
		return new DesktopBackend;
	return new ScriptedBackend;
}

}  // namespace

PlatformBackend*
platform_backend()
{
	PlatformBackend* backend = sBackend.load();
	if (backend != nullptr)
		return backend;
	std::lock_guard<std::mutex> lock(sChoiceLock);
	if (sBackend.load() == nullptr)
		sBackend = CreateDefaultBackend();
	return sBackend.load();
}

void
set_platform_backend(PlatformBackend* backend)
{
	sBackend = backend;
}
