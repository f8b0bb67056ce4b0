#include "LocalDevices.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

// Where a device's own name comes from.
enum Naming {
	kDeviceId,    // the printer's IEEE 1284 device ID
	kUsbProduct,  // the USB adapter's product string in sysfs
	kKindOnly,
};

// The device families, by the start of their names: a family's device is
// that start followed by the unit's number only. Only USB printers are
// opened, to be asked: the parallel port driver has no device-ID request,
// and opening a serial port may raise its modem lines.
const struct DeviceFamily {
	const char* folder;  // under the /dev root
	const char* prefix;
	const char* kind;    // the name of one that tells nothing of itself
	Naming naming;
	bool needsPort;      // listed only when sysfs has a port behind it
} kFamilies[] = {
	{ "/usb", "lp", "USB printer", kDeviceId, false },
	{ "", "lp", "Parallel port", kKindOnly, false },
	{ "", "ttyUSB", "USB serial port", kUsbProduct, false },
	{ "", "ttyACM", "USB serial port", kUsbProduct, false },
	{ "", "ttyS", "Serial port", kKindOnly, true },
};

bool
IsUnitOf(const std::string& entry, const char* prefix)
{
	std::string start(prefix);
	if (entry.size() <= start.size() || entry.compare(0, start.size(), start) != 0)
		return false;
	return std::all_of(entry.begin() + start.size(), entry.end(),
		[](char c) { return c >= '0' && c <= '9'; });
}

std::string
FirstLine(const std::string& path)
{
	std::ifstream file(path);
	std::string line;
	std::getline(file, line);
	return line;
}

// An 8250 UART's port type is 0 (PORT_UNKNOWN) when no chip answered at its
// address: the kernel keeps ttyS0..ttyS31 either way.
bool
HasSerialPort(const LocalDeviceTree& tree, const std::string& entry)
{
	std::string type = FirstLine(tree.sysRoot + "/class/tty/" + entry + "/type");
	return !type.empty() && atoi(type.c_str()) != 0;
}

// A USB serial adapter's own name: the product string of the USB device
// above its tty, a few folders up from the tty's device.
std::string
UsbProductName(const LocalDeviceTree& tree, const std::string& entry)
{
	char resolved[PATH_MAX];
	std::string device = tree.sysRoot + "/class/tty/" + entry + "/device";
	if (realpath(device.c_str(), resolved) == nullptr)
		return "";
	std::string folder = resolved;
	for (int level = 0; level < 3 && folder.size() > 1; level++) {
		std::string product = FirstLine(folder + "/product");
		if (!product.empty())
			return product;
		folder.erase(folder.rfind('/'));
	}
	return "";
}

std::string
Trimmed(const std::string& text)
{
	std::string kept;
	for (char c : text) {
		if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7f)
			kept += c;
	}
	size_t start = kept.find_first_not_of(' ');
	if (start == std::string::npos)
		return "";
	return kept.substr(start, kept.find_last_not_of(' ') - start + 1);
}

std::string
Upper(std::string text)
{
	for (char& c : text)
		c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
	return text;
}

}  // namespace

std::string
LocalDeviceTree::read_printer_device_id(const std::string& device)
{
	int descriptor = open(device.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
	if (descriptor < 0)
		return "";
	unsigned char id[1024];
	int answered = ioctl(descriptor, _IOC(_IOC_READ, 'P', 1, sizeof(id)), id);
	close(descriptor);
	if (answered < 0)
		return "";
	// Two bytes of length, big-endian, counting themselves.
	size_t length = std::min<size_t>(static_cast<size_t>(id[0] << 8 | id[1]), sizeof(id));
	if (length <= 2)
		return "";
	return std::string(reinterpret_cast<const char*>(id) + 2, length - 2);
}

std::string
printer_name_from_device_id(const std::string& deviceId)
{
	std::string maker;
	std::string model;
	size_t start = 0;
	while (start < deviceId.size()) {
		size_t end = deviceId.find(';', start);
		if (end == std::string::npos)
			end = deviceId.size();
		std::string field = deviceId.substr(start, end - start);
		start = end + 1;
		size_t colon = field.find(':');
		if (colon == std::string::npos)
			continue;
		std::string key = Upper(Trimmed(field.substr(0, colon)));
		std::string value = Trimmed(field.substr(colon + 1));
		if ((key == "MFG" || key == "MANUFACTURER") && maker.empty())
			maker = value;
		else if ((key == "MDL" || key == "MODEL") && model.empty())
			model = value;
	}
	if (maker.empty())
		return model;
	if (model.empty())
		return maker;
	std::string makerWord = Upper(maker);
	std::string modelStart = Upper(model.substr(0, makerWord.size()));
	if (modelStart == makerWord && (model.size() == maker.size() || model[maker.size()] == ' '))
		return model;
	return maker + " " + model;
}

std::vector<FoundPrinter>
find_local_devices(const LocalDeviceTree& tree)
{
	std::vector<FoundPrinter> found;
	for (const DeviceFamily& family : kFamilies) {
		std::string folder = tree.devRoot + family.folder;
		DIR* directory = opendir(folder.c_str());
		if (directory == nullptr)
			continue;
		std::vector<std::string> units;
		while (struct dirent* entry = readdir(directory)) {
			if (IsUnitOf(entry->d_name, family.prefix))
				units.push_back(entry->d_name);
		}
		closedir(directory);
		std::sort(units.begin(), units.end(), found_printer_before);
		for (const std::string& unit : units) {
			if (family.needsPort && !HasSerialPort(tree, unit))
				continue;
			std::string device = folder + "/" + unit;
			std::string name;
			if (family.naming == kDeviceId)
				name = printer_name_from_device_id(tree.readDeviceId(device));
			else if (family.naming == kUsbProduct)
				name = UsbProductName(tree, unit);
			if (name.empty())
				name = family.kind;
			found.push_back({ name, device, name + " - " + device });
		}
	}
	return found;
}
