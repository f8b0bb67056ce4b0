// What the user is told about a port: its target, why it failed to open (on
// the errno the open really leaves wherever it can be made to happen), the
// printer's status bits, and the watch on a write that waits.
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <cstring>
#include <functional>
#include <grp.h>
#include <map>
#include <string>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

#include <PortDiagnosis.h>
#include <PortStream.h>
#include <PrinterPorts.h>

#include "PortTestHarness.h"

namespace {

// Readies a case in its folder; false when this user cannot (it takes root).
typedef std::function<bool(const std::string& directory)> Prepare;

// {dir} is the case's folder, {cwd} the current one, {net} a loopback port
// that refuses connections and {address} its HOST:PORT.
std::string Expand(std::string text, const std::map<std::string, std::string>& values)
{
	for (const auto& [name, value] : values) {
		for (size_t at; (at = text.find(name)) != std::string::npos;)
			text.replace(at, name.size(), value);
	}
	return text;
}

// A device node in the folder, owned by root and the group, as a printer's.
Prepare Device(const char* group, mode_t mode, unsigned major = 1)
{
	return [=](const std::string& directory) {
		std::string node = directory + "/dev";
		struct group* owner = getgrnam(group);
		return owner != nullptr && mknod(node.c_str(), S_IFCHR, makedev(major, 3)) == 0
		       && chmod(node.c_str(), mode) == 0 && chown(node.c_str(), 0, owner->gr_gid) == 0;
	};
}

// A link planted by another user in a folder anyone may write to.
bool PlantedLink(const std::string& directory)
{
	std::string sticky = directory + "/sticky";
	return mkdir(sticky.c_str(), 0700) == 0 && chmod(sticky.c_str(), 01777) == 0
	       && chown(sticky.c_str(), 65533, 65533) == 0
	       && symlink((directory + "/target").c_str(), (sticky + "/link").c_str()) == 0
	       && lchown((sticky + "/link").c_str(), 65534, 65534) == 0;
}

class PortDiagnosisTest : public PrinterPortTest
{
protected:
	// A folder of its own for each case of a table.
	std::map<std::string, std::string> Case(int number)
	{
		std::string directory = fDirectory + "/" + std::to_string(number);
		EXPECT_EQ(0, mkdir(directory.c_str(), 0755));
		char current[PATH_MAX];
		return {{"{dir}", directory},
		        {"{cwd}", getcwd(current, sizeof(current))},
		        {"{net}", fRefusing.Address()},
		        {"{address}", fRefusing.Address().substr(6)}};
	}

	LoopbackListener fRefusing{false, 0, false};
};

struct FailureCase
{
	const char* what;
	const char* port;
	const char* value;   // QUILLON_PARALLEL1, or QUILLON_SERIAL1 for a serial port
	Prepare prepare;
	int error;           // given; 0: what open_printer_port leaves
	int opened;          // what it must leave
	const char* reason;
	const char* hint;    // the start of it
};

TEST_F(PortDiagnosisTest, EachFailureSaysWhyAndHowToMendIt)
{
	ASSERT_TRUE(fRefusing.Ready());
	const FailureCase cases[] = {
	    {"missing device", "/dev/parallel/parallel1", "/dev/quillon-none", nullptr, 0, ENOENT,
	     "/dev/quillon-none is not there", "no printer connected, or no driver"},
	    {"node without driver", "/dev/parallel/parallel1", "{dir}/dev", Device("lp", 0660, 240), 0,
	     ENXIO, "{dir}/dev is not there", "no printer connected, or no driver"},
	    {"lp device", "/dev/parallel/parallel1", "{dir}/dev", Device("lp", 0660), EACCES, 0,
	     "no permission to write to {dir}/dev",
	     "the device belongs to group lp: add yourself with `sudo usermod -aG lp $USER`"},
	    {"dialout device", "/dev/serial/serial1", "{dir}/dev", Device("dialout", 0660), EACCES, 0,
	     "no permission to write to {dir}/dev", "the device belongs to group dialout: "},
	    {"root's device", "/dev/parallel/parallel1", "{dir}/dev", Device("root", 0600), EPERM, 0,
	     "no permission to write to {dir}/dev", "only root may write"},
	    {"busy", "/dev/parallel/parallel1", "/dev/null", nullptr, EBUSY, 0, "/dev/null is busy",
	     "another program holds it"},
	    {"refused", "/dev/parallel/parallel1", "{net}", nullptr, 0, ECONNREFUSED,
	     "{address} refused the connection", "check the port number"},
	    {"unanswered", "/dev/parallel/parallel1", "tcp://192.0.2.7:9100", nullptr, ETIMEDOUT, 0,
	     "192.0.2.7:9100 did not answer in 5 s", "check that the printer is on"},
	    {"unknown name", "/dev/parallel/parallel1", "tcp://printer.invalid:9100", nullptr, ENXIO, 0,
	     "no computer is known by the name printer.invalid", "check the name"},
	    {"no port number", "/dev/parallel/parallel1", "tcp://printer", nullptr, 0, EINVAL,
	     "tcp://printer is not a network printer's address", "write it as tcp://HOST:PORT"},
	    {"pipe nobody reads", "/dev/parallel/parallel1", "{dir}/pipe",
	     [](const std::string& d) { return mkfifo((d + "/pipe").c_str(), 0600) == 0; }, 0, ENXIO,
	     "nobody reads the named pipe {dir}/pipe", "start the program that reads it"},
	    {"planted link", "/dev/parallel/parallel1", "{dir}/sticky/link", PlantedLink, 0, EACCES,
	     "{dir}/sticky/link is a link that another user made in {dir}/sticky, so it is not followed",
	     "point the port at"},
	    {"missing folder", "{dir}/none/out", nullptr, nullptr, 0, ENOENT,
	     "the folder {dir}/none is not there", ""},
	    {"relative file", "PrintFile", nullptr, nullptr, EROFS, 0,
	     "{cwd}/PrintFile is on a file system that cannot be written to", ""},
	};
	int number = 0;
	for (const FailureCase& test : cases) {
		SCOPED_TRACE(test.what);
		std::map<std::string, std::string> values = Case(number++);
		bool serial = strcmp(test.port, "/dev/serial/serial1") == 0;
		if (test.value != nullptr)
			Set(serial ? "QUILLON_SERIAL1" : "QUILLON_PARALLEL1", Expand(test.value, values));
		if (test.prepare && !test.prepare(values["{dir}"])) {
			ASSERT_NE(0u, geteuid()) << "could not ready the case";
			continue;
		}
		std::string port = Expand(test.port, values);
		int error = test.error;
		if (error == 0) {
			errno = 0;
			FILE* stream = open_printer_port(port.c_str());
			ASSERT_EQ(nullptr, stream);
			EXPECT_EQ(test.opened, errno) << strerror(errno);
			error = errno;
		}
		PortFailure failure = describe_port_failure(port.c_str(), error);
		EXPECT_EQ(Expand(test.reason, values), failure.reason);
		EXPECT_EQ(0u, failure.hint.find(test.hint)) << failure.hint;
	}
}

}  // namespace
