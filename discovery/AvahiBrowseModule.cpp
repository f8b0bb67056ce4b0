// The module that asks the Avahi daemon for the network printers that
// announce a raw port.
#include <algorithm>
#include <cctype>
#include <chrono>
#include <net/if.h>
#include <string>

#include <avahi-client/client.h>
#include <avahi-client/lookup.h>
#include <avahi-common/address.h>
#include <avahi-common/simple-watch.h>

#include "AvahiBrowse.h"

namespace {

const char kServiceType[] = "_pdl-datastream._tcp";
const int kPollStep = 50;  // milliseconds

bool
IsLinkLocal(const char* address)
{
	std::string start = std::string(address).substr(0, 4);
	std::transform(start.begin(), start.end(), start.begin(),
		[](unsigned char c) { return static_cast<char>(tolower(c)); });
	return start == "fe80";
}

// One browse: where its answers go, and how far it has come.
struct Browse {
	void (*found)(void*, const AvahiResolvedAnswer*);
	void* context;
	AvahiClient* client = nullptr;
	int resolving = 0;
	bool allForNow = false;
	bool failed = false;
};

const char*
Text(const char* text)
{
	return text != nullptr ? text : "";
}

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
		bool ipv6 = address->proto == AVAHI_PROTO_INET6;
		// A link-local address is reached only through its own interface.
		char interfaceName[IF_NAMESIZE] = "";
		if (ipv6 && IsLinkLocal(text) && interface >= 0
			&& if_indextoname(static_cast<unsigned>(interface), interfaceName) == nullptr)
			interfaceName[0] = '\0';
		AvahiResolvedAnswer answer = { Text(name), Text(domain), Text(hostName), text, ipv6,
			interfaceName, port };
		browse->found(browse->context, &answer);
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

extern "C" __attribute__((visibility("default"))) int
quillon_browse_raw_printers(int timeoutMs, int (*keepGoing)(void*),
	void (*found)(void*, const AvahiResolvedAnswer*), void* context)
{
	auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
	AvahiSimplePoll* poll = avahi_simple_poll_new();
	if (poll == nullptr)
		return -1;
	Browse browse = { found, context };
	int error = 0;
	// Without AVAHI_CLIENT_NO_FAIL a missing daemon fails at once rather than
	// being waited for.
	browse.client = avahi_client_new(avahi_simple_poll_get(poll), static_cast<AvahiClientFlags>(0),
		ClientChanged, &browse, &error);
	if (browse.client != nullptr
		&& avahi_service_browser_new(browse.client, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC,
			   kServiceType, nullptr, static_cast<AvahiLookupFlags>(0), ServiceBrowsed, &browse)
			!= nullptr) {
		while (keepGoing(context) != 0 && !browse.failed
			&& std::chrono::steady_clock::now() < deadline
			&& !(browse.allForNow && browse.resolving == 0)) {
			if (avahi_simple_poll_iterate(poll, kPollStep) != 0)
				break;
		}
	}
	int result = browse.client != nullptr ? 0 : -1;
	// Freeing the client frees its browser and the resolvers still asking.
	if (browse.client != nullptr)
		avahi_client_free(browse.client);
	avahi_simple_poll_free(poll);
	return result;
}
