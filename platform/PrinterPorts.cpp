#include "PrinterPorts.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

struct PortDevice {
	const char* path;
	const char* variable;
	const char* baudVariable;  // serial ports only
	const char* defaults[2];
};

const PortDevice kPortDevices[] = {
	{ "/dev/parallel/parallel1", "QUILLON_PARALLEL1", NULL, { "/dev/lp0", "/dev/usb/lp0" } },
	{ "/dev/parallel/parallel2", "QUILLON_PARALLEL2", NULL, { "/dev/lp1", "/dev/usb/lp1" } },
	{ "/dev/serial/serial1", "QUILLON_SERIAL1", "QUILLON_SERIAL1_BAUD", { "/dev/ttyS0", NULL } },
	{ "/dev/serial/serial2", "QUILLON_SERIAL2", "QUILLON_SERIAL2_BAUD", { "/dev/ttyS1", NULL } },
};

const PortDevice*
FindPortDevice(const char* path)
{
	for (const PortDevice& device : kPortDevices) {
		if (strcmp(device.path, path) == 0)
			return &device;
	}
	return NULL;
}

std::string
DeviceTarget(const PortDevice& device)
{
	const char* chosen = getenv(device.variable);
	if (chosen != NULL && chosen[0] != '\0')
		return chosen;
	for (const char* candidate : device.defaults) {
		if (candidate != NULL && access(candidate, F_OK) == 0)
			return candidate;
	}
	return device.defaults[0];
}

// The speed the user set for a serial port, 9600 when unset. A speed the port
// cannot take is refused rather than quietly replaced: a printer spoken to at
// the wrong speed prints garbage.
bool
BaudRate(const char* variable, speed_t* speed)
{
	const char* text = variable != NULL ? getenv(variable) : NULL;
	if (text == NULL || text[0] == '\0') {
		*speed = B9600;
		return true;
	}
	char* end = NULL;
	long baud = strtol(text, &end, 10);
	if (*end != '\0')
		return false;
	switch (baud) {
		case 300: *speed = B300; return true;
		case 600: *speed = B600; return true;
		case 1200: *speed = B1200; return true;
		case 2400: *speed = B2400; return true;
		case 4800: *speed = B4800; return true;
		case 9600: *speed = B9600; return true;
		case 19200: *speed = B19200; return true;
		case 38400: *speed = B38400; return true;
		case 57600: *speed = B57600; return true;
		case 115200: *speed = B115200; return true;
		case 230400: *speed = B230400; return true;
		default: return false;
	}
}

// The bytes that leave must be the bytes the engine staged: no newline
// translation, no echo, 8 bits, no flow control the printer did not ask for.
bool
MakeRaw(int descriptor, speed_t speed)
{
	struct termios settings;
	if (tcgetattr(descriptor, &settings) != 0)
		return false;
	cfmakeraw(&settings);
	// cfmakeraw only turns OPOST off; the translations under it stay set and
	// would come back with it. Clear them, so no driver can apply them.
	settings.c_oflag &= ~(ONLCR | OCRNL | ONOCR | ONLRET);
	settings.c_cflag |= CLOCAL | CREAD;
	settings.c_cflag &= ~(CSTOPB | PARENB);
	cfsetispeed(&settings, speed);
	cfsetospeed(&settings, speed);
	return tcsetattr(descriptor, TCSANOW, &settings) == 0;
}

int
ConnectNetworkPrinter(const std::string& address)
{
	// tcp://HOST:PORT, HOST may be [v6 address].
	std::string rest = address.substr(strlen("tcp://"));
	size_t colon = rest.rfind(':');
	if (colon == std::string::npos || colon + 1 == rest.size()) {
		errno = EINVAL;
		return -1;
	}
	std::string host = rest.substr(0, colon);
	std::string port = rest.substr(colon + 1);
	if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
		host = host.substr(1, host.size() - 2);

	struct addrinfo hints;
	memset(&hints, 0, sizeof(hints));
	hints.ai_family = AF_UNSPEC;
	hints.ai_socktype = SOCK_STREAM;
	struct addrinfo* addresses = NULL;
	if (getaddrinfo(host.c_str(), port.c_str(), &hints, &addresses) != 0) {
		errno = EHOSTUNREACH;
		return -1;
	}

	int connected = -1;
	int error = ECONNREFUSED;
	for (struct addrinfo* a = addresses; a != NULL && connected < 0; a = a->ai_next) {
		int descriptor = socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK,
			a->ai_protocol);
		if (descriptor < 0) {
			error = errno;
			continue;
		}
		if (connect(descriptor, a->ai_addr, a->ai_addrlen) != 0 && errno != EINPROGRESS) {
			error = errno;
			close(descriptor);
			continue;
		}
		// A printer that does not answer in time is a port that failed.
		struct pollfd wait = { descriptor, POLLOUT, 0 };
		int ready = poll(&wait, 1, kPrinterConnectTimeout);
		int status = 0;
		socklen_t length = sizeof(status);
		if (ready <= 0) {
			error = ready == 0 ? ETIMEDOUT : errno;
			close(descriptor);
			continue;
		}
		if (getsockopt(descriptor, SOL_SOCKET, SO_ERROR, &status, &length) != 0 || status != 0) {
			error = status != 0 ? status : errno;
			close(descriptor);
			continue;
		}
		int flags = fcntl(descriptor, F_GETFL);
		fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK);
		connected = descriptor;
	}
	freeaddrinfo(addresses);
	if (connected < 0)
		errno = error;
	return connected;
}

FILE*
OpenDescriptor(int descriptor)
{
	if (descriptor < 0)
		return NULL;
	FILE* stream = fdopen(descriptor, "w");
	if (stream == NULL) {
		int error = errno;
		close(descriptor);
		errno = error;
	}
	return stream;
}

}  // namespace

std::string
printer_port_target(const char* path)
{
	if (path == NULL)
		return "";
	const PortDevice* device = FindPortDevice(path);
	return device != NULL ? DeviceTarget(*device) : path;
}

FILE*
open_printer_port(const char* path)
{
	// A printer that hangs up must end in a failed write, not in the end of
	// the process.
	signal(SIGPIPE, SIG_IGN);

	const PortDevice* device = FindPortDevice(path);
	if (device == NULL)
		return fopen(path, "w");

	std::string target = DeviceTarget(*device);
	if (target.compare(0, 6, "tcp://") == 0)
		return OpenDescriptor(ConnectNetworkPrinter(target));

	// A device that is not there must not turn into a plain file of that
	// name; a plain file the user named is made as "w" would.
	int flags = O_WRONLY | O_NOCTTY | O_CLOEXEC;
	if (target.compare(0, 5, "/dev/") != 0)
		flags |= O_CREAT | O_TRUNC;
	bool serial = device->baudVariable != NULL;
	speed_t speed = B9600;
	if (serial && !BaudRate(device->baudVariable, &speed)) {
		errno = EINVAL;
		return NULL;
	}
	// A serial port without carrier would block the open; it is a printer
	// port, so the modem lines do not matter.
	int descriptor = open(target.c_str(), flags | (serial ? O_NONBLOCK : 0), 0666);
	if (descriptor < 0)
		return NULL;
	if (serial) {
		fcntl(descriptor, F_SETFL, fcntl(descriptor, F_GETFL) & ~O_NONBLOCK);
		// A port left in its old mode would translate line ends.
		if (isatty(descriptor) && !MakeRaw(descriptor, speed)) {
			int error = errno;
			close(descriptor);
			errno = error;
			return NULL;
		}
	}
	return OpenDescriptor(descriptor);
}
