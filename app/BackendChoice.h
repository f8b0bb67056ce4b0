// The launch code's choice of a backend for the kit.
#pragma once

#include <PlatformBackend.h>

// Picks and installs the backend the program runs with: the desktop when a
// display is there, else the headless backend with its user reading a script
// from standard input. QUILLON_PLATFORM=headless or QUILLON_PLATFORM=desktop
// asks for one. The backend lives until the process ends: the script reader
// may still be waiting for input then.
void install_platform_backend();
