// Scripts that once hung the headless program, raced with its end or were
// taken the wrong way: an alert meeting another action, actions after the
// application has gone, menu choices while the window's alert is up, empty
// selections and NUL bytes. Each must end promptly, with exit code 0, nothing
// on standard error, and exactly the events listed.

#include <algorithm>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "MenuModel.h"
#include "QuillonRun.h"

namespace {

const char* const kPortAlert = "alert\tPrinterAlert\tPort failed\tOK\tQuit";
const char* const kAlertUp = "error\tan alert of the window is up";
const char* const kOpenAlert
	= "alert\tPrinter Alert\tCould not open nonexist; it and the files after it were not printed."
	  "\tOK";

struct FaultCase {
	const char* name;
	std::string script;
	bool portFails;  // Parallel Port 1 leads nowhere
	std::vector<std::string> events;
	// A file of the directory and what it holds afterwards.
	const char* file;
	std::string content;
};

// A script with NUL bytes in it.
template <size_t N>
std::string
bytes(const char (&text)[N])
{
	return std::string(text, N - 1);
}

std::string
job(const std::string& text)
{
	return hex_bytes("1B 40 12 1B 50 1B 78 00 1B 70 00 1B 55 00 0A 0D 0A 0D 0A 0D") + text
		+ hex_bytes("0A 0D 0C");
}

TEST(ScriptFaults, EachScriptEndsWithExactlyItsEvents)
{
	const std::string printed = job("x");
	const FaultCase kCases[] = {
		// An alert up on the application's thread, the window closed meanwhile:
		// nothing is left to take the next action.
		{ "port alert, close, draw", "drop nonexist\nclose\ndraw\n", true,
			{ kPortAlert, "error\tno window" }, NULL, "" },
		{ "port alert, close, close", "drop nonexist\nclose\nclose\n", true,
			{ kPortAlert, "error\tno window" }, NULL, "" },
		{ "port alert, close, key P", "drop nonexist\nclose\nkey P\n", true,
			{ kPortAlert, "error\tno window" }, NULL, "" },
		{ "open alert, close, draw", "drop nonexist\nclose\ndraw\nmenu New\n", false,
			{ kOpenAlert, "error\tno window", "error\tno window" }, NULL, "" },
		// The window's alert up: its menus wait for the answer.
		{ "window alert, key q, key O", "menu \"New\"\nkey q\nkey O\n", false,
			{ kNotSupportedAlert, kAlertUp, kAlertUp }, NULL, "" },
		{ "window alert, menus and drop refused",
			"menu \"Parallel Port 2\"\nmenu \"2 Pages per Sheet\"\nmenu \"Printer File\"\n"
			"drop a.txt\nanswer OK\ndrop a.txt\n",
			false, { kNotSupportedAlert, kAlertUp, kAlertUp }, "parallel2.out", printed },
		{ "window alert, panel's files refused", "key P\nmenu Open\nselect a.txt\nanswer 0\n"
			"select a.txt\n", false, { "panel", kNotSupportedAlert, kAlertUp }, "parallel1.out",
			printed },
		// The job's alert is the application's: the window goes on.
		{ "port alert, menu taken", "drop a.txt\nmenu \"Printer File\"\nanswer OK\ndrop a.txt\n",
			true, { kPortAlert }, "PrintFile", printed },
		// Lines that say less than they seem to.
		{ "select without files", "menu \"Printer File\"\nkey P\nselect\n", false,
			{ "panel", "error\tselect takes one or more files" }, "PrintFile", "precious" },
		{ "NUL in a path", bytes("menu MPpf\ndrop a.txt\0b.txt\n"), false,
			{ "error\ta NUL byte in the line" }, "PrintFile", "precious" },
		{ "NUL in a label", bytes("menu \"Printer File\0\"\ndrop a.txt\n"), false,
			{ "error\ta NUL byte in the line" }, "parallel1.out", printed },
	};
	for (const FaultCase& test : kCases) {
		ScratchDir directory;
		directory.Write("a.txt", "x\n");
		directory.Write("PrintFile", "precious");
		RunOptions options;
		options.timeoutMilliseconds = 10000;
		if (test.portFails)
			options.environment = { { "QUILLON_PARALLEL1", directory / "missing/port" } };
		RunResult result = run_quillon(directory, test.script, options);
		EXPECT_FALSE(result.timedOut) << test.name << "\n" << result.Describe();
		EXPECT_TRUE(result.exited && result.exitCode == 0) << test.name << "\n"
														   << result.Describe();
		// A port that failed is told on standard error, in one line.
		if (test.portFails)
			EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << test.name;
		else
			EXPECT_TRUE(result.err.empty() || result.err.rfind("quillon: could not open ", 0) == 0)
				<< test.name << "\n" << result.err;
		EXPECT_EQ(result.lines, test.events) << test.name;
		if (test.file != NULL) {
			EXPECT_EQ(printable(directory.Read(test.file)), printable(test.content))
				<< test.name;
		}
	}
}

TEST(ScriptFaults, ActionsAfterTheCloseBoxMeetNoApplication)
{
	// Every action once the application is going or gone: refused, or not
	// read at all once the application object is gone, never taken. Enough
	// of them that they are still being taken while the application ends.
	std::string after;
	for (int i = 0; i < 300; i++)
		after += "drop a.txt\nmenu New\ndraw\nkey P\nselect a.txt\ncancel\nanswer 0\nclose\n";
	for (int run = 0; run < 5; run++) {
		ScratchDir directory;
		directory.Write("a.txt", "x\n");
		RunResult result = run_quillon(directory, "menu MPpf\nclose\n" + after);
		ASSERT_FALSE(result.timedOut) << result.Describe();
		EXPECT_TRUE(result.exited && result.exitCode == 0) << result.Describe();
		EXPECT_EQ(result.err, "");
		for (const std::string& line : result.lines)
			EXPECT_EQ(split_event(line)[0], "error") << line;
		EXPECT_FALSE(directory.Exists("PrintFile"));
	}
}

}  // namespace
