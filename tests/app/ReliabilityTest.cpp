// The program as a hostile or clumsy user meets it: files whose size says
// nothing, a port that nobody reads, links planted in a shared directory, a
// file printed onto itself, and a printer that stops reading while the
// system asks the program to end.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <csignal>
#include <fcntl.h>
#include <netinet/in.h>
#include <pwd.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "QuillonRun.h"

namespace {

const char* const kPortFailed = "alert\tPrinterAlert\tPort failed\tOK\tQuit";

std::string
start_job(const std::string& body)
{
	return hex_bytes("1B 40 12 1B 50 1B 78 00 1B 70 00 1B 55 00  0A 0D 0A 0D 0A 0D") + body
		+ hex_bytes("0A 0D 0C");
}

#define EXPECT_BYTES(actual, expected) EXPECT_EQ(printable(actual), printable(expected))

TEST(Reliability, FileWhoseSizeSaysNothingIsReadToItsEnd)
{
	// A file in /proc says it is empty; a named pipe says so while its
	// writer is still writing.
	ScratchDir directory;
	ASSERT_EQ(mkfifo((directory / "pipe").c_str(), 0600), 0);
	std::string text;
	for (int line = 0; line < 3000; line++)
		text += "line " + std::to_string(line) + "\n";
	std::thread writer([&] {
		// Waits for the reader a while, not for ever.
		int descriptor = -1;
		for (int tries = 0; descriptor < 0 && tries < 1000; tries++) {
			descriptor = open((directory / "pipe").c_str(), O_WRONLY | O_NONBLOCK);
			if (descriptor < 0)
				usleep(10000);
		}
		if (descriptor >= 0)
			fcntl(descriptor, F_SETFL, 0);
		for (size_t done = 0; descriptor >= 0 && done < text.size(); done += 1000) {
			if (write(descriptor, text.data() + done, std::min<size_t>(1000, text.size() - done)) < 0)
				break;
			usleep(1000);
		}
		if (descriptor >= 0)
			close(descriptor);
	});
	RunResult result = run_quillon(directory, "menu \"Printer File\"\ndrop pipe\n");
	writer.join();
	EXPECT_TRUE(result.exited && result.exitCode == 0) << result.Describe();
	std::string fromPipe = directory.Read("PrintFile");
	// The same text from a plain file is the reference.
	directory.Write("plain", text);
	run_quillon(directory, "menu \"Printer File\"\ndrop plain\n");
	std::string fromFile = directory.Read("PrintFile");
	EXPECT_GT(fromFile.size(), text.size());
	EXPECT_TRUE(fromPipe == fromFile) << "from the pipe " << fromPipe.size() << " bytes, from a file "
		<< fromFile.size();

	struct stat info;
	ASSERT_EQ(stat("/proc/sys/kernel/ostype", &info), 0);
	ASSERT_EQ(info.st_size, 0);
	result = run_quillon(directory, "menu \"Printer File\"\ndrop /proc/sys/kernel/ostype\n");
	EXPECT_TRUE(result.lines.empty()) << result.Describe();
	EXPECT_BYTES(directory.Read("PrintFile"), start_job("Linux"));
}

TEST(Reliability, OutputsThatMustNotBeWrittenBringUpOneAlertAndKeepEveryByte)
{
	ScratchDir directory;
	directory.Write("a.txt", "x\n");
	ASSERT_EQ(mkfifo((directory / "unread").c_str(), 0600), 0);
	directory.Write("precious", "precious\n");
	std::string printedOntoItself = "alert\tPrinter Alert\tPrintFile is the printer output itself; "
		"nothing was printed.\tOK";

	struct Case {
		const char* what;
		std::string script;
		std::string parallel1;
		std::vector<std::string> lines;
	};
	const Case cases[] = {
		{ "a named pipe nobody reads", "drop a.txt\n", directory / "unread", { kPortFailed } },
		{ "PrintFile printed onto itself", "menu \"Printer File\"\ndrop a.txt PrintFile\n", "",
			{ printedOntoItself } },
		{ "a port naming a dropped file", "drop a.txt precious\n", directory / "precious",
			{ "alert\tPrinter Alert\tprecious is the printer output itself; nothing was printed.\tOK" } },
	};
	for (const Case& test : cases) {
		directory.Write("PrintFile", "precious\n");
		RunOptions options;
		if (!test.parallel1.empty())
			options.environment = { { "QUILLON_PARALLEL1", test.parallel1 } };
		RunResult result = run_quillon(directory, test.script, options);
		EXPECT_FALSE(result.timedOut) << test.what;
		EXPECT_EQ(result.lines, test.lines) << test.what << "\n" << result.Describe();
		EXPECT_EQ(directory.Read("PrintFile"), "precious\n") << test.what;
		EXPECT_EQ(directory.Read("precious"), "precious\n") << test.what;
	}
}

TEST(Reliability, LinksInASharedDirectoryAreFollowedOnlyWhenTheUserOwnsThem)
{
	// The program runs in a directory anyone may write to and only owners
	// delete from, as one started in /tmp.
	ScratchDir directory;
	ASSERT_EQ(chmod(directory.Path().c_str(), 01777), 0);
	struct passwd* other = getpwnam("nobody");
	if (other == nullptr || other->pw_uid == geteuid())
		GTEST_SKIP() << "no other user here";
	directory.Write("a.txt", "x\n");
	directory.Write("victim", "keep\n");
	ASSERT_EQ(symlink((directory / "victim").c_str(), (directory / "PrintFile").c_str()), 0);
	if (lchown((directory / "PrintFile").c_str(), other->pw_uid, other->pw_gid) != 0)
		GTEST_SKIP() << "cannot give a link to another user (not root)";
	ASSERT_EQ(symlink((directory / "created").c_str(), (directory / "dangling").c_str()), 0);
	ASSERT_EQ(symlink((directory / "mine").c_str(), (directory / "own").c_str()), 0);
	directory.Write("mine", "");

	RunOptions options;
	options.environment = { { "QUILLON_PARALLEL1", directory / "dangling" },
		{ "QUILLON_PARALLEL2", directory / "own" } };
	RunResult result = run_quillon(directory,
		"menu \"Printer File\"\ndrop a.txt\nanswer OK\nmenu \"Parallel Port 1\"\ndrop a.txt\n"
		"answer OK\nmenu \"Parallel Port 2\"\ndrop a.txt\n", options);
	EXPECT_EQ(result.lines, std::vector<std::string>({ kPortFailed, kPortFailed }))
		<< result.Describe();
	EXPECT_EQ(directory.Read("victim"), "keep\n");
	EXPECT_FALSE(directory.Exists("created"));
	// A link the user made to their own printer keeps working.
	EXPECT_BYTES(directory.Read("mine"), start_job("x"));
}

// A network printer that took the connection and stopped reading holds a
// write; each of these signals ends the program at once all the same, with
// its own exit status.
TEST(Reliability, SignalEndsTheProgramWhileAWriteIsBlocked)
{
	ScratchDir directory;
	std::string text;
	while (text.size() < 8u << 20)
		text += "a line long enough to fill the socket buffers soon enough\n";
	directory.Write("big.txt", text);

	for (int number : { SIGTERM, SIGINT, SIGHUP }) {
		int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
		ASSERT_GE(listener, 0);
		struct sockaddr_in address = {};
		address.sin_family = AF_INET;
		address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
		socklen_t length = sizeof(address);
		ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
		ASSERT_EQ(listen(listener, 1), 0);
		getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);

		RunOptions options;
		options.keepInputOpen = true;
		options.environment = { { "QUILLON_PARALLEL1",
			"tcp://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) } };
		options.signalNumber = number;
		options.signalAfterMilliseconds = 1500;
		options.timeoutMilliseconds = 10000;
		RunResult result = run_quillon(directory, "drop big.txt\n", options);
		close(listener);

		EXPECT_FALSE(result.timedOut) << strsignal(number) << "\n" << result.Describe();
		EXPECT_TRUE(result.exited) << strsignal(number) << "\n" << result.Describe();
		EXPECT_EQ(result.exitCode, 128 + number) << strsignal(number);
		EXPECT_LT(result.millisecondsAfterSignal, 3000) << strsignal(number);
		EXPECT_TRUE(result.lines.empty()) << result.Describe();
	}
}

}  // namespace
