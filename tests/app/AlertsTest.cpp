// The alerts the running program shows: the not-supported alert of the
// commands that are not supported yet, the graphic alert of a print job in
// graphic mode and the port alert of an output that does not open.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "MenuModel.h"
#include "QuillonRun.h"

namespace {

const char* const kGraphicAlert = "alert\tPrinter Alert\tGraphic Printing is not supported yet.\tOK";
const char* const kPortAlert = "alert\tPrinterAlert\tPort failed\tOK\tQuit";

void
expect_orderly_end(const RunResult& result)
{
	EXPECT_FALSE(result.timedOut) << result.Describe();
	EXPECT_TRUE(result.exited) << result.Describe();
	EXPECT_EQ(result.exitCode, 0) << result.Describe();
}

TEST(NotSupportedAlert, EveryCommandNotSupportedYetShowsItEachTime)
{
	const char* const kLabels[] = {
		"New", "Open", "Close", "Save", "Save as", "Page Setup",
		"1 Page per Sheet", "2 Pages per Sheet", "4 Pages per Sheet", "8 Pages per Sheet",
		"1 Column per Page", "2 Columns per Page", "3 Columns per Page", "4 Columns per Page",
		"Long Lines Truncated", "Long Lines LineWrapped", "Long Lines Word Wrapped",
		"Reset Printer", "Print Test Page", "Load a sheet", "Eject a sheet",
	};
	std::string script;
	size_t count = 0;
	for (const char* label : kLabels) {
		// Each one twice: a repeated command shows the alert again.
		for (const char* answer : { "OK", "0" }) {
			script += "menu " + quote_word(label) + "\nanswer " + answer + "\n";
			count++;
		}
	}
	ScratchDir directory;
	RunResult result = run_quillon(directory, script);
	expect_orderly_end(result);
	EXPECT_EQ(result.lines, std::vector<std::string>(count, kNotSupportedAlert))
		<< result.Describe();
}

TEST(NotSupportedAlert, OnlyItsOneButtonAnswersIt)
{
	ScratchDir directory;
	// "1" and "Quit" name no button of it; the alert stays up until "OK".
	RunResult result = run_quillon(directory,
		"menu MFsa\nanswer 1\nanswer Quit\nanswer ok\nanswer OK\nanswer OK\ndraw\n");
	expect_orderly_end(result);
	ASSERT_GE(result.lines.size(), 5u) << result.Describe();
	EXPECT_EQ(result.lines[0], kNotSupportedAlert);
	for (size_t i = 1; i <= 3; i++)
		EXPECT_EQ(split_event(result.lines[i])[0], "error") << result.lines[i];
	EXPECT_EQ(result.lines[4], "error\tno alert is up");
	std::vector<std::string> tail(result.lines.begin() + 5, result.lines.end());
	EXPECT_EQ(tail, text_events(startup_view_lines()));
}

TEST(NotSupportedAlert, FileAndPrinterCommandsChangeNothing)
{
	ScratchDir directory;
	directory.Write("a.txt", "x\n");
	std::string script;
	for (const char* code :
		{ "MFnw", "MFop", "MFcl", "MFsv", "MFsa", "MFps", "MCrs", "MCts", "MCld", "MCej" })
		script += std::string("menu ") + code + "\nanswer 0\n";
	script += "draw\nmenu MPpf\ndrop a.txt\n";
	RunResult result = run_quillon(directory, script);
	expect_orderly_end(result);
	std::vector<std::string> expected(10, kNotSupportedAlert);
	for (const std::string& event : text_events(startup_view_lines()))
		expected.push_back(event);
	EXPECT_EQ(result.lines, expected);
	// The job still sends the start-up preamble, and the printer commands
	// sent no reset, test page, load or eject of their own.
	EXPECT_EQ(printable(directory.Read("PrintFile")),
		printable(hex_bytes("1B 40 12 1B 50 1B 78 00 1B 70 00 1B 55 00  0A 0D 0A 0D 0A 0D")
			+ "x" + hex_bytes("0A 0D 0C")));
}

TEST(GraphicAlert, EveryFileGetsItsPreambleALineAndAnAlert)
{
	ScratchDir directory;
	directory.Write("a.txt", "first\n");
	directory.Write("b.txt", "second\n");
	RunResult result = run_quillon(directory,
		"menu \"Graphic mode\"\nanswer OK\nmenu \"Printer File\"\ndrop a.txt b.txt\n"
		"answer OK\nanswer 0\ndraw\n");
	expect_orderly_end(result);
	std::vector<std::string> expected = {
		kNotSupportedAlert,
		"Print Graphic Pages.", kGraphicAlert,
		"Print Graphic Pages.", kGraphicAlert,
	};
	std::vector<std::string> lines = startup_view_lines();
	lines[1] = "Printer Mode: <Graphic>";
	lines[16] = "Print Data Path: <PrintFile>";
	for (const std::string& event : text_events(lines))
		expected.push_back(event);
	EXPECT_EQ(result.lines, expected) << result.Describe();
	// Only the preambles: no text, no eject.
	std::string preamble = hex_bytes("1B 40 12 1B 50 1B 78 00 1B 70 00 1B 55 00");
	EXPECT_EQ(printable(directory.Read("PrintFile")), printable(preamble + preamble));
}

TEST(GraphicAlert, TextModeReturnsWithoutAnAlert)
{
	ScratchDir directory;
	directory.Write("a.txt", "x\n");
	RunResult result = run_quillon(directory,
		"menu MMgr\nanswer 0\nmenu \"Text mode\"\nmenu MPpf\ndrop a.txt\n");
	expect_orderly_end(result);
	EXPECT_EQ(result.lines, std::vector<std::string>({ kNotSupportedAlert }));
	EXPECT_EQ(printable(directory.Read("PrintFile")),
		printable(hex_bytes("1B 40 12 1B 50 1B 78 00 1B 70 00 1B 55 00 0A 0D 0A 0D 0A 0D") + "x"
			+ hex_bytes("0A 0D 0C")));
}

TEST(PortAlert, OKLeavesTheProgramRunningAndALaterJobPrints)
{
	ScratchDir directory;
	directory.Write("a.txt", "x\n");
	RunOptions options;
	options.environment = { { "QUILLON_PARALLEL1", directory / "missing/dir/port" } };
	RunResult result = run_quillon(directory,
		"drop a.txt\nanswer OK\ndraw\nmenu MPpf\ndrop a.txt\n", options);
	expect_orderly_end(result);
	std::vector<std::string> expected = { kPortAlert };
	for (const std::string& event : text_events(startup_view_lines()))
		expected.push_back(event);
	EXPECT_EQ(result.lines, expected) << result.Describe();
	EXPECT_FALSE(directory.Exists("missing"));
	EXPECT_EQ(printable(directory.Read("PrintFile")),
		printable(hex_bytes("1B 40 12 1B 50 1B 78 00 1B 70 00 1B 55 00 0A 0D 0A 0D 0A 0D") + "x"
			+ hex_bytes("0A 0D 0C")));
}

TEST(PortAlert, EveryJobThatCannotOpenItsOutputAsksAgain)
{
	ScratchDir directory;
	directory.Write("a.txt", "x\n");
	RunOptions options;
	options.environment = { { "QUILLON_SERIAL2", directory / "missing/port" } };
	RunResult result = run_quillon(directory,
		"menu \"Serial Port 2\"\ndrop a.txt\nanswer 0\ndrop a.txt\nanswer OK\n", options);
	expect_orderly_end(result);
	EXPECT_EQ(result.lines, std::vector<std::string>({ kPortAlert, kPortAlert }));
}

}  // namespace
