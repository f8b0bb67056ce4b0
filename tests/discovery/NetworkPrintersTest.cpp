#include <NetworkPrinters.h>

#include <gtest/gtest.h>

namespace {

// Answers as the resolves give them: IPv4, global and link-local IPv6, the
// same service again on another protocol or twice alike, and services
// without a name.
TEST(NetworkPrinterCollector, OnePrinterPerService)
{
	const ResolvedService kAnswers[] = {
		{ "Office LQ", "local", "lq.local", "192.0.2.7", false, "", 9100 },
		{ "Office LQ", "local", "lq.local", "fe80::7", true, "eth0", 9100 },
		{ "Office LQ", "local", "lq.local", "192.0.2.7", false, "", 9100 },
		{ "Back Room", "local", "br.local", "2001:db8::5", true, "", 9100 },
		{ "Lab", "local", "lab.local", "fe80::1", true, "eth1", 9101 },
		{ "Stock", "local", "stock.local", "fe80::9", true, "eth0", 9100 },
		{ "Stock", "local", "stock.local", "192.0.2.9", false, "", 9100 },
		{ "", "local", "shed.local", "192.0.2.20", false, "", 9100 },
		{ "", "local", "", "192.0.2.21", false, "", 9100 },
		{ "", "local", "", "192.0.2.21", false, "", 9100 },
	};
	NetworkPrinterCollector collector;
	for (const ResolvedService& answer : kAnswers)
		collector.Add(answer);
	std::vector<std::string> found;
	for (const FoundPrinter& printer : collector.Printers())
		found.push_back(printer.name + " | " + printer.target + " | " + printer.label);
	EXPECT_EQ(found, (std::vector<std::string>{
		"Back Room | tcp://[2001:db8::5]:9100 | Back Room - [2001:db8::5]:9100",
		"Lab | tcp://[fe80::1%eth1]:9101 | Lab - [fe80::1%eth1]:9101",
		"Network printer | tcp://192.0.2.21:9100 | Network printer - 192.0.2.21:9100",
		"Office LQ | tcp://192.0.2.7:9100 | Office LQ - 192.0.2.7:9100",
		"Stock | tcp://192.0.2.9:9100 | Stock - 192.0.2.9:9100",
		"shed.local | tcp://192.0.2.20:9100 | shed.local - 192.0.2.20:9100",
	}));
}

}  // namespace
