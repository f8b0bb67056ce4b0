#include "PortDiagnosis.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <grp.h>
#include <linux/lp.h>
#include <pwd.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "PortChoices.h"
#include "PrinterPorts.h"

namespace {

// A path as the user should read it: a relative file as the absolute path it
// opens, without following any link in it.
std::string
Shown(const std::string& path)
{
	if (path.empty() || path[0] == '/')
		return path;
	std::vector<char> directory(4096);
	while (getcwd(directory.data(), directory.size()) == NULL) {
		if (errno != ERANGE)
			return path;
		directory.resize(directory.size() * 2);
	}
	std::string shown = directory.data();
	if (shown != "/")
		shown += '/';
	return shown + (path.compare(0, 2, "./") == 0 ? path.substr(2) : path);
}

std::string
Folder(const std::string& path)
{
	size_t slash = path.rfind('/');
	if (slash == std::string::npos)
		return ".";
	return slash == 0 ? "/" : path.substr(0, slash);
}

std::string
ErrorText(int error)
{
	char buffer[256];
	return strerror_r(error, buffer, sizeof(buffer));
}

// A link the port will not follow: in a directory anyone may write to, made
// by somebody who is neither the user nor the directory's owner.
bool
RefusedLink(const std::string& path)
{
	struct stat link, folder;
	return lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)
		&& stat(Folder(path).c_str(), &folder) == 0 && !port_link_followed(folder, link);
}

// A folder that is not there, or was removed while it was still the
// working folder (it then has no name left, and no links).
bool
FolderGone(const std::string& path)
{
	struct stat folder;
	return stat(Folder(path).c_str(), &folder) != 0 || folder.st_nlink == 0;
}

bool
Writable(const std::string& path)
{
	return faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

std::string
GroupName(gid_t group)
{
	struct group entry, *found = NULL;
	std::vector<char> buffer(4096);
	if (getgrgid_r(group, &entry, buffer.data(), buffer.size(), &found) != 0 || found == NULL)
		return std::to_string(group);
	return found->gr_name;
}

std::string
UserName(uid_t user)
{
	struct passwd entry, *found = NULL;
	std::vector<char> buffer(4096);
	if (getpwuid_r(user, &entry, buffer.data(), buffer.size(), &found) != 0 || found == NULL)
		return std::to_string(user);
	return found->pw_name;
}

// Who may write to a device the user may not: most printer devices belong to
// a group such as lp that the user can join.
std::string
PermissionHint(const std::string& device)
{
	struct stat info;
	if (stat(device.c_str(), &info) != 0)
		return "";
	if ((info.st_mode & S_IWGRP) != 0 && info.st_gid != 0) {
		std::string group = GroupName(info.st_gid);
		return "the device belongs to group " + group + ": add yourself with `sudo usermod -aG "
			+ group + " $USER` and log in again";
	}
	return "only " + UserName(info.st_uid) + " may write to it";
}

PortFailure
NetworkFailure(const std::string& target, int error)
{
	std::string address = network_printer_address(target);
	std::string host = address.substr(0, address.rfind(':'));
	switch (error) {
		case EINVAL:
			return { target + " is not a network printer's address",
				"write it as tcp://HOST:PORT, for example tcp://192.0.2.7:9100" };
		case ECONNREFUSED:
			return { address + " refused the connection",
				"check the port number: most printers take raw jobs on port 9100" };
		case ETIMEDOUT:
			return { address + " did not answer in " + std::to_string(kPrinterConnectTimeout / 1000)
					+ " s",
				"check that the printer is on and connected to the network" };
		case EHOSTUNREACH:
		case ENETUNREACH:
		case EHOSTDOWN:
			return { address + " cannot be reached", "check the network and the printer's address" };
		case ENXIO:
			return { "no computer is known by the name " + host,
				"check the name, or give the printer's address instead" };
		case EAGAIN:
			return { "the name " + host + " could not be looked up", "check the network" };
		default:
			return { address + ": " + ErrorText(error), "" };
	}
}

}  // namespace

PortTargetView
describe_printer_port(const char* path)
{
	PortTargetView view;
	if (path == NULL || path[0] == '\0')
		return { "", "not there" };
	PortRoute route = printer_port_route(path);
	// What a print service's queue or a preview is like is theirs to say,
	// when the job is sent.
	if (route.elsewhere)
		return { route.target, "" };
	if (route.network) {
		std::string address = network_printer_address(route.target);
		view.target = address.empty() ? route.target : address;
		view.problem = address.empty() ? "not a network address" : "";
		return view;
	}
	view.target = Shown(route.target);
	long baud = route.baudVariable != NULL ? serial_port_baud(route.baudVariable) : 9600;
	if (route.baudVariable != NULL && !route.plainFile) {
		std::string asked = port_variable_value(route.baudVariable);
		view.target += ", " + (baud != 0 ? std::to_string(baud) : asked) + " baud";
	}
	if (baud == 0) {
		view.problem = "speed not supported";
		return view;
	}

	const std::string& file = route.target;
	if (RefusedLink(file)) {
		view.problem = "link not followed";
		return view;
	}
	// The entry is looked at first and followed after, so a file that a job
	// makes between the two looks is seen as made, not as a link.
	struct stat info, link;
	bool entered = lstat(file.c_str(), &link) == 0;
	bool followed = entered && (!S_ISLNK(link.st_mode) || stat(file.c_str(), &info) == 0);
	if (entered && !S_ISLNK(link.st_mode))
		info = link;
	if (!followed) {
		if (!entered && errno == EACCES)
			view.problem = "no permission";
		else if (!route.plainFile)
			view.problem = "not there";
		else if (entered)
			view.problem = "link to nothing";
		else if (FolderGone(file))
			view.problem = "folder not there";
		else if (!Writable(Folder(file)))
			view.problem = "no permission";
		return view;
	}
	if (S_ISDIR(info.st_mode))
		view.problem = "a folder";
	else if (!route.plainFile && !S_ISCHR(info.st_mode) && !S_ISFIFO(info.st_mode)
		&& !S_ISREG(info.st_mode))
		view.problem = "not a printer device";
	else if (!Writable(file))
		view.problem = errno == EROFS ? "read-only" : "no permission";
	return view;
}

PortFailure
describe_port_failure(const char* path, int error)
{
	PortRoute route = printer_port_route(path);
	if (route.network)
		return NetworkFailure(route.target, error);
	std::string file = Shown(route.target);
	if (error == EINVAL && route.baudVariable != NULL && serial_port_baud(route.baudVariable) == 0) {
		return { std::string(route.baudVariable) + "=" + port_variable_value(route.baudVariable)
				+ " is not a speed a serial port takes",
			"set it to " + serial_port_speeds() + ", the number alone" };
	}
	if ((error == EACCES || error == EPERM) && RefusedLink(route.target)) {
		return { file + " is a link that another user made in " + Folder(file)
				+ ", so it is not followed",
			"point the port at the device or file itself, or make the link yourself" };
	}

	struct stat info, link;
	bool there = stat(route.target.c_str(), &info) == 0;
	switch (error) {
		case ENXIO:
			if (there && S_ISFIFO(info.st_mode))
				return { "nobody reads the named pipe " + file,
					"start the program that reads it, then print" };
			[[fallthrough]];
		case ENOENT:
		case ENODEV:
			// A device node without its driver is as good as missing.
			if (!route.plainFile || (there && S_ISCHR(info.st_mode)))
				return { file + " is not there", "no printer connected, or no driver for it" };
			if (!there && lstat(route.target.c_str(), &link) == 0)
				return { file + " is a link to a file that is not there",
					"a link is never followed to make a file: make it first, or name it directly" };
			if (FolderGone(route.target) && Folder(file) == ".")
				return { "the working folder is not there any more", "start Quillon in a folder that is" };
			if (FolderGone(route.target))
				return { "the folder " + Folder(file) + " is not there", "" };
			break;
		case EACCES:
		case EPERM:
			if (there && S_ISCHR(info.st_mode))
				return { "no permission to write to " + file, PermissionHint(route.target) };
			if (!there)
				return { "no permission to make " + file, "" };
			return { "no permission to write to " + file, "" };
		case EBUSY:
			if (route.plainFile)
				return { file + " is one of the files to print", "" };
			return { file + " is busy", "another program holds it" };
		case EWOULDBLOCK:
			// Another job holds the output's lock.
			return { file + " is busy", "another program prints to it" };
		case EISDIR:
			return { file + " is a folder", "" };
		case EROFS:
			return { file + " is on a file system that cannot be written to", "" };
		case ENOSPC:
			return { "no space left for " + file, "" };
		default:
			break;
	}
	return { file + ": " + ErrorText(error), "" };
}

PrinterStatusReader::~PrinterStatusReader()
{
}

// The status byte is the printer's status lines as the parallel port reads
// them, and the usblp driver fills the same bits from the USB printer's port
// status; both drivers read them the same way:
//   LP_PERRORP (0x08) the nFault line, active low: set when all is well,
//                     cleared when the printer reports an error;
//   LP_PSELECD (0x10) the Select line, active high: set while the printer is
//                     on line, cleared when it is off line;
//   LP_POUTPA  (0x20) the Paper Empty line, active high: set when out of paper;
//   LP_PACK    (0x40) the nAck line, active low, and
//   LP_PBUSY   (0x80) the Busy line, inverted by the port: cleared while the
//                     printer is busy. Both change with every byte taken, so
//                     they say nothing about why the printer stopped.
std::string
decode_lp_status(int bits)
{
	std::string reason;
	auto add = [&reason](const char* word) {
		reason += reason.empty() ? word : std::string(", ") + word;
	};
	if ((bits & LP_POUTPA) != 0)
		add("paper out");
	if ((bits & LP_PSELECD) == 0)
		add("off line");
	if ((bits & LP_PERRORP) == 0)
		add("printer error");
	return reason;
}

namespace {

class LpStatusReader : public PrinterStatusReader {
public:
	std::string Reason(int descriptor) override
	{
		int bits = 0;
		if (ioctl(descriptor, LPGETSTATUS, &bits) != 0)
			return "";
		return decode_lp_status(bits);
	}
};

}  // namespace

PrinterStatusReader&
lp_status_reader()
{
	static LpStatusReader reader;
	return reader;
}
