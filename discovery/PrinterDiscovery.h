// What a printer can be reached through: the printer devices and serial
// ports of this machine, the network printers that announce a raw port, and
// the CUPS queues. Nothing is opened that could disturb a printer: a USB
// printer is asked only for its device ID, and no serial port is opened.
#pragma once

#include <atomic>
#include <string>
#include <vector>

struct FoundPrinter {
	std::string name;    // the printer's own name ("EPSON LX-350", "Office LQ"), or the device's when none
	std::string target;  // what a port variable takes: "/dev/usb/lp0", "tcp://192.0.2.7:9100", "cups://Epson_LX350"
	std::string label;   // as a menu shows it: "EPSON LX-350 - /dev/usb/lp0", "Office LQ - 192.0.2.7:9100", "CUPS: Epson_LX350"
};

// Everything found: local devices first, then network printers, then CUPS
// queues, each group sorted, no duplicates. Bounded: returns within about
// 2 s even when the network or a CUPS server does not answer; returns early
// (with what it has) once stop becomes true (checked at least every 100 ms).
// Thread-safe: runs on a worker thread of its own while the program goes on.
std::vector<FoundPrinter> find_printers(const std::atomic<bool>& stop);

// The order within a group: by text, with runs of digits compared as numbers
// ("lp2" before "lp10").
bool found_printer_before(const std::string& a, const std::string& b);
