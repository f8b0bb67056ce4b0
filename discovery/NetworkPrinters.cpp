#include "NetworkPrinters.h"

#include <algorithm>
#include <net/if.h>

#include <avahi-client/client.h>
#include <avahi-client/lookup.h>
#include <avahi-common/address.h>
#include <avahi-common/simple-watch.h>

namespace {

const char kServiceType[] = "_pdl-datastream._tcp";
const int kPollStep = 50;  // milliseconds

bool
IsLinkLocal(const std::string& address)
{
	std::string start = address.substr(0, 4);
	std::transform(start.begin(), start.end(), start.begin(),
		[](unsigned char c) { return static_cast<char>(tolower(c)); });
	return start == "fe80";
}

// One browse: the collector the resolves feed, and how far it has come.
struct Browse {
	NetworkPrinterCollector collector;
	AvahiClient* client = nullptr;
	int resolving = 0;
	bool allForNow = false;
	bool failed = false;
};

void
ServiceResolved(AvahiServiceResolver* resolver, AvahiIfIndex interface, AvahiProtocol,
	AvahiResolverEvent event, const char* name, const char*, const char* domain,
	const char* hostName, const AvahiAddress* address, uint16_t port, AvahiStringList*,
	AvahiLookupResultFlags, void* data)
{
	Browse* browse = static_cast<Browse*>(data);
	if (event == AVAHI_RESOLVER_FOUND && address != nullptr) {
		char text[AVAHI_ADDRESS_STR_MAX];
		avahi_address_snprint(text, sizeof(text), address);
		ResolvedService service = { name != nullptr ? name : "", domain != nullptr ? domain : "",
			hostName != nullptr ? hostName : "", text, address->proto == AVAHI_PROTO_INET6, "",
			port };
		char interfaceName[IF_NAMESIZE];
		if (service.ipv6 && IsLinkLocal(service.address) && interface >= 0
			&& if_indextoname(static_cast<unsigned>(interface), interfaceName) != nullptr)
			service.interface = interfaceName;
		browse->collector.Add(service);
	}
	avahi_service_resolver_free(resolver);
	browse->resolving--;
}

void
ServiceBrowsed(AvahiServiceBrowser*, AvahiIfIndex interface, AvahiProtocol protocol,
	AvahiBrowserEvent event, const char* name, const char* type, const char* domain,
	AvahiLookupResultFlags, void* data)
{
	Browse* browse = static_cast<Browse*>(data);
	switch (event) {
		case AVAHI_BROWSER_NEW:
			if (avahi_service_resolver_new(browse->client, interface, protocol, name, type, domain,
					AVAHI_PROTO_UNSPEC, static_cast<AvahiLookupFlags>(0), ServiceResolved, browse)
				!= nullptr)
				browse->resolving++;
			break;
		case AVAHI_BROWSER_ALL_FOR_NOW:
			browse->allForNow = true;
			break;
		case AVAHI_BROWSER_FAILURE:
			browse->failed = true;
			break;
		default:
			break;
	}
}

void
ClientChanged(AvahiClient*, AvahiClientState state, void* data)
{
	if (state == AVAHI_CLIENT_FAILURE)
		static_cast<Browse*>(data)->failed = true;
}

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
browse_network_printers(const std::atomic<bool>& cancel,
	std::chrono::steady_clock::time_point deadline)
{
	AvahiSimplePoll* poll = avahi_simple_poll_new();
	if (poll == nullptr)
		return {};
	Browse browse;
	int error = 0;
	// Without AVAHI_CLIENT_NO_FAIL a missing daemon fails at once rather than
	// being waited for.
	browse.client = avahi_client_new(avahi_simple_poll_get(poll), static_cast<AvahiClientFlags>(0),
		ClientChanged, &browse, &error);
	if (browse.client != nullptr
		&& avahi_service_browser_new(browse.client, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC,
			   kServiceType, nullptr, static_cast<AvahiLookupFlags>(0), ServiceBrowsed, &browse)
			!= nullptr) {
		while (!cancel && !browse.failed && std::chrono::steady_clock::now() < deadline
			&& !(browse.allForNow && browse.resolving == 0)) {
			if (avahi_simple_poll_iterate(poll, kPollStep) != 0)
				break;
		}
	}
	// Freeing the client frees its browser and the resolvers still asking.
	if (browse.client != nullptr)
		avahi_client_free(browse.client);
	avahi_simple_poll_free(poll);
	return browse.collector.Printers();
}
