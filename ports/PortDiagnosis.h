// What the user is told about a printer port: where it really goes, what
// looks wrong with it before a job, why it failed to open and what to do
// about it, and why a write is waiting for the printer. POSIX only.
#pragma once

#include <string>

// Where a port path really goes, for the status bar when idle:
//   "/dev/usb/lp0", "/dev/ttyUSB0, 9600 baud", "tcp://host:9100" -> "host:9100",
//   "PrintFile" -> "/home/ann/PrintFile" (a relative file as the absolute path
//   it opens)
// and what is wrong with it, found with stat and access only: it never
// opens, resolves or connects anything, so it never blocks.
struct PortTargetView {
	std::string target;
	std::string problem;  // "" when it looks usable; else "not there", "no permission"...
};
PortTargetView describe_printer_port(const char* path);

// Why open_printer_port(path) failed with this errno, in a few words, and a
// hint that helps the user mend it ("" when none helps).
struct PortFailure {
	std::string reason;
	std::string hint;
};
PortFailure describe_port_failure(const char* path, int error);

// The printer's own word on why it does not take bytes.
class PrinterStatusReader {
public:
	virtual ~PrinterStatusReader();
	// "paper out", "off line", "printer error" (joined with ", " when
	// several); "" when all is well or the descriptor cannot tell.
	virtual std::string Reason(int descriptor) = 0;
};

// The words for a status byte of a parallel or USB printer device, as the
// LPGETSTATUS ioctl of <linux/lp.h> returns it.
std::string decode_lp_status(int bits);

// Asks a parallel or USB printer device with LPGETSTATUS; "" from anything
// else (a pipe, a terminal, a file), which has no such ioctl.
PrinterStatusReader& lp_status_reader();
