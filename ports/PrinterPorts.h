// Opens the output a print job writes to. The port paths of the Printers menu
// name the original system's device files; here they reach the Linux devices,
// or what the port variables point them at (PortChoices.h says where those
// are set):
//   /dev/parallel/parallel1  QUILLON_PARALLEL1, else /dev/lp0 or /dev/usb/lp0
//   /dev/parallel/parallel2  QUILLON_PARALLEL2, else /dev/lp1 or /dev/usb/lp1
//   /dev/serial/serial1      QUILLON_SERIAL1, else /dev/ttyS0
//   /dev/serial/serial2      QUILLON_SERIAL2, else /dev/ttyS1
//   PrintFile                QUILLON_PRINTFILE, else PrintFile
// Each variable holds a path or tcp://HOST:PORT (a network printer's raw port,
// usually 9100). A serial port is set to raw 8-bit mode at the speed of
// QUILLON_SERIAL1_BAUD or QUILLON_SERIAL2_BAUD (9600 when unset). Any other
// path, such as "PrintFile", is opened as a plain file with mode "w". A link
// in a directory anyone may write to (such as /tmp) is followed only when it
// belongs to the user or to the directory's owner, and never to make a file.
// The stream is made by open_port_stream.
//
// A network printer that cannot be reached leaves errno ECONNREFUSED, ETIMEDOUT
// (no answer within kPrinterConnectTimeout), EHOSTUNREACH or ENETUNREACH; a
// host name that is not known ENXIO, one that could not be looked up for now
// EAGAIN; an address that is no tcp://HOST:PORT EINVAL.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include <sys/stat.h>
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

// The variable that points the port path elsewhere ("QUILLON_PARALLEL1" for
// "/dev/parallel/parallel1", "QUILLON_PRINTFILE" for "PrintFile"), NULL for
// a path that has none.
const char* port_variable(const char* path);
// Whether the name is one of the port variables or their speed variables.
bool is_port_variable(const std::string& name);

// Where a port path leads, after the environment is consulted: a device or
// file path, or a tcp:// address.
std::string printer_port_target(const char* path);

// How a port path is reached, after the environment is consulted.
struct PortRoute {
	std::string target;        // as printer_port_target
	bool network;              // tcp://HOST:PORT
	bool plainFile;            // opened as a plain file, made when it is missing
	bool elsewhere;            // cups://QUEUE or preview:PATH: opened by the job, never as a file
	const char* baudVariable;  // a serial port's speed variable, else NULL
};
PortRoute printer_port_route(const char* path);

// The speed in baud a serial port is opened at: 9600 when the variable is
// unset or empty, 0 when it holds anything but a speed the port takes.
long serial_port_baud(const char* baudVariable);
// The speeds a serial port takes, as words: "300, 600, ... or 230400".
std::string serial_port_speeds();

// "HOST:PORT" of tcp://HOST:PORT as the user wrote it ("[::1]:9100" keeps its
// brackets), "" when the address has no port.
std::string network_printer_address(const std::string& target);

// Whether a link in this directory may be followed (the rule for directories
// anyone may write to, above).
bool port_link_followed(const struct stat& directory, const struct stat& link);

// How long a network printer has to accept the connection.
const int kPrinterConnectTimeout = 5000;  // milliseconds
