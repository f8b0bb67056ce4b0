// The entry point of the desktop backend's module, which the kit looks up by
// name when it loads the module.
#include "DesktopBackend.h"

// A new desktop backend, or null when requireDisplay is set and no X display
// can be opened.
extern "C" __attribute__((visibility("default"))) PlatformBackend*
quillon_desktop_backend(bool requireDisplay)
{
	if (requireDisplay && !DesktopBackend::DisplayAvailable())
		return nullptr;
	return new DesktopBackend;
}
