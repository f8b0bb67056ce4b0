#include "PrinterDiscovery.h"

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

#include <CupsQueuePort.h>

#include "LocalDevices.h"
#include "NetworkPrinters.h"

namespace {

typedef std::chrono::steady_clock Clock;

// The network and the scheduler get this long to answer; what the search
// waits for on top of it is the time a look-up takes to give up.
const auto kLookupTime = std::chrono::milliseconds(1700);
const auto kGiveUpTime = std::chrono::milliseconds(250);
const auto kStopCheck = std::chrono::milliseconds(50);

// What is left of the time until deadline, at least a millisecond.
int
MillisecondsUntil(Clock::time_point deadline)
{
	auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
	return std::max(static_cast<int>(left.count()), 1);
}

std::vector<FoundPrinter>
CupsQueues(const std::atomic<bool>& cancel, Clock::time_point deadline)
{
	std::vector<FoundPrinter> queues;
	for (const std::string& queue : cups_queue_names(MillisecondsUntil(deadline), cancel))
		queues.push_back({ queue, "cups://" + queue, "CUPS: " + queue });
	std::sort(queues.begin(), queues.end(), [](const FoundPrinter& a, const FoundPrinter& b) {
		return found_printer_before(a.label, b.label);
	});
	return queues;
}

// The look-ups that wait on others run on threads of their own, so a
// daemon or scheduler that hangs past its own time-outs holds up nobody: the
// search returns without them and they finish alone, keeping what they share
// with it alive until then.
struct Lookups {
	std::mutex lock;
	std::condition_variable finished;
	std::atomic<bool> cancel{ false };
	bool networkDone = false;
	bool queuesDone = false;
	std::vector<FoundPrinter> network;
	std::vector<FoundPrinter> queues;
};

void
StartLookups(const std::shared_ptr<Lookups>& lookups, Clock::time_point deadline)
{
	std::thread([lookups, deadline] {
		std::vector<FoundPrinter> found = browse_network_printers(lookups->cancel, MillisecondsUntil(deadline));
		std::lock_guard<std::mutex> hold(lookups->lock);
		lookups->network = std::move(found);
		lookups->networkDone = true;
		lookups->finished.notify_all();
	}).detach();
	std::thread([lookups, deadline] {
		std::vector<FoundPrinter> found = CupsQueues(lookups->cancel, deadline);
		std::lock_guard<std::mutex> hold(lookups->lock);
		lookups->queues = std::move(found);
		lookups->queuesDone = true;
		lookups->finished.notify_all();
	}).detach();
}

bool
IsDigit(char c)
{
	return c >= '0' && c <= '9';
}

}  // namespace

bool
found_printer_before(const std::string& a, const std::string& b)
{
	size_t i = 0;
	size_t j = 0;
	while (i < a.size() && j < b.size()) {
		if (IsDigit(a[i]) && IsDigit(b[j])) {
			size_t endA = i;
			size_t endB = j;
			while (endA < a.size() && IsDigit(a[endA]))
				endA++;
			while (endB < b.size() && IsDigit(b[endB]))
				endB++;
			// Leading zeros aside, the longer run is the larger number.
			std::string numberA = a.substr(i, endA - i);
			std::string numberB = b.substr(j, endB - j);
			numberA.erase(0, std::min(numberA.find_first_not_of('0'), numberA.size()));
			numberB.erase(0, std::min(numberB.find_first_not_of('0'), numberB.size()));
			if (numberA.size() != numberB.size())
				return numberA.size() < numberB.size();
			if (numberA != numberB)
				return numberA < numberB;
			i = endA;
			j = endB;
			continue;
		}
		if (a[i] != b[j])
			return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
		i++;
		j++;
	}
	return a.size() - i < b.size() - j;
}

std::vector<FoundPrinter>
find_printers(const std::atomic<bool>& stop)
{
	Clock::time_point deadline = Clock::now() + kLookupTime;
	auto lookups = std::make_shared<Lookups>();
	bool looking = !stop;
	if (looking)
		StartLookups(lookups, deadline);

	std::vector<FoundPrinter> found = find_local_devices(LocalDeviceTree());
	if (looking) {
		std::unique_lock<std::mutex> hold(lookups->lock);
		while (!(lookups->networkDone && lookups->queuesDone) && !stop
			&& Clock::now() < deadline + kGiveUpTime)
			lookups->finished.wait_for(hold, kStopCheck);
		lookups->cancel = true;
		found.insert(found.end(), lookups->network.begin(), lookups->network.end());
		found.insert(found.end(), lookups->queues.begin(), lookups->queues.end());
	}

	// A device reached under two names, or a service announced twice, is
	// listed where it came first.
	std::set<std::string> targets;
	found.erase(std::remove_if(found.begin(), found.end(),
					[&](const FoundPrinter& printer) {
						return !targets.insert(printer.target).second;
					}),
		found.end());
	return found;
}
