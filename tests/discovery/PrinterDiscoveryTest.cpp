#include <PrinterDiscovery.h>

#include <cstdlib>
#include <sstream>

#include <LocalDevices.h>

#include <gtest/gtest.h>

namespace {

bool
IsQueue(const FoundPrinter& printer)
{
	return printer.target.rfind("cups://", 0) == 0;
}

std::vector<std::string>
Labels(const std::vector<FoundPrinter>& printers)
{
	std::vector<std::string> labels;
	for (const FoundPrinter& printer : printers)
		labels.push_back(printer.label);
	return labels;
}

TEST(FoundPrinterOrder, NumbersByValue)
{
	const struct {
		const char* a;
		const char* b;
		bool before;
	} kCases[] = {
		{ "lp2", "lp10", true },
		{ "lp10", "lp2", false },
		{ "lp2", "lp2", false },
		{ "lp02", "lp2", false },
		{ "lp", "lp0", true },
		{ "CUPS: B", "CUPS: a", true },
		{ "ttyS9 x", "ttyS10", true },
	};
	for (const auto& test : kCases)
		EXPECT_EQ(found_printer_before(test.a, test.b), test.before) << test.a << " " << test.b;
}

// Run by discovery-cups-test.sh with CUPS_SERVER at a scheduler of its own
// and DISCOVERY_TEST_QUEUES naming the queues it has, in their order.
TEST(PrinterDiscovery, FindsTheSchedulersQueues)
{
	const char* queues = getenv("DISCOVERY_TEST_QUEUES");
	if (queues == nullptr)
		GTEST_SKIP() << "needs the scheduler of discovery-cups-test.sh";
	std::vector<std::string> expected;
	std::istringstream words(queues);
	for (std::string queue; words >> queue;)
		expected.push_back("CUPS: " + queue);

	std::atomic<bool> stop{ false };
	std::vector<FoundPrinter> found = find_printers(stop);
	std::vector<FoundPrinter> queuesFound;
	for (size_t i = 0; i < found.size(); i++) {
		if (IsQueue(found[i])) {
			EXPECT_EQ(found[i].target, "cups://" + found[i].name);
			queuesFound.push_back(found[i]);
		} else {
			EXPECT_TRUE(i == 0 || !IsQueue(found[i - 1])) << "CUPS queues come last";
		}
	}
	EXPECT_EQ(Labels(queuesFound), expected);

	// Asked to stop before it starts, the search gives the devices of this
	// machine and waits for nobody.
	stop = true;
	EXPECT_EQ(Labels(find_printers(stop)), Labels(find_local_devices(LocalDeviceTree())));
}

}  // namespace
