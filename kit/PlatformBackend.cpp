#include "PlatformBackend.h"

#include <atomic>

namespace {

// What runs before a backend is installed: no screen and no user. An alert
// is answered with its first button, a panel is never confirmed.
class NoScreen : public PlatformBackend {
public:
	virtual int32 RunAlert(BAlert*) { return 0; }
	virtual void ShowPanel(BFilePanel*) {}
	virtual void PresentWindow(BWindow*, const DisplayList&) {}
};

std::atomic<PlatformBackend*> sBackend(nullptr);

}  // namespace

PlatformBackend*
platform_backend()
{
	static NoScreen sNoScreen;
	PlatformBackend* backend = sBackend.load();
	return backend != nullptr ? backend : &sNoScreen;
}

void
set_platform_backend(PlatformBackend* backend)
{
	sBackend = backend;
}
