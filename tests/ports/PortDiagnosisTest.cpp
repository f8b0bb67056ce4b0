// What the user is told about a port: its target and problem when idle, why
// it failed to open (on the errno the open really leaves wherever that can be
// made to happen), the printer's status bits, and the watch on a waiting write.
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <linux/lp.h>
#include <map>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <thread>

#include <PortDiagnosis.h>
#include <PortStream.h>
#include <PortWatch.h>
#include <PrinterPorts.h>

#include "PortTestHarness.h"

namespace {

// Readies a case in its folder; false when this user cannot (it takes root).
typedef bool (*Prepare)(const std::string& directory);

// A device node that group dialout may write to, as a serial port's.
bool DialoutDevice(const std::string& d)
{
	struct group* dialout = getgrnam("dialout");
	return dialout != nullptr && mknod((d + "/dev").c_str(), S_IFCHR, makedev(1, 3)) == 0
	       && chmod((d + "/dev").c_str(), 0660) == 0
	       && chown((d + "/dev").c_str(), 0, dialout->gr_gid) == 0;
}

bool ReadOnlyFile(const std::string& d)
{
	int descriptor = creat((d + "/file").c_str(), 0444);
	return descriptor >= 0 && close(descriptor) == 0;
}

// A link planted by another user in a folder anyone may write to.
bool PlantedLink(const std::string& d)
{
	return mkdir((d + "/sticky").c_str(), 0700) == 0 && chmod((d + "/sticky").c_str(), 01777) == 0
	       && chown((d + "/sticky").c_str(), 65533, 65533) == 0
	       && symlink((d + "/target").c_str(), (d + "/sticky/link").c_str()) == 0
	       && lchown((d + "/sticky/link").c_str(), 65534, 65534) == 0;
}

bool Fifo(const std::string& d) { return mkfifo((d + "/pipe").c_str(), 0600) == 0; }

// The idle view's problem as user nobody sees it, when this one is root.
bool ProblemAsNobody(const std::string& port, const std::string& problem)
{
	pid_t child = fork();
	if (child == 0) {
		bool same = setgid(65534) == 0 && setuid(65534) == 0
		            && describe_printer_port(port.c_str()).problem == problem;
		_exit(same ? 0 : 1);
	}
	int status = -1;
	return waitpid(child, &status, 0) == child && status == 0;
}

struct PortCase
{
	const char* what;
	const char* port;   // a Printers menu path, its variable set to value, or a file
	const char* value;
	const char* baud;   // QUILLON_SERIAL1_BAUD
	Prepare prepare;
	const char* target; // when idle
	const char* problem;
	bool asNobody;      // the problem as user nobody sees it
	int error;          // given; 0: what open_printer_port leaves, which must be opened
	int opened;
	const char* reason;
	const char* hint;   // the start of it
};

const char* kP1 = "/dev/parallel/parallel1";
const char* kS1 = "/dev/serial/serial1";

// In the texts, {dir} is the case's folder, {cwd} the current one, {address}
// HOST:PORT of a loopback port that refuses connections.
const PortCase kCases[] = {
    {"missing device", kP1, "/dev/quillon-none", nullptr, nullptr, "/dev/quillon-none",
     "not there", false, 0, ENOENT,
     "/dev/quillon-none is not there", "no printer connected, or no driver"},
    {"dialout device", kS1, "{dir}/dev", nullptr, DialoutDevice, "{dir}/dev", "", false,
     EACCES, 0, "no permission to write to {dir}/dev", "the device belongs to group dialout: "},
    {"busy", kP1, "/dev/null", nullptr, nullptr, "/dev/null", "", false, EBUSY, 0,
     "/dev/null is busy", "another program holds it"},
    {"wrong speed", kS1, "/dev/null", "1234", nullptr, "/dev/null, 1234 baud",
     "speed not supported", false, 0, EINVAL,
     "QUILLON_SERIAL1_BAUD=1234 is not a speed a serial port takes", "set it to 300, 600, "},
    {"refused", kP1, "tcp://{address}", nullptr, nullptr, "{address}", "", false, 0,
     ECONNREFUSED, "{address} refused the connection", "check the port number"},
    {"unanswered", kP1, "tcp://192.0.2.7:9100", nullptr, nullptr, "192.0.2.7:9100", "", false,
     ETIMEDOUT, 0, "192.0.2.7:9100 did not answer in 5 s", "check that the printer is on"},
    {"pipe nobody reads", kP1, "{dir}/pipe", nullptr, Fifo, "{dir}/pipe", "", false, 0, ENXIO,
     "nobody reads the named pipe {dir}/pipe", "start the program that reads it"},
    {"planted link", "{dir}/sticky/link", nullptr, nullptr, PlantedLink, "{dir}/sticky/link",
     "link not followed", false, 0, EACCES,
     "{dir}/sticky/link is a link that another user made in {dir}/sticky, so it is not followed",
     "point the port at"},
    {"relative file", "PrintFile", nullptr, nullptr, nullptr, "{cwd}/PrintFile", "", false,
     EROFS, 0, "{cwd}/PrintFile is on a file system that cannot be written to", ""},
    {"read-only file", "{dir}/file", nullptr, nullptr, ReadOnlyFile, "{dir}/file",
     "no permission", true, EACCES, 0, "no permission to write to {dir}/file", ""},
    // A port number past 65535 would wrap around to another port.
    {"port over 65535", kP1, "tcp://127.0.0.1:99999", nullptr, nullptr, "tcp://127.0.0.1:99999",
     "not a network address", false, 0, EINVAL,
     "tcp://127.0.0.1:99999 is not a network printer's address", "write it as tcp://HOST:PORT"},
    {"port wrapping to 9100", kP1, "tcp://127.0.0.1:74636", nullptr, nullptr, "tcp://127.0.0.1:74636",
     "not a network address", false, 0, EINVAL,
     "tcp://127.0.0.1:74636 is not a network printer's address", "write it as tcp://HOST:PORT"},
    {"no host", kP1, "tcp://:9100", nullptr, nullptr, "tcp://:9100", "not a network address", false, 0,
     EINVAL, "tcp://:9100 is not a network printer's address", "write it as tcp://HOST:PORT"},
    {"port zero", kP1, "tcp://127.0.0.1:0", nullptr, nullptr, "tcp://127.0.0.1:0",
     "not a network address", false, 0, EINVAL,
     "tcp://127.0.0.1:0 is not a network printer's address", "write it as tcp://HOST:PORT"},
};

std::string Expand(const char* text, const std::map<std::string, std::string>& values)
{
	std::string expanded = text;
	for (const auto& [name, value] : values) {
		for (size_t at; (at = expanded.find(name)) != std::string::npos;)
			expanded.replace(at, name.size(), value);
	}
	return expanded;
}

// The port tests' fixture, under a name of this file's own.
class PortDiagnosisTest : public PrinterPortTest
{
};

TEST_F(PortDiagnosisTest, PortsSayWhereTheyGoAndWhyTheyFailed)
{
	LoopbackListener refusing(false, 0, false);
	ASSERT_TRUE(refusing.Ready());
	ASSERT_EQ(0, chmod(fDirectory.c_str(), 0755));
	char current[PATH_MAX];
	int number = 0;
	for (const PortCase& test : kCases) {
		SCOPED_TRACE(test.what);
		std::string directory = fDirectory + "/" + std::to_string(number++);
		ASSERT_EQ(0, mkdir(directory.c_str(), 0755));
		std::map<std::string, std::string> values = {{"{dir}", directory},
		    {"{cwd}", getcwd(current, sizeof(current))},
		    {"{address}", refusing.Address().substr(strlen("tcp://"))}};
		bool serial = test.port == kS1;
		if (test.value != nullptr)
			Set(serial ? "QUILLON_SERIAL1" : "QUILLON_PARALLEL1", Expand(test.value, values));
		Set("QUILLON_SERIAL1_BAUD", test.baud != nullptr ? test.baud : "");
		if (test.prepare && !test.prepare(directory)) {
			ASSERT_NE(0u, geteuid()) << "could not ready the case";
			continue;
		}
		std::string port = Expand(test.port, values);
		PortTargetView view = describe_printer_port(port.c_str());
		EXPECT_EQ(Expand(test.target, values), view.target);
		if (test.asNobody && geteuid() == 0)
			EXPECT_TRUE(ProblemAsNobody(port, test.problem));
		else
			EXPECT_EQ(test.problem, view.problem);

		int error = test.error;
		if (error == 0) {
			errno = 0;
			EXPECT_EQ(nullptr, open_printer_port(port.c_str()));
			EXPECT_EQ(test.opened, errno) << strerror(errno);
			error = errno;
		}
		PortFailure failure = describe_port_failure(port.c_str(), error);
		EXPECT_EQ(Expand(test.reason, values), failure.reason);
		EXPECT_EQ(0u, failure.hint.find(test.hint)) << failure.hint;
	}
}

// A working folder removed from under the program is said to be gone, not
// taken for a file that is missing.
TEST_F(PortDiagnosisTest, RemovedWorkingFolderIsSaidToBeGone)
{
	char current[PATH_MAX];
	ASSERT_NE(nullptr, getcwd(current, sizeof(current)));
	std::string gone = fDirectory + "/gone";
	ASSERT_EQ(0, mkdir(gone.c_str(), 0700));
	ASSERT_EQ(0, chdir(gone.c_str()));
	ASSERT_EQ(0, rmdir(gone.c_str()));
	EXPECT_EQ("folder not there", describe_printer_port("PrintFile").problem);
	errno = 0;
	EXPECT_EQ(nullptr, open_printer_port("PrintFile"));
	int error = errno;
	EXPECT_EQ("the working folder is not there any more", describe_port_failure("PrintFile", error).reason);
	ASSERT_EQ(0, chdir(current));
}

TEST(PrinterStatusTest, StatusBitsSayWhyThePrinterStopped)
{
	// Not busy, no acknowledge pulse, selected, no fault: all is well.
	const int ready = LP_PBUSY | LP_PACK | LP_PSELECD | LP_PERRORP;
	const std::pair<int, const char*> cases[] = {
	    {ready, ""},
	    {ready & ~(LP_PBUSY | LP_PACK), ""},  // busy taking a byte
	    {ready | LP_POUTPA, "paper out"},
	    {ready & ~LP_PSELECD, "off line"},
	    {ready & ~LP_PERRORP, "printer error"},
	    {0x38, "paper out"},  // a USB printer's port status has no busy or ack line
	    {LP_POUTPA, "paper out, off line, printer error"},
	};
	for (const auto& [bits, reason] : cases)
		EXPECT_EQ(reason, decode_lp_status(bits)) << std::hex << bits;
}

// Says the printer is out of paper, when asked on an open descriptor, after
// a delay in milliseconds.
class FakeStatusReader : public PrinterStatusReader
{
public:
	explicit FakeStatusReader(int delay) : fDelay(delay) {}
	std::string Reason(int descriptor) override
	{
		std::this_thread::sleep_for(std::chrono::milliseconds(fDelay));
		return fcntl(descriptor, F_GETFD) == -1 ? "closed descriptor" : "paper out";
	}

private:
	int fDelay;
};

// The reader the watch asks in place of the real one (none: the real one):
// the test wraps the watch's call of lp_status_reader at link time.
std::atomic<PrinterStatusReader*> sStandInReader{nullptr};

}  // namespace

extern "C" PrinterStatusReader& __real__Z16lp_status_readerv();

extern "C" PrinterStatusReader&
__wrap__Z16lp_status_readerv()
{
	PrinterStatusReader* standIn = sStandInReader.load();
	return standIn != nullptr ? *standIn : __real__Z16lp_status_readerv();
}

namespace {

// The job's ticker asks all along while Quit closes each stream under it
// (the thread sanitizer sees to that); the wait and its reason are seen.
TEST_F(PortDiagnosisTest, WriteThatWaitsIsSeenWithItsReason)
{
	LoopbackListener printer;
	ASSERT_TRUE(printer.Ready());
	Set("QUILLON_PARALLEL1", printer.Address());
	// Static: a request to the slow one is still under way when the test ends.
	static FakeStatusReader fake(0), slow(3000);
	std::atomic<bool> done{false};
	std::thread ticker([&] {
		while (!done)
			port_stream_wait();
	});
	const struct {
		bool network;
		PrinterStatusReader* reader;
		std::string reason;
	} cases[] = {
	    {false, nullptr, ""},  // the real reader: a pipe has no LPGETSTATUS
	    {false, &fake, "paper out"},
	    {false, &slow, ""},  // never holds up the one who asks
	    {true, nullptr, printer.Address().substr(strlen("tcp://"))},
	};
	for (const auto& test : cases) {
		SCOPED_TRACE(test.reason);
		sStandInReader = test.reader;
		int channel[2];
		ASSERT_EQ(0, pipe(channel));
		FILE* stream = test.network ? open_printer_port(kP1) : open_port_stream(channel[1]);
		ASSERT_NE(nullptr, stream);
		int connection = test.network ? printer.Accept() : -1;  // never reads
		EXPECT_EQ(0, port_stream_wait().seconds);
		std::thread flood([stream] {  // until the port is abandoned
			static const char kChunk[4096] = {};
			while (fwrite(kChunk, 1, sizeof(kChunk), stream) > 0) {
			}
		});
		PortWait wait = {0, ""};
		for (int i = 0; i < 100 && wait.seconds <= 1.2; i++) {
			std::this_thread::sleep_for(std::chrono::milliseconds(50));
			Clock::time_point start = Clock::now();
			wait = port_stream_wait();
			EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(500));
		}
		EXPECT_GT(wait.seconds, 1.2);
		EXPECT_EQ(test.reason, wait.reason);
		char drain[65536];  // bytes go through: the next wait counts afresh
		if (!test.network && read(channel[0], drain, sizeof(drain)) > 0) {
			std::this_thread::sleep_for(std::chrono::milliseconds(100));
			EXPECT_LT(port_stream_wait().seconds, 1.0);
		}
		abandon_port_stream(stream);
		flood.join();
		fclose(stream);
		EXPECT_EQ(0, port_stream_wait().seconds);
		close(channel[0]);
		if (test.network) {
			close(channel[1]);
			close(connection);
		}
	}
	done = true;
	ticker.join();
	sStandInReader = nullptr;
}

}  // namespace
