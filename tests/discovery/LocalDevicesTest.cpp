#include <LocalDevices.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;

TEST(PrinterNameFromDeviceId, MakerAndModel)
{
	const struct {
		const char* id;
		const char* name;
	} kCases[] = {
		{ "MFG:EPSON;CMD:ESCPL2,BDC;MDL:LX-350;CLS:PRINTER;", "EPSON LX-350" },
		{ "MANUFACTURER:Hewlett-Packard;COMMAND SET:PCL;MODEL:LaserJet 4;", "Hewlett-Packard LaserJet 4" },
		{ "MFG:EPSON;MDL:EPSON LQ-590;", "EPSON LQ-590" },
		{ " mfg : Epson ; mdl: epson LX-300+ ;", "epson LX-300+" },
		{ "MFG:Star;MDL:Starlet 10;", "Star Starlet 10" },
		{ "MFG:OKI;MDL:OKI", "OKI" },
		{ "MDL:LQ-2090;", "LQ-2090" },
		{ "MFG:OKI DATA CORP", "OKI DATA CORP" },
		{ "MFG:Brother;MDL:HL-5250;MFG:Other;MDL:Other;", "Brother HL-5250" },
		{ "CMD:PCL;CLS:PRINTER;", "" },
		{ "MFG:\x01\x02;MDL:   ;", "" },
		{ "\xff\xfe;;:;MDL;MFG", "" },
		{ "", "" },
	};
	for (const auto& test : kCases)
		EXPECT_EQ(printer_name_from_device_id(test.id), test.name) << test.id;
}

// A /dev and /sys of the test's own: USB printers with and without a device
// ID, one that cannot be asked, a parallel port, USB serial ports with and
// without their adapter's name, serial ports with and without a port behind
// them, and names that are no device of a family.
class LocalDeviceScan : public testing::Test
{
protected:
	void SetUp() override
	{
		char folder[] = "/tmp/discovery-test-XXXXXX";
		ASSERT_NE(mkdtemp(folder), nullptr);
		fRoot = folder;
		for (const char* device : { "usb/lp0", "usb/lp1", "usb/lp3", "usb/lp10", "usb/lp", "usb/lpt1",
				 "lp0", "lpx", "ttyUSB0", "ttyACM0", "ttyS0", "ttyS1", "ttyS2", "ttyS", "tty0" }) {
			fs::create_directories((fRoot / "dev" / device).parent_path());
			std::ofstream(fRoot / "dev" / device);
		}
		// A device that cannot be opened, as one without permission.
		fs::create_symlink(fRoot / "nowhere", fRoot / "dev/usb/lp2");
		fs::path adapter = fRoot / "sys/devices/usb1/1-1";
		fs::create_directories(adapter / "1-1:1.0/ttyUSB0");
		std::ofstream(adapter / "product") << "USB-Serial Controller\n";
		fs::create_directories(fRoot / "sys/class/tty/ttyUSB0");
		fs::create_directory_symlink(adapter / "1-1:1.0/ttyUSB0", fRoot / "sys/class/tty/ttyUSB0/device");
		for (const auto& [port, type] : { std::pair{ "ttyS0", "4\n" }, { "ttyS1", "0\n" } }) {
			fs::create_directories(fRoot / "sys/class/tty" / port);
			std::ofstream(fRoot / "sys/class/tty" / port / "type") << type;
		}
	}
	void TearDown() override { fs::remove_all(fRoot); }

	fs::path fRoot;
};

TEST_F(LocalDeviceScan, EveryDeviceByItsNameOrKind)
{
	std::string dev = (fRoot / "dev").string();
	std::map<std::string, std::string> ids = {
		{ dev + "/usb/lp0", "MFG:EPSON;CMD:ESCPL2;MDL:LX-350;CLS:PRINTER;" },
		{ dev + "/usb/lp1", "CMD:ESCPL2;CLS:PRINTER;" },
		{ dev + "/usb/lp10", "MANUFACTURER:OKI DATA CORP;MODEL:ML320;" },
	};
	std::vector<std::string> asked;
	LocalDeviceTree tree;
	tree.devRoot = dev;
	tree.sysRoot = (fRoot / "sys").string();
	// lp2 and lp3 go to the real request: the one cannot be opened, the
	// other is a plain file, which has no device ID to give.
	tree.readDeviceId = [&](const std::string& device) {
		asked.push_back(device);
		auto known = ids.find(device);
		return known != ids.end() ? known->second : LocalDeviceTree::read_printer_device_id(device);
	};

	std::vector<std::string> found;
	for (const FoundPrinter& printer : find_local_devices(tree)) {
		EXPECT_EQ(printer.label, printer.name + " - " + printer.target);
		found.push_back(printer.name + " | " + printer.target.substr(dev.size()));
	}
	EXPECT_EQ(found, (std::vector<std::string>{
		"EPSON LX-350 | /usb/lp0",
		"USB printer | /usb/lp1",
		"USB printer | /usb/lp2",
		"USB printer | /usb/lp3",
		"OKI DATA CORP ML320 | /usb/lp10",
		"Parallel port | /lp0",
		"USB-Serial Controller | /ttyUSB0",
		"USB serial port | /ttyACM0",
		"Serial port | /ttyS0",
	}));
	// Only USB printers are asked; a parallel port or a serial one is never
	// opened.
	EXPECT_EQ(asked, (std::vector<std::string>{
		dev + "/usb/lp0", dev + "/usb/lp1", dev + "/usb/lp2", dev + "/usb/lp3", dev + "/usb/lp10" }));
}

TEST_F(LocalDeviceScan, NoDevicesNoSysfs)
{
	LocalDeviceTree tree;
	tree.devRoot = (fRoot / "missing").string();
	tree.sysRoot = (fRoot / "missing").string();
	EXPECT_TRUE(find_local_devices(tree).empty());
	EXPECT_EQ(LocalDeviceTree::read_printer_device_id((fRoot / "missing").string()), "");
}

}  // namespace
