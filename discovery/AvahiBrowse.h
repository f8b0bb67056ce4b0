// Between the printer search and the module quillon-avahi.so, which alone
// links Avahi's client library (and through it D-Bus), so that a run that
// never searches loads neither.
#pragma once

#include <cstdint>

extern "C" {

// One service as a resolve answers it; the texts last for the call only.
struct AvahiResolvedAnswer {
	const char* name;       // the service's instance name
	const char* domain;
	const char* hostName;
	const char* address;    // as text, IPv6 without brackets
	int ipv6;
	const char* interface;  // the interface of a link-local IPv6 address, else ""
	uint16_t port;
};

// quillon_browse_raw_printers: browses _pdl-datastream._tcp and resolves each
// service, handing each answer to found, until the daemon has told all it
// knows, timeoutMs has passed, or keepGoing returns 0 (asked every 50 ms).
// Returns -1 when there is no Avahi daemon to ask.
typedef int (*avahi_raw_printer_browser)(int timeoutMs, int (*keepGoing)(void* context),
	void (*found)(void* context, const AvahiResolvedAnswer* answer), void* context);
}
