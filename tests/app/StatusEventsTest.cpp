// The status bar as a script sees it with QUILLON_STATUS_EVENTS=1: one
// status line per change, while the port is idle, as a job goes on, when the
// printer keeps a write waiting, and how the job or its port ended.
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <arpa/inet.h>
#include <chrono>
#include <fcntl.h>
#include <functional>
#include <grp.h>
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

// Set once the program under test has ended.
std::atomic<bool> sProgramEnded{false};

// The printer reads what the job sends until the job closes it, after a
// pause of its own, a piece at a time.
void
ReadAll(int fd, std::string* printed, int pauseMilliseconds, int eachReadMilliseconds)
{
	std::this_thread::sleep_for(std::chrono::milliseconds(pauseMilliseconds));
	char buffer[16384];
	ssize_t count;
	// A pipe says 0 before its writer comes as well as after it leaves; a
	// job cancelled before its first write leaves it empty for good, and
	// the program's end says so.
	auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
	while (((count = read(fd, buffer, sizeof(buffer))) != 0 || (printed->empty() && !sProgramEnded))
		&& (count >= 0 || errno == EAGAIN) && std::chrono::steady_clock::now() < giveUp) {
		printed->append(buffer, static_cast<size_t>(std::max<ssize_t>(count, 0)));
		std::this_thread::sleep_for(std::chrono::milliseconds(count > 0 ? eachReadMilliseconds : 5));
	}
	close(fd);
}

// A named pipe read slowly from the start, so that the job lasts some ticks.
std::function<void()>
SlowPipe(const ScratchDir& directory, std::string* port, std::string* printed)
{
	*port = directory / "printer";
	mkfifo(port->c_str(), 0600);
	int fd = open(port->c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
	return [fd, printed] { ReadAll(fd, printed, 0, 40); };
}

// A network printer that takes the connection and reads nothing for 3 s.
std::function<void()>
StalledNetworkPrinter(const ScratchDir&, std::string* port, std::string* printed)
{
	int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
	int small = 4096;
	setsockopt(listener, SOL_SOCKET, SO_RCVBUF, &small, sizeof(small));
	sockaddr_in address = {};
	address.sin_family = AF_INET;
	address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
	socklen_t length = sizeof(address);
	bind(listener, reinterpret_cast<sockaddr*>(&address), length);
	listen(listener, 1);
	getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
	*port = "tcp://127.0.0.1:" + std::to_string(ntohs(address.sin_port));
	return [listener, printed] {
		int connection = accept(listener, NULL, NULL);
		close(listener);
		if (connection >= 0)
			ReadAll(connection, printed, 3000, 0);
	};
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
	const struct {
		const char* name;
		std::function<void()> (*printer)(const ScratchDir&, std::string*, std::string*);
		size_t fileSize;
		const char* target;   // as the bar names it; NULL: the port's value
		const char* waiting;  // a status the job must show, NULL for none
	} kCases[] = {
		{ "slow pipe", SlowPipe, 600000, NULL, NULL },
		{ "stalled network printer", StalledNetworkPrinter, 3000000, "127.0.0.1:",
			" - waiting for the printer: 127.0.0.1:" },
	};
	for (const auto& test : kCases) {
		ScratchDir directory;
		std::string port, printed, text;
		std::thread serving(test.printer(directory, &port, &printed));
		for (int line = 0; text.size() < test.fileSize; line++)
			text += "line " + std::to_string(line) + " of a listing for a slow printer\n";
		directory.Write("listing.txt", text);
		RunOptions options;
		options.environment = { { "QUILLON_STATUS_EVENTS", "1" }, { "QUILLON_PARALLEL1", port } };
		RunResult result = run_quillon(directory, "drop listing.txt\n", options);
		serving.join();
		std::vector<std::string> statuses = Statuses(result);
		ASSERT_GE(statuses.size(), 3u) << test.name << result.Describe();
		std::string target = test.target != NULL ? test.target : port;
		EXPECT_EQ(statuses.front().rfind("Parallel Port 1 - " + target, 0), 0u) << test.name;
		EXPECT_TRUE(Contains(statuses, "File 1 of 1: listing.txt - ") && Contains(statuses, ", page "))
			<< test.name << result.Describe();
		EXPECT_TRUE(test.waiting == NULL || Contains(statuses, test.waiting)) << test.name << result.Describe();
		// Each page ends with the eject code.
		std::string end = "Printed 1 file, " + std::to_string(std::count(printed.begin(), printed.end(), '\f'))
			+ " pages to " + target;
		EXPECT_EQ(statuses.back().rfind(end, 0), 0u) << test.name << result.Describe();
		// A line only when the words change.
		EXPECT_EQ(std::adjacent_find(statuses.begin(), statuses.end()), statuses.end()) << test.name;
	}
}

// Cancel Printing while the job waits for a printer that takes its time:
// the program stays, says what was printed, and the next job prints whole.
TEST(StatusEvents, CancelPrintingStopsTheJobAndTheNextOnePrints)
{
	const struct {
		const char* name;
		std::function<void()> (*printer)(const ScratchDir&, std::string*, std::string*);
		const char* how;
	} kCases[] = {
		{ "slow pipe", SlowPipe, "menu \"Cancel Printing\"" },
		{ "stalled network printer", StalledNetworkPrinter, "key ." },
	};
	ScratchDir alone;
	alone.Write("a.txt", "the next job\n");
	std::string expected = run_quillon(alone, "menu MPp2\ndrop a.txt\n").exited ? alone.Read("parallel2.out") : "";
	ASSERT_FALSE(expected.empty());
	for (const auto& test : kCases) {
		ScratchDir directory;
		std::string port, printed, text;
		std::thread serving(test.printer(directory, &port, &printed));
		for (int line = 0; text.size() < 3000000; line++)
			text += "line " + std::to_string(line) + " of a listing nobody waits for\n";
		directory.Write("listing.txt", text);
		directory.Write("a.txt", "the next job\n");
		RunOptions options;
		options.environment = { { "QUILLON_STATUS_EVENTS", "1" }, { "QUILLON_PARALLEL1", port } };
		sProgramEnded = false;
		RunResult result = run_quillon(directory,
			// With no job running, a cancel does nothing.
			std::string(test.how) + "\ndrop listing.txt\n" + test.how + "\nmenu MPp2\ndrop a.txt\n", options);
		sProgramEnded = true;
		serving.join();
		EXPECT_TRUE(result.exited && result.exitCode == 0) << test.name << result.Describe();
		EXPECT_TRUE(Contains(Statuses(result), "Cancelled - Printed 1 file, ")) << test.name << result.Describe();
		EXPECT_LT(printed.size(), text.size()) << test.name;
		EXPECT_EQ(directory.Read("parallel2.out"), expected) << test.name << result.Describe();
		EXPECT_TRUE(result.Events("alert").empty() && result.Events("error").empty()) << test.name << result.Describe();
	}
}

// A device node of the group lp that only its group may write to (a copy of
// /dev/null's); without the right to make one, a file nobody may write to.
std::string
LpOnlyDevice(const ScratchDir& directory)
{
	std::string path = directory / "lp0";
	const group* lp = getgrnam("lp");
	if (lp == NULL || mknod(path.c_str(), S_IFCHR | 0660, makedev(1, 3)) != 0
		|| chown(path.c_str(), 0, lp->gr_gid) != 0)
		chmod(directory.Write("lp0", "").c_str(), 0444);
	return path;
}

std::string
MissingDevice(const ScratchDir&)
{
	return "/dev/usb/lp9";
}

// A port that cannot be opened: the bar says so while idle, and why it
// failed; standard error says why in one line; the alert is as it was. Root
// runs the program as nobody, whom permissions hold.
TEST(StatusEvents, APortThatFailsSaysWhy)
{
	const struct {
		const char* name;
		std::string (*printer)(const ScratchDir&);
		const char* idleProblem;
		const char* beforePath;  // the reason's words around the path
		const char* afterPath;
	} kCases[] = {
		{ "missing device", MissingDevice, " - not there", "", " is not there" },
		{ "no permission", LpOnlyDevice, " - no permission", "no permission to write to ", "" },
	};
	for (const auto& test : kCases) {
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
		EXPECT_EQ(statuses[1].rfind(reason, 0), 0u) << test.name << statuses[1];
		EXPECT_EQ(result.err.rfind("quillon: port failed: " + reason, 0), 0u) << test.name << result.err;
		EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << test.name;
	}
}

}  // namespace
