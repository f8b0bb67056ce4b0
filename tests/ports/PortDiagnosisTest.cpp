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

// What describe_printer_port says, worked out by another user when asNobody
// and this one is root, so that permissions apply.
PortTargetView DescribeAs(bool asNobody, const std::string& port)
{
	if (!asNobody || geteuid() != 0)
		return describe_printer_port(port.c_str());
	int channel[2];
	if (pipe(channel) != 0)
		return {"", "(no pipe)"};
	pid_t child = fork();
	if (child == 0) {
		close(channel[0]);
		PortTargetView view;
		if (setgid(65534) == 0 && setuid(65534) == 0)
			view = describe_printer_port(port.c_str());
		std::string text = view.target + '\n' + view.problem;
		_exit(write(channel[1], text.data(), text.size()) == ssize_t(text.size()) ? 0 : 1);
	}
	close(channel[1]);
	std::string text;
	char chunk[512];
	for (ssize_t got; (got = read(channel[0], chunk, sizeof(chunk))) > 0;)
		text.append(chunk, got);
	close(channel[0]);
	waitpid(child, nullptr, 0);
	size_t end = text.find('\n');
	if (end == std::string::npos)
		return {"", "(no answer)"};
	return {text.substr(0, end), text.substr(end + 1)};
}

struct TargetCase
{
	const char* what;
	const char* port;
	const char* value;     // QUILLON_PARALLEL1, or QUILLON_SERIAL2 for a serial port
	const char* baud;      // QUILLON_SERIAL2_BAUD
	Prepare prepare;
	bool asNobody;
	const char* target;
	const char* problem;
};

Prepare File(mode_t mode)
{
	return [=](const std::string& directory) {
		std::string file = directory + "/file";
		int descriptor = open(file.c_str(), O_WRONLY | O_CREAT, 0600);
		return descriptor >= 0 && close(descriptor) == 0 && chmod(file.c_str(), mode) == 0;
	};
}

TEST_F(PortDiagnosisTest, IdlePortShowsItsTargetAndWhatIsWrongWithIt)
{
	ASSERT_EQ(0, chmod(fDirectory.c_str(), 0755));
	const TargetCase cases[] = {
	    {"relative file", "PrintFile", nullptr, nullptr, nullptr, false, "{cwd}/PrintFile", ""},
	    {"missing device", "/dev/parallel/parallel1", "/dev/quillon-none", nullptr, nullptr, false,
	     "/dev/quillon-none", "not there"},
	    {"serial", "/dev/serial/serial2", "/dev/null", nullptr, nullptr, false,
	     "/dev/null, 9600 baud", ""},
	    {"serial speed", "/dev/serial/serial2", "/dev/null", "115200", nullptr, false,
	     "/dev/null, 115200 baud", ""},
	    {"wrong speed", "/dev/serial/serial2", "/dev/null", "1234", nullptr, false,
	     "/dev/null, 1234 baud", "speed not supported"},
	    {"network", "/dev/parallel/parallel1", "tcp://[::1]:9100", nullptr, nullptr, false,
	     "[::1]:9100", ""},
	    {"no port number", "/dev/parallel/parallel1", "tcp://printer", nullptr, nullptr, false,
	     "tcp://printer", "not a network address"},
	    {"folder", "{dir}", nullptr, nullptr, nullptr, false, "{dir}", "a folder"},
	    {"missing folder", "{dir}/none/out", nullptr, nullptr, nullptr, false, "{dir}/none/out",
	     "folder not there"},
	    {"planted link", "{dir}/sticky/link", nullptr, nullptr, PlantedLink, false,
	     "{dir}/sticky/link", "link not followed"},
	    {"read-only file", "{dir}/file", nullptr, nullptr, File(0444), true, "{dir}/file",
	     "no permission"},
	    {"writable file", "{dir}/file", nullptr, nullptr, File(0666), true, "{dir}/file", ""},
	    {"root's device", "/dev/parallel/parallel1", "{dir}/dev", nullptr, Device("root", 0600),
	     true, "{dir}/dev", "no permission"},
	};
	int number = 0;
	for (const TargetCase& test : cases) {
		SCOPED_TRACE(test.what);
		std::map<std::string, std::string> values = Case(number++);
		bool serial = strcmp(test.port, "/dev/serial/serial2") == 0;
		if (test.value != nullptr)
			Set(serial ? "QUILLON_SERIAL2" : "QUILLON_PARALLEL1", Expand(test.value, values));
		if (test.baud != nullptr)
			Set("QUILLON_SERIAL2_BAUD", test.baud);
		if (test.prepare && !test.prepare(values["{dir}"])) {
			ASSERT_NE(0u, geteuid()) << "could not ready the case";
			continue;
		}
		PortTargetView view = DescribeAs(test.asNobody, Expand(test.port, values));
		EXPECT_EQ(Expand(test.target, values), view.target);
		EXPECT_EQ(test.problem, view.problem);
	}
}

// The status lines as a parallel port reads them when all is well: not busy,
// no acknowledge pulse, selected, no fault.
const int kPrinterReady = 0x80 | 0x40 | 0x10 | 0x08;

TEST(PrinterStatusTest, StatusBitsSayWhyThePrinterStopped)
{
	const struct {
		int bits;
		const char* reason;
	} cases[] = {
	    {kPrinterReady, ""},
	    {kPrinterReady & ~0x80, ""},  // busy taking bytes
	    {kPrinterReady & ~0x40, ""},  // acknowledging one
	    {kPrinterReady | 0x20, "paper out"},
	    {kPrinterReady & ~0x10, "off line"},
	    {kPrinterReady & ~0x08, "printer error"},
	    {0x18, ""},  // a USB printer's port status leaves busy and ack clear
	    {0x38, "paper out"},
	    {0x20, "paper out, off line, printer error"},
	};
	for (const auto& test : cases)
		EXPECT_EQ(test.reason, decode_lp_status(test.bits)) << std::hex << test.bits;

	// Descriptors without the ioctl tell nothing.
	int channel[2];
	ASSERT_EQ(0, pipe(channel));
	EXPECT_EQ("", lp_status_reader().Reason(channel[1]));
	PseudoTerminal terminal;
	ASSERT_TRUE(terminal.Ready());
	EXPECT_EQ("", lp_status_reader().Reason(terminal.Master()));
	close(channel[0]);
	close(channel[1]);
}

// Says the printer is out of paper, on a descriptor that must still be open.
class FakeStatusReader : public PrinterStatusReader
{
public:
	std::string Reason(int descriptor) override
	{
		fAsked++;
		return fcntl(descriptor, F_GETFD) == -1 ? "closed descriptor" : "paper out";
	}

	std::atomic<int> fAsked{0};
};

// Writes to the stream until it fails (once abandoned), on a thread of its own.
std::thread Flood(FILE* stream)
{
	return std::thread([stream] {
		static const char kChunk[4096] = {};
		for (int i = 0; i < 64 * 1024 && fwrite(kChunk, 1, sizeof(kChunk), stream) == sizeof(kChunk);
		     i++) {
		}
	});
}

void StopFlood(FILE* stream, std::thread* flood)
{
	abandon_port_stream(stream);
	flood->join();
	fclose(stream);
}

TEST_F(PortDiagnosisTest, WriteThatWaitsIsSeenWithItsReason)
{
	LoopbackListener printer;
	ASSERT_TRUE(printer.Ready());
	FakeStatusReader fake;
	const struct {
		const char* what;
		bool network;
		PrinterStatusReader* reader;
		std::string reason;
	} cases[] = {
	    {"pipe nobody reads", false, nullptr, ""},
	    {"printer that says why", false, &fake, "paper out"},
	    {"network printer that stopped reading", true, nullptr, printer.Address().substr(6)},
	};
	for (const auto& test : cases) {
		SCOPED_TRACE(test.what);
		set_printer_status_reader(test.reader);
		int channel[2] = {-1, -1};
		int connection = -1;
		FILE* stream;
		if (test.network) {
			Set("QUILLON_PARALLEL1", printer.Address());
			stream = open_printer_port("/dev/parallel/parallel1");
			connection = printer.Accept();
		} else {
			ASSERT_EQ(0, pipe(channel));
			stream = open_port_stream(channel[1]);
		}
		ASSERT_NE(nullptr, stream);
		EXPECT_EQ(0, port_stream_wait().seconds);
		std::thread flood = Flood(stream);
		PortWait wait = {0, ""};
		for (Clock::time_point end = Clock::now() + std::chrono::seconds(10);
		     wait.seconds <= 1.2 && Clock::now() < end;) {
			std::this_thread::sleep_for(std::chrono::milliseconds(50));
			wait = port_stream_wait();
		}
		EXPECT_GT(wait.seconds, 1.2);
		EXPECT_EQ(test.reason, wait.reason);
		StopFlood(stream, &flood);
		EXPECT_EQ(0, port_stream_wait().seconds);
		close(channel[0]);
		if (connection >= 0)
			close(connection);
	}
	set_printer_status_reader(nullptr);
}

// The job's ticker asks while Quit closes the stream under it: it must never
// ask a descriptor that is gone (nor race, under the thread sanitizer).
TEST_F(PortDiagnosisTest, WatchIsSafeWhileTheStreamCloses)
{
	FakeStatusReader fake;
	set_printer_status_reader(&fake);
	std::atomic<bool> done{false};
	std::atomic<int> wrong{0};
	std::thread ticker([&] {
		while (!done.load()) {
			PortWait wait = port_stream_wait();
			if (wait.reason != "" && wait.reason != "paper out")
				wrong++;
		}
	});
	for (int i = 0; i < 40; i++) {
		int channel[2];
		ASSERT_EQ(0, pipe(channel));
		FILE* stream = open_port_stream(channel[1]);
		ASSERT_NE(nullptr, stream);
		std::thread flood = Flood(stream);
		std::this_thread::sleep_for(std::chrono::milliseconds(5));
		StopFlood(stream, &flood);
		close(channel[0]);
	}
	done = true;
	ticker.join();
	set_printer_status_reader(nullptr);
	EXPECT_EQ(0, wrong.load());
	EXPECT_GT(fake.fAsked.load(), 0);
}

}  // namespace
