#include "PrinterPorts.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include "PortChoices.h"
#include "PortStream.h"

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
	{ "PrintFile", "QUILLON_PRINTFILE", NULL, { "PrintFile", NULL } },
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
	std::string chosen = port_variable_value(device.variable);
	if (!chosen.empty())
		return chosen;
	for (const char* candidate : device.defaults) {
		if (candidate != NULL && access(candidate, F_OK) == 0)
			return candidate;
	}
	return device.defaults[0];
}

// The speeds a serial port takes, with the system's code for each.
const struct {
	long baud;
	speed_t code;
} kSpeeds[] = {
	{ 300, B300 }, { 600, B600 }, { 1200, B1200 }, { 2400, B2400 }, { 4800, B4800 },
	{ 9600, B9600 }, { 19200, B19200 }, { 38400, B38400 }, { 57600, B57600 },
	{ 115200, B115200 }, { 230400, B230400 },
};

// The speed the user set for a serial port, 9600 when unset. A speed the port
// cannot take is refused rather than quietly replaced: a printer spoken to at
// the wrong speed prints garbage.
bool
BaudRate(const char* variable, speed_t* speed)
{
	long baud = serial_port_baud(variable);
	for (const auto& known : kSpeeds) {
		if (known.baud == baud) {
			*speed = known.code;
			return true;
		}
	}
	return false;
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
	std::string rest = network_printer_address(address);
	size_t colon = rest.rfind(':');
	if (colon == std::string::npos) {
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
	int looked = getaddrinfo(host.c_str(), port.c_str(), &hints, &addresses);
	if (looked != 0) {
		// An errno of its own for each way the name fails, none that a
		// connect could leave, so the user is told which it was.
		int lookupError = errno;
		switch (looked) {
			case EAI_AGAIN: errno = EAGAIN; break;
			case EAI_SERVICE: errno = EINVAL; break;
			case EAI_MEMORY: errno = ENOMEM; break;
			case EAI_SYSTEM: errno = lookupError != 0 ? lookupError : ENXIO; break;
			default: errno = ENXIO; break;
		}
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

// The kernel's rule for links in a directory anyone may write to and only
// owners may delete from (such as /tmp): a link there is followed only when it
// belongs to the user who follows it, or to the directory's owner. Anybody
// else's link there may point anywhere, at a file of ours included.
//
// Opens the last component of the path without following a link, then, when
// it is one, looks at it through the same directory and follows it only as
// that rule allows, and never to create the file it names.
int
OpenGuarded(const std::string& target, int flags)
{
	int descriptor;
	do
		descriptor = open(target.c_str(), flags | O_NOFOLLOW, 0666);
	while (descriptor < 0 && errno == EINTR);
	if (descriptor >= 0 || errno != ELOOP)
		return descriptor;

	size_t slash = target.rfind('/');
	std::string directory = slash == std::string::npos ? "." : target.substr(0, slash + 1);
	std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
	int directoryDescriptor = open(directory.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
	if (directoryDescriptor < 0)
		return -1;
	struct stat directoryInfo, linkInfo;
	int error = 0;
	if (fstat(directoryDescriptor, &directoryInfo) != 0
		|| fstatat(directoryDescriptor, name.c_str(), &linkInfo, AT_SYMLINK_NOFOLLOW) != 0)
		error = errno;
	else if (!S_ISLNK(linkInfo.st_mode))
		error = ELOOP;
	else if (!port_link_followed(directoryInfo, linkInfo))
		error = EACCES;
	// In such a directory nobody but the link's owner can swap the link we
	// looked at for another; elsewhere any link is followed anyway.
	if (error == 0) {
		descriptor = openat(directoryDescriptor, name.c_str(), flags & ~(O_CREAT | O_EXCL));
		if (descriptor < 0)
			error = errno;
	}
	close(directoryDescriptor);
	errno = error;
	return error == 0 ? descriptor : -1;
}

// Files and printer devices are locked for the job; a pipe or a socket has a
// reader who sees one writer's bytes after the other's anyway, and /dev/null
// and its kin (major 1) take any number of writers.
bool
Exclusive(const struct stat& info)
{
	return S_ISREG(info.st_mode) || (S_ISCHR(info.st_mode) && major(info.st_rdev) != 1);
}

bool
IsInput(const struct stat& output, const std::vector<PortFileId>& inputs, size_t* which)
{
	for (size_t i = 0; i < inputs.size(); i++) {
		if (inputs[i].device == output.st_dev && inputs[i].inode == output.st_ino) {
			if (which != NULL)
				*which = i;
			return true;
		}
	}
	return false;
}

}  // namespace

const char*
port_variable(const char* path)
{
	const PortDevice* device = path != NULL ? FindPortDevice(path) : NULL;
	return device != NULL ? device->variable : NULL;
}

bool
is_port_variable(const std::string& name)
{
	for (const PortDevice& device : kPortDevices) {
		if (name == device.variable || (device.baudVariable != NULL && name == device.baudVariable))
			return true;
	}
	return false;
}

std::string
printer_port_target(const char* path)
{
	if (path == NULL)
		return "";
	const PortDevice* device = FindPortDevice(path);
	return device != NULL ? DeviceTarget(*device) : path;
}

PortRoute
printer_port_route(const char* path)
{
	PortRoute route = { "", false, true, false, NULL };
	if (path == NULL)
		return route;
	const PortDevice* device = FindPortDevice(path);
	route.target = device != NULL ? DeviceTarget(*device) : path;
	// A print service's queue or a preview is never made into a file of
	// that name.
	route.elsewhere = route.target.compare(0, 7, "cups://") == 0
		|| route.target.compare(0, 8, "preview:") == 0;
	if (device == NULL) {
		route.plainFile = !route.elsewhere;
		return route;
	}
	route.network = route.target.compare(0, 6, "tcp://") == 0;
	route.plainFile = !route.network && !route.elsewhere && route.target.compare(0, 5, "/dev/") != 0;
	route.baudVariable = device->baudVariable;
	return route;
}

long
serial_port_baud(const char* baudVariable)
{
	std::string value = baudVariable != NULL ? port_variable_value(baudVariable) : "";
	const char* text = value.c_str();
	if (text[0] == '\0')
		return 9600;
	// strtol would pass over leading space; a value with space on either
	// side is refused alike.
	if (text[0] < '0' || text[0] > '9')
		return 0;
	char* end = NULL;
	errno = 0;
	long baud = strtol(text, &end, 10);
	if (*end != '\0' || errno != 0)
		return 0;
	for (const auto& known : kSpeeds) {
		if (known.baud == baud)
			return baud;
	}
	return 0;
}

std::string
serial_port_speeds()
{
	std::string words;
	for (size_t i = 0; i < std::size(kSpeeds); i++) {
		if (i > 0)
			words += i + 1 == std::size(kSpeeds) ? " or " : ", ";
		words += std::to_string(kSpeeds[i].baud);
	}
	return words;
}

std::string
network_printer_address(const std::string& target)
{
	if (target.compare(0, 6, "tcp://") != 0)
		return "";
	std::string rest = target.substr(6);
	size_t colon = rest.rfind(':');
	// A host, and a port of 1 to 65535 in digits alone: a larger number
	// would wrap around to another port, a service name is not a printer's.
	if (colon == std::string::npos || colon == 0 || colon + 1 == rest.size()
		|| colon + 6 < rest.size())
		return "";
	long port = 0;
	for (size_t i = colon + 1; i < rest.size(); i++) {
		if (rest[i] < '0' || rest[i] > '9')
			return "";
		port = port * 10 + (rest[i] - '0');
	}
	if (port < 1 || port > 65535 || rest.compare(0, colon, "[]") == 0)
		return "";
	return rest;
}

bool
port_link_followed(const struct stat& directory, const struct stat& link)
{
	bool guarded = (directory.st_mode & S_ISVTX) != 0 && (directory.st_mode & S_IWOTH) != 0;
	return !guarded || link.st_uid == geteuid() || link.st_uid == directory.st_uid;
}

FILE*
open_printer_port(const char* path)
{
	return open_printer_port(path, {}, NULL);
}

FILE*
open_printer_port(const char* path, const std::vector<PortFileId>& inputs, size_t* input)
{
	if (path == NULL) {
		errno = EINVAL;
		return NULL;
	}
	PortRoute route = printer_port_route(path);
	const std::string& target = route.target;
	if (route.network)
		return open_port_stream(ConnectNetworkPrinter(target), network_printer_address(target));
	if (route.elsewhere) {
		errno = EINVAL;
		return NULL;
	}

	bool serial = route.baudVariable != NULL;
	speed_t speed = B9600;
	if (serial && !BaudRate(route.baudVariable, &speed)) {
		errno = EINVAL;
		return NULL;
	}
	// A device that is not there must not turn into a plain file of that
	// name; a plain file the user named is made as "w" would, and cut only
	// once it is known not to be one of the files to print. Nothing waits in
	// the open: a serial port for carrier, a named pipe for a reader (none
	// there is a port that failed).
	int flags = O_WRONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK;
	if (route.plainFile)
		flags |= O_CREAT;
	int descriptor = OpenGuarded(target, flags);
	if (descriptor < 0)
		return NULL;

	struct stat info;
	int error = 0;
	if (fstat(descriptor, &info) != 0)
		error = errno;
	else if (IsInput(info, inputs, input))
		error = EBUSY;
	// One job at a time on an output: a second one, from this program or
	// another, is refused rather than mixing its lines into the first's.
	// The lock goes with the last descriptor of the open, at the close.
	else if (Exclusive(info) && flock(descriptor, LOCK_EX | LOCK_NB) != 0)
		error = errno;
	// What is cut is what is a plain file, wherever it lies (/dev/shm too),
	// and only once the output is the job's alone.
	else if (S_ISREG(info.st_mode) && ftruncate(descriptor, 0) != 0)
		error = errno;
	// A port left in its old mode would translate line ends.
	else if (serial && isatty(descriptor) && !MakeRaw(descriptor, speed))
		error = errno;
	if (error != 0) {
		close(descriptor);
		errno = error;
		return NULL;
	}
	return open_port_stream(descriptor);
}
