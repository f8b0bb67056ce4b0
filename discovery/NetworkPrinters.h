// Network printers that announce a raw port by DNS-SD
// (_pdl-datastream._tcp), browsed through the Avahi daemon by the module
// quillon-avahi.so, loaded by the first search.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "PrinterDiscovery.h"

// One service as a resolve answers it.
struct ResolvedService {
	std::string name;       // the service's instance name, "Office LQ"
	std::string domain;     // "local"
	std::string hostName;   // "lq.local"
	std::string address;    // "192.0.2.7", "fe80::1"
	bool ipv6;
	std::string interface;  // the interface a link-local IPv6 address is reached on, "eth0"
	uint16_t port;
};

// Gathers the answers into printers: one per service however many
// interfaces and protocols announce it, an IPv4 address preferred to an
// IPv6 one, which keeps the first.
class NetworkPrinterCollector
{
public:
	void Add(const ResolvedService& service);
	// Sorted by label.
	std::vector<FoundPrinter> Printers() const;

private:
	std::map<std::string, ResolvedService> fServices;
};

// What the Avahi daemon finds until it has told all it knows, for at most
// timeoutMs, or until soon after cancel becomes true (each 50 ms); nothing
// when the module or the daemon is not there.
std::vector<FoundPrinter> browse_network_printers(const std::atomic<bool>& cancel, int timeoutMs);
