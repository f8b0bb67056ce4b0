#include "NetworkPrinters.h"

#include <algorithm>
#include <climits>
#include <dlfcn.h>
#include <unistd.h>

#include "AvahiBrowse.h"
#include "ProgramModule.h"

namespace {

// Loaded once, by the first search, and kept.
avahi_raw_printer_browser
LoadAvahiModule()
{
	std::string error;
	void* module = load_program_module("quillon-avahi.so", { "../discovery/" }, &error);
	return module != nullptr
		? reinterpret_cast<avahi_raw_printer_browser>(dlsym(module, "quillon_browse_raw_printers"))
		: nullptr;
}

struct Search {
	const std::atomic<bool>& cancel;
	NetworkPrinterCollector collector;
};

}  // namespace

void
NetworkPrinterCollector::Add(const ResolvedService& service)
{
	// A service is known by its name in its domain; one without a name only
	// by where it is.
	std::string key = !service.name.empty() ? service.name + '\n' + service.domain
		: '\n' + service.address + ':' + std::to_string(service.port);
	auto known = fServices.find(key);
	if (known == fServices.end())
		fServices.emplace(key, service);
	else if (known->second.ipv6 && !service.ipv6)
		known->second = service;
}

std::vector<FoundPrinter>
NetworkPrinterCollector::Printers() const
{
	std::vector<FoundPrinter> printers;
	for (const auto& [key, service] : fServices) {
		std::string host = service.address;
		if (service.ipv6) {
			if (!service.interface.empty())
				host += "%" + service.interface;
			host = "[" + host + "]";
		}
		std::string address = host + ":" + std::to_string(service.port);
		std::string name = !service.name.empty() ? service.name
			: !service.hostName.empty()           ? service.hostName
												  : "Network printer";
		printers.push_back({ name, "tcp://" + address, name + " - " + address });
	}
	std::sort(printers.begin(), printers.end(), [](const FoundPrinter& a, const FoundPrinter& b) {
		return found_printer_before(a.label, b.label);
	});
	return printers;
}

std::vector<FoundPrinter>
browse_network_printers(const std::atomic<bool>& cancel, int timeoutMs)
{
	static const avahi_raw_printer_browser sBrowse = LoadAvahiModule();
	Search search = { cancel, {} };
	if (sBrowse == nullptr)
		return {};
	sBrowse(
		timeoutMs, [](void* context) { return static_cast<Search*>(context)->cancel ? 0 : 1; },
		[](void* context, const AvahiResolvedAnswer* answer) {
			static_cast<Search*>(context)->collector.Add({ answer->name, answer->domain,
				answer->hostName, answer->address, answer->ipv6 != 0, answer->interface,
				answer->port });
		},
		&search);
	return search.collector.Printers();
}
