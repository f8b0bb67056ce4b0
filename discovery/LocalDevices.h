// The printer devices and serial ports of this machine, found under /dev and
// described by /sys, behind a tree a test can build in a folder of its own.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "PrinterDiscovery.h"

// Where the devices are looked for, and how a USB printer is asked for its
// IEEE 1284 device ID (the text after the two length bytes; "" when the
// device cannot be opened or has none).
struct LocalDeviceTree {
	std::string devRoot = "/dev";
	std::string sysRoot = "/sys";
	std::function<std::string(const std::string& device)> readDeviceId = read_printer_device_id;

	// The printer device's LPIOC_GET_DEVICE_ID request, on a descriptor opened
	// for reading only, without blocking; nothing is written.
	static std::string read_printer_device_id(const std::string& device);
};

// USB printers (/dev/usb/lp*), parallel ports (/dev/lp*), USB serial ports
// (/dev/ttyUSB*, /dev/ttyACM*) and serial ports with a port behind them
// (/dev/ttyS*), sorted by device. A printer that cannot be asked is named by
// its kind ("USB printer"), never left out.
std::vector<FoundPrinter> find_local_devices(const LocalDeviceTree& tree);

// "EPSON LX-350" from "MFG:EPSON;CMD:ESCPL2;MDL:LX-350;...": the maker and
// the model (MANUFACTURER and MODEL too), the maker left out when the model
// already starts with it; "" when the ID names neither.
std::string printer_name_from_device_id(const std::string& deviceId);
