// Opens the output a print job writes to. The port paths of the Printers menu
// name the original system's device files; here they reach the Linux devices,
// or what the environment points them at:
//   /dev/parallel/parallel1  QUILLON_PARALLEL1, else /dev/lp0 or /dev/usb/lp0
//   /dev/parallel/parallel2  QUILLON_PARALLEL2, else /dev/lp1 or /dev/usb/lp1
//   /dev/serial/serial1      QUILLON_SERIAL1, else /dev/ttyS0
//   /dev/serial/serial2      QUILLON_SERIAL2, else /dev/ttyS1
// Each variable holds a path or tcp://HOST:PORT (a network printer's raw port,
// usually 9100). A serial port is set to raw 8-bit mode at the speed of
// QUILLON_SERIAL1_BAUD or QUILLON_SERIAL2_BAUD (9600 when unset). Any other
// path, such as "PrintFile", is opened as a plain file with mode "w". A link
// in a directory anyone may write to (such as /tmp) is followed only when it
// belongs to the user or to the directory's owner, and never to make a file.
// The stream is made by open_port_stream.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include <sys/types.h>

FILE* open_printer_port(const char* path);

// A file by its device and inode: the same file under any name.
struct PortFileId {
	dev_t device;
	ino_t inode;
};

// As above, but an output that is one of the inputs is refused before it is
// cut: NULL with errno EBUSY, and *input (when given) says which one.
FILE* open_printer_port(const char* path, const std::vector<PortFileId>& inputs, size_t* input);

// Where a port path leads, after the environment is consulted: a device or
// file path, or a tcp:// address.
std::string printer_port_target(const char* path);

// How long a network printer has to accept the connection.
const int kPrinterConnectTimeout = 5000;  // milliseconds
