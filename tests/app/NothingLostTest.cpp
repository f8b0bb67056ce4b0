// What a hostile or clumsy user meets: nothing given to print is lost or
// forged without a word. A network printer that talks back gets every byte,
// one that resets the connection is a failed write, a name cannot end an
// event field, and every fault of a job is told.
#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <string>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "HeadlessBackend.h"
#include "QuillonRun.h"
#include "ScriptUser.h"

namespace {

using std::chrono::milliseconds;

// A network printer on 127.0.0.1 with a small receive buffer, so that the
// job outruns it: it says its banner first, as printers with a PJL back
// channel do, then (after pauseMilliseconds) reads slowly until the job
// closes its side, or resets the connection once it has resetAfter bytes
// (0: never).
class TalkingPrinter {
public:
	explicit TalkingPrinter(size_t resetAfter = 0, int pauseMilliseconds = 0)
	{
		fListener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
		int small = 8192;
		setsockopt(fListener, SOL_SOCKET, SO_RCVBUF, &small, sizeof(small));
		sockaddr_in address = {};
		address.sin_family = AF_INET;
		address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
		socklen_t length = sizeof(address);
		bind(fListener, reinterpret_cast<sockaddr*>(&address), length);
		listen(fListener, 1);
		getsockname(fListener, reinterpret_cast<sockaddr*>(&address), &length);
		port = "tcp://127.0.0.1:" + std::to_string(ntohs(address.sin_port));
		fThread = std::thread([this, resetAfter, pauseMilliseconds] { _Serve(resetAfter, pauseMilliseconds); });
	}
	~TalkingPrinter() { Received(); }

	// Once the printer has hung up: all it took.
	const std::string& Received()
	{
		if (fThread.joinable())
			fThread.join();
		if (fListener >= 0)
			close(fListener);
		fListener = -1;
		return fReceived;
	}

	std::string port;

private:
	void _Serve(size_t resetAfter, int pauseMilliseconds)
	{
		struct pollfd wait = { fListener, POLLIN, 0 };
		if (poll(&wait, 1, 20000) != 1)
			return;
		int connection = accept(fListener, NULL, NULL);
		const char kBanner[] = "@PJL READY\r\n";
		send(connection, kBanner, sizeof(kBanner) - 1, MSG_NOSIGNAL);
		std::this_thread::sleep_for(milliseconds(pauseMilliseconds));
		char buffer[4096];
		for (int reads = 0; reads < 100000; reads++) {
			struct pollfd more = { connection, POLLIN, 0 };
			if (poll(&more, 1, 20000) != 1)
				break;
			ssize_t count = read(connection, buffer, sizeof(buffer));
			if (count <= 0)
				break;
			fReceived.append(buffer, static_cast<size_t>(count));
			if (resetAfter > 0 && fReceived.size() >= resetAfter) {
				struct linger reset = { 1, 0 };
				setsockopt(connection, SOL_SOCKET, SO_LINGER, &reset, sizeof(reset));
				break;
			}
			std::this_thread::sleep_for(milliseconds(1));
		}
		close(connection);
	}

	int fListener;
	std::string fReceived;
	std::thread fThread;
};

// The kilobytes the bar counted when it first said it waited for the
// printer; far more than any job when it never said so.
long
KilobytesWhenFirstWaiting(const std::vector<std::string>& statuses)
{
	for (const std::string& status : statuses) {
		size_t kb = status.find(" KB of ");
		if (status.find(" - waiting for the printer") == std::string::npos || kb == std::string::npos)
			continue;
		size_t start = status.rfind(' ', kb - 1) + 1;
		return std::stol(status.substr(start, kb - start));
	}
	return 1L << 40;
}

std::string
Listing(size_t size)
{
	std::string text;
	for (int line = 0; text.size() < size; line++)
		text += "line " + std::to_string(line) + " of a listing for a printer that talks back\n";
	return text;
}

TEST(NothingLost, APrinterThatTalksBackGetsEveryByteAndAResetIsAFailedWrite)
{
	ScratchDir directory;
	directory.Write("listing.txt", Listing(300000));
	RunResult toFile = run_quillon(directory, "menu \"Printer File\"\ndrop listing.txt\n");
	ASSERT_TRUE(toFile.exited && toFile.exitCode == 0) << toFile.Describe();
	const std::string expected = directory.Read("PrintFile");

	for (size_t resetAfter : { size_t(0), size_t(60000) }) {
		TalkingPrinter printer(resetAfter);
		RunOptions options;
		options.environment = { { "QUILLON_PARALLEL1", printer.port } };
		RunResult result = run_quillon(directory, "drop listing.txt\n", options);
		const std::string& received = printer.Received();
		EXPECT_TRUE(result.exited && result.exitCode == 0) << result.Describe();
		std::vector<std::string> alerts = result.Events("alert");
		if (resetAfter == 0) {
			EXPECT_EQ(received.size(), expected.size());
			EXPECT_TRUE(received == expected);
			EXPECT_TRUE(alerts.empty()) << result.Describe();
			continue;
		}
		EXPECT_LT(received.size(), expected.size());
		ASSERT_EQ(alerts.size(), 1u) << result.Describe();
		EXPECT_EQ(split_event(alerts[0])[2].rfind("Printing to /dev/parallel/parallel1 (" + printer.port
			+ ") failed: ", 0), 0u) << alerts[0];
		EXPECT_NE(alerts[0].find("Part of the output was lost."), std::string::npos);
	}
}

// A job small enough for the system to take whole, to a printer that takes
// none of it for a while: the job's last wait is for the printer. The bar
// counts what the printer has and says it waits; Cancel Printing and a quit
// signal end that wait, and the printer gets no more than it had.
TEST(NothingLost, TheLastWaitForANetworkPrinterIsCountedAndCanBeEnded)
{
	ScratchDir directory;
	const std::string listing = Listing(150000);
	directory.Write("listing.txt", listing);
	for (bool cancel : { true, false }) {
		TalkingPrinter printer(0, 4000);
		RunOptions options;
		options.environment = { { "QUILLON_STATUS_EVENTS", "1" }, { "QUILLON_PARALLEL1", printer.port } };
		if (cancel) {
			options.laterScript = "key .\n";
			options.laterAfterMilliseconds = 2000;
		} else {
			options.keepInputOpen = true;
			options.signalNumber = SIGTERM;
			options.signalAfterMilliseconds = 2000;
		}
		RunResult result = run_quillon(directory, "drop listing.txt\n", options);
		EXPECT_LT(printer.Received().size(), listing.size() / 2) << cancel << result.Describe();
		EXPECT_TRUE(result.exited && result.exitCode == (cancel ? 0 : 143)) << result.Describe();
		EXPECT_TRUE(result.Events("alert").empty()) << result.Describe();
		std::vector<std::string> statuses = result.Events("status");
		EXPECT_LE(KilobytesWhenFirstWaiting(statuses), 64) << result.Describe();
		if (cancel) {
			EXPECT_EQ(statuses.back().rfind("status\tCancelled - Printed 1 file", 0), 0u) << result.Describe();
		}
	}
}

// Each fault of a job, and what the user must be told of it.
TEST(NothingLost, EveryFaultIsTold)
{
	const std::string shm = "/dev/shm/quillon-cut-" + std::to_string(getpid());
	const struct {
		const char* name;
		std::vector<std::string> arguments;
		std::vector<std::pair<std::string, std::string>> environment;
		const char* script;
		const char* event;   // an event line that must come (its start), NULL for none
		const char* said;    // on standard error, NULL for nothing
		bool printed;        // a.txt reached parallel1.out
	} kCases[] = {
		{ "empty name dropped", {}, {}, "drop \"\" a.txt\n", "error\tdrop takes no empty file name", NULL,
			false },
		{ "empty name selected", {}, {}, "key P\nselect a.txt \"\"\n", "error\tselect takes no empty file name",
			NULL, false },
		{ "a NUL written as an escape", {}, {}, "drop \"a.txt\\x00.pdf\"\n", "error\ta NUL byte in the line",
			NULL, false },
		{ "empty name launched", { "--refs", "", "a.txt" }, {}, "", NULL, "empty file name", true },
		{ "port over 65535", {}, { { "QUILLON_PARALLEL1", "tcp://127.0.0.1:99999" } }, "drop a.txt\n",
			"alert\tPrinterAlert\tPort failed", "is not a network printer's address", false },
		{ "port that wraps to 9100", {}, { { "QUILLON_PARALLEL1", "tcp://127.0.0.1:74636" } },
			"drop a.txt\n", "alert\tPrinterAlert\tPort failed", "is not a network printer's address", false },
		{ "no host", {}, { { "QUILLON_PARALLEL1", "tcp://:9100" } }, "drop a.txt\n",
			"alert\tPrinterAlert\tPort failed", "is not a network printer's address", false },
		{ "output locked by another job", {}, {}, "drop a.txt\n", "alert\tPrinterAlert\tPort failed",
			"is busy (another program prints to it)", false },
		{ "two files that fail to read", {}, {}, "drop mem1 a.txt mem2\n",
			"alert\tPrinter Alert\tReading mem1 and mem2 failed: ", NULL, true },
		{ "a file that is not there", {}, {}, "drop missing.txt\n", "alert\tPrinter Alert\tCould not open",
			"could not open missing.txt: not there", false },
		{ "a folder", {}, {}, "drop folder\n", "alert\tPrinter Alert\tCould not open",
			"could not open folder: a folder", false },
		{ "a plain file under /dev", {}, { { "QUILLON_PARALLEL1", shm } }, "drop a.txt\n", NULL, NULL, false },
	};
	for (const auto& test : kCases) {
		ScratchDir directory;
		directory.Write("a.txt", "the text of a\n");
		directory.Write("parallel1.out", "what an earlier job left, longer than this one");
		mkdir((directory / "folder").c_str(), 0700);
		symlink("/proc/self/mem", (directory / "mem1").c_str());
		symlink("/proc/self/mem", (directory / "mem2").c_str());
		std::string shmBefore = "a much longer text that an earlier job left in the file under /dev/shm";
		FILE* left = fopen(shm.c_str(), "w");
		fputs(shmBefore.c_str(), left);
		fclose(left);
		// Another program prints to parallel1.out meanwhile.
		int held = open((directory / "parallel1.out").c_str(), O_RDONLY | O_CLOEXEC);
		if (std::string(test.name) == "output locked by another job")
			flock(held, LOCK_EX);
		RunOptions options;
		options.arguments = test.arguments;
		options.environment = test.environment;
		RunResult result = run_quillon(directory, test.script, options);
		close(held);
		std::string printed = directory.Read("parallel1.out");
		EXPECT_TRUE(result.exited && result.exitCode == 0) << test.name << result.Describe();
		if (test.event != NULL) {
			EXPECT_TRUE(std::any_of(result.lines.begin(), result.lines.end(),
				[&](const std::string& line) { return line.rfind(test.event, 0) == 0; }))
				<< test.name << result.Describe();
		}
		if (test.said != NULL) {
			EXPECT_NE(result.err.find(test.said), std::string::npos) << test.name << result.Describe();
		}
		EXPECT_EQ(printed.find("the text of a") != std::string::npos, test.printed) << test.name;
		FILE* after = fopen(shm.c_str(), "r");
		char content[256] = {};
		size_t length = fread(content, 1, sizeof(content) - 1, after);
		fclose(after);
		if (!test.environment.empty() && test.environment[0].second == shm) {
			EXPECT_EQ(std::string(content, length).find("earlier job"), std::string::npos) << test.name;
			EXPECT_NE(std::string(content, length).find("the text of a"), std::string::npos) << test.name;
		}
		unlink(shm.c_str());
	}
}

// Every field of an event is escaped, and the script reader takes the escaped
// form back inside double quotes: a name an event shows can be given again.
TEST(NothingLost, EventFieldsAreEscapedAndReadBack)
{
	const struct {
		std::string raw;
		std::string written;
	} kFields[] = {
		{ "notes.txt", "notes.txt" },
		{ "a\tb", "a\\tb" },
		{ "x\nalert\tFake", "x\\nalert\\tFake" },
		{ "cr\r", "cr\\r" },
		{ "C:\\temp", "C:\\\\temp" },
		{ std::string("nul\0bell\a", 9) + "\x7f", "nul\\x00bell\\x07\\x7F" },
		{ "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x96\xa8", "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x96\xa8" },
		{ "latin1 \xe9", "latin1 \\xE9" },
		{ "cut \xc3", "cut \\xC3" },
		{ "overlong \xc0\xaf", "overlong \\xC0\\xAF" },
		{ "surrogate \xed\xa0\x80", "surrogate \\xED\\xA0\\x80" },
		{ "quote \" inside", "quote \" inside" },
	};
	for (const auto& field : kFields) {
		std::string written = escape_event_field(field.raw);
		EXPECT_EQ(written, field.written) << printable(field.raw);
		std::string quoted;
		for (char c : written)
			quoted += c == '"' ? std::string("\\\"") : std::string(1, c);
		std::vector<std::string> words;
		ASSERT_TRUE(split_script_line("drop \"" + quoted + "\"", words));
		EXPECT_EQ(words, (std::vector<std::string>{ "drop", field.raw })) << written;
	}

	// A name cannot add an event, nor a field; given back as shown, it prints.
	ScratchDir directory;
	directory.Write("tab\there.txt", "tabbed\n");
	RunOptions options;
	options.arguments = { "--refs", "x\nalert\tFake title\tFake text\tDelete", "no\tsuch" };
	RunResult forged = run_quillon(directory, "drop \"tab\\there.txt\"\n", options);
	std::vector<std::string> alerts = forged.Events("alert");
	ASSERT_EQ(alerts.size(), 1u) << forged.Describe();
	EXPECT_EQ(split_event(alerts[0]).size(), 4u) << alerts[0];
	EXPECT_NE(alerts[0].find("Could not open x\\nalert\\tFake title\\tFake text\\tDelete;"),
		std::string::npos) << alerts[0];
	EXPECT_NE(directory.Read("parallel1.out").find("tabbed"), std::string::npos) << forged.Describe();
}

// With standard output closed, events and messages go nowhere, and never into
// the printer's output, which the program would otherwise open as its
// descriptor 1.
TEST(NothingLost, ClosedStandardOutputNeverReachesThePrinter)
{
	ScratchDir directory;
	directory.Write("a.txt", "text\n");
	std::string command = "cd '" + directory.Path() + "' && printf 'menu MMgr\\ndrop a.txt\\ndrop gone\\n' | "
		"QUILLON_PLATFORM=headless QUILLON_PARALLEL1=parallel1.out '" + quillon_binary() + "' >&- 2>&-";
	ASSERT_EQ(system(command.c_str()), 0);
	std::string printed = directory.Read("parallel1.out");
	EXPECT_EQ(printed.find("Graphic"), std::string::npos) << printable(printed);
	EXPECT_EQ(printed.find("alert"), std::string::npos) << printable(printed);
}

// A printer that stops reading: while the bar says it waits, the bytes it
// counts are no more than the printer took, give or take the pipe's own
// buffer, and never what the program still gathers.
TEST(NothingLost, TheBarCountsWhatThePrinterTook)
{
	ScratchDir directory;
	directory.Write("listing.txt", Listing(600000));
	std::string pipe = directory / "printer";
	ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
	int fd = open(pipe.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
	const ssize_t kTakenFirst = 100 * 1024;
	std::thread reader([fd, kTakenFirst] {
		char buffer[4096];
		ssize_t total = 0;
		for (int reads = 0; reads < 1000000; reads++) {
			ssize_t count = read(fd, buffer, std::min<ssize_t>(sizeof(buffer),
				total < kTakenFirst ? kTakenFirst - total : sizeof(buffer)));
			if (count == 0 && total > 0)
				break;
			total += std::max<ssize_t>(count, 0);
			// The printer stops for three seconds once it has its first part.
			std::this_thread::sleep_for(milliseconds(total == kTakenFirst && count > 0 ? 3000 : 2));
		}
		close(fd);
	});
	RunOptions options;
	options.environment = { { "QUILLON_STATUS_EVENTS", "1" }, { "QUILLON_PARALLEL1", pipe } };
	RunResult result = run_quillon(directory, "drop listing.txt\n", options);
	reader.join();
	// The first word of the wait comes while the printer stands still.
	std::vector<std::string> statuses = result.Events("status");
	EXPECT_LE(KilobytesWhenFirstWaiting(statuses) * 1024, kTakenFirst + 64 * 1024) << result.Describe();
	EXPECT_EQ(statuses.back().rfind("status\tPrinted 1 file", 0), 0u) << result.Describe();
}

}  // namespace
