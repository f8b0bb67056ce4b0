#include "PlatformBackend.h"

#include <atomic>
#include <mutex>

#include "HeadlessBackend.h"

namespace {

class ScriptedBackend : public HeadlessBackend {
public:
	virtual void ApplicationStarted(BApplication*) { start_script_user(this); }
};

std::atomic<PlatformBackend*> sBackend(nullptr);
std::mutex sChoiceLock;

PlatformBackend*
CreateDefaultBackend()
{
	// The backend lives until the process ends: the script reader may still
	// be waiting for input then.
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
