// The status bar as a script sees it with QUILLON_STATUS_EVENTS=1: one
// status line per change, while the port is idle, as a job goes on, when the
// printer keeps a write waiting, and how the job or its port ended.
#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <grp.h>
#include <functional>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "QuillonRun.h"

namespace {

// The printer's side of a case: it reads what the job sends until the end,
// after a pause of its own; what it took stays in printed.
struct Printer {
	std::string port;  // the value of QUILLON_PARALLEL1
	std::function<void()> serve;
	std::string printed;
};

void
ReadAll(int fd, std::string& printed, int pauseMilliseconds, int eachReadMilliseconds)
{
	std::this_thread::sleep_for(std::chrono::milliseconds(pauseMilliseconds));
	char buffer[16384];
	ssize_t count;
	// A pipe says 0 before its writer comes as well as after it leaves.
	while ((count = read(fd, buffer, sizeof(buffer))) != 0 || printed.empty()) {
		if (count > 0)
			printed.append(buffer, static_cast<size_t>(count));
		std::this_thread::sleep_for(std::chrono::milliseconds(count > 0 ? eachReadMilliseconds : 5));
	}
	close(fd);
}

// A named pipe read slowly from the start, so that the job lasts for some
// ticks.
void
SlowPipe(const ScratchDir& directory, Printer& printer)
{
	printer.port = directory / "printer";
	ASSERT_EQ(mkfifo(printer.port.c_str(), 0600), 0);
	int fd = open(printer.port.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
	ASSERT_GE(fd, 0);
	printer.serve = [fd, &printer] { ReadAll(fd, printer.printed, 0, 40); };
}

// A network printer that takes the connection and reads nothing for three
// seconds.
void
StalledNetworkPrinter(const ScratchDir&, Printer& printer)
{
	int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
	int small = 4096;
	setsockopt(listener, SOL_SOCKET, SO_RCVBUF, &small, sizeof(small));
	sockaddr_in address = {};
	address.sin_family = AF_INET;
	address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
	socklen_t length = sizeof(address);
	ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), length), 0);
	ASSERT_EQ(listen(listener, 1), 0);
	getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
	printer.port = "tcp://127.0.0.1:" + std::to_string(ntohs(address.sin_port));
	printer.serve = [listener, &printer] {
		int connection = accept(listener, NULL, NULL);
		close(listener);
		if (connection >= 0)
			ReadAll(connection, printer.printed, 3000, 0);
	};
}

struct StatusCase {
	const char* name;
	void (*setUp)(const ScratchDir&, Printer&);
	size_t fileSize;
	const char* target;         // as the status bar names it; NULL: the port's value
	const char* waiting;        // a status line the job must show, NULL for none
};

std::string
Listing(size_t size)
{
	std::string text;
	for (int line = 0; text.size() < size; line++)
		text += "line " + std::to_string(line) + " of a listing for a printer that takes its time\n";
	return text;
}

std::vector<std::string>
Statuses(const RunResult& result)
{
	std::vector<std::string> texts;
	for (const std::string& line : result.Events("status"))
		texts.push_back(line.substr(7));
	return texts;
}

bool
Contains(const std::vector<std::string>& lines, const std::string& part)
{
	return std::any_of(lines.begin(), lines.end(),
		[&](const std::string& line) { return line.find(part) != std::string::npos; });
}

TEST(StatusEvents, AJobFromIdleToItsEnd)
{
	const StatusCase kCases[] = {
		{ "slow pipe", SlowPipe, 600000, NULL, NULL },
		{ "stalled network printer", StalledNetworkPrinter, 3000000, "127.0.0.1:",
			"Waiting for the printer - 127.0.0.1:" },
	};
	for (const StatusCase& test : kCases) {
		ScratchDir directory;
		Printer printer;
		test.setUp(directory, printer);
		std::string listing = Listing(test.fileSize);
		directory.Write("listing.txt", listing);
		std::thread serving(printer.serve);
		RunOptions options;
		options.environment = { { "QUILLON_STATUS_EVENTS", "1" }, { "QUILLON_PARALLEL1", printer.port } };
		RunResult result = run_quillon(directory, "drop listing.txt\n", options);
		serving.join();
		ASSERT_EQ(result.exitCode, 0) << test.name << result.Describe();
		std::vector<std::string> statuses = Statuses(result);
		std::string target = test.target != NULL ? test.target : printer.port;
		ASSERT_GE(statuses.size(), 3u) << test.name << result.Describe();
		EXPECT_EQ(statuses.front().rfind("Parallel Port 1 - " + target, 0), 0u) << test.name;
		EXPECT_TRUE(Contains(statuses, "File 1 of 1: listing.txt - ") && Contains(statuses, ", page "))
			<< test.name << result.Describe();
		if (test.waiting != NULL) {
			EXPECT_TRUE(Contains(statuses, test.waiting)) << test.name << result.Describe();
		}
		// Each page ends with the eject code.
		size_t pages = static_cast<size_t>(std::count(printer.printed.begin(), printer.printed.end(), '\f'));
		std::string end = "Printed 1 file, " + std::to_string(pages) + " pages to " + target;
		EXPECT_EQ(statuses.back().rfind(end, 0), 0u) << test.name << result.Describe();
		// No two lines alike in a row: a line only when the words change.
		EXPECT_EQ(std::adjacent_find(statuses.begin(), statuses.end()), statuses.end()) << test.name;
	}
}

// A device node of the group lp that only its group may write to: a copy of
// /dev/null's, in the directory. Without the right to make one, a file only
// its owner may read stands in.
std::string
LpOnlyDevice(const ScratchDir& directory)
{
	std::string path = directory / "lp0";
	const group* lp = getgrnam("lp");
	if (lp != NULL && mknod(path.c_str(), S_IFCHR | 0660, makedev(1, 3)) == 0) {
		EXPECT_EQ(chown(path.c_str(), 0, lp->gr_gid), 0);
		EXPECT_EQ(chmod(path.c_str(), 0660), 0);
	} else {
		chmod(directory.Write("lp0", "").c_str(), 0444);
	}
	return path;
}

std::string
MissingDevice(const ScratchDir&)
{
	return "/dev/usb/lp9";
}

// A port that cannot be opened: the bar says so while idle, and why it
// failed; standard error says why in one line; the alert is as it was.
TEST(StatusEvents, APortThatFailsSaysWhy)
{
	struct PortCase {
		const char* name;
		std::string (*printer)(const ScratchDir&);
		const char* idleProblem;
		const char* beforePath;  // the reason's words around the path
		const char* afterPath;
	};
	const PortCase kCases[] = {
		{ "missing device", MissingDevice, " - not there", "", " is not there" },
		{ "no permission", LpOnlyDevice, " - no permission", "no permission to write to ", "" },
	};
	for (const PortCase& test : kCases) {
		ScratchDir directory;
		chmod(directory.Path().c_str(), 0755);
		directory.Write("a.txt", "x\n");
		std::string printer = test.printer(directory);
		std::string reason = test.beforePath + printer + test.afterPath;
		RunOptions options;
		options.environment = { { "QUILLON_STATUS_EVENTS", "1" }, { "QUILLON_PARALLEL1", printer } };
		options.unprivileged = true;
		RunResult result = run_quillon(directory, "drop a.txt\nanswer OK\n", options);
		EXPECT_EQ(result.Events("alert"),
			std::vector<std::string>{ "alert\tPrinterAlert\tPort failed\tOK\tQuit" }) << test.name;
		std::vector<std::string> statuses = Statuses(result);
		ASSERT_EQ(statuses.size(), 2u) << test.name << result.Describe();
		EXPECT_EQ(statuses[0], "Parallel Port 1 - " + printer + test.idleProblem) << test.name;
		EXPECT_NE(statuses[1].find(reason), std::string::npos) << test.name << statuses[1];
		EXPECT_EQ(result.err.rfind("quillon: port failed: ", 0), 0u) << test.name << result.err;
		EXPECT_NE(result.err.find(reason), std::string::npos) << test.name << result.err;
		EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << test.name;
	}
}

}  // namespace
