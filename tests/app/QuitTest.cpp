// Every way the running program ends, each with exit code 0 and promptly.
// Except where the end of the input is the point, the input stays open, so
// only the action under test can end the program.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "MenuModel.h"
#include "QuillonRun.h"

namespace {

RunResult
run_open(const ScratchDir& directory, const std::string& script,
	RunOptions options = RunOptions())
{
	options.keepInputOpen = true;
	options.timeoutMilliseconds = 20000;
	return run_quillon(directory, script, options);
}

void
expect_ended(const RunResult& result)
{
	ASSERT_FALSE(result.timedOut) << "the program did not end\n" << result.Describe();
	EXPECT_TRUE(result.exited) << result.Describe();
	EXPECT_EQ(result.exitCode, 0) << result.Describe();
}

TEST(Quit, CloseBox)
{
	ScratchDir directory;
	RunResult result = run_open(directory, "close\n");
	expect_ended(result);
	EXPECT_TRUE(result.lines.empty()) << result.Describe();
}

TEST(Quit, FileQuitByLabelCodeAndShortcut)
{
	for (const char* action : { "menu Quit", "menu MFqu", "key Q" }) {
		ScratchDir directory;
		RunResult result = run_open(directory, std::string(action) + "\n");
		expect_ended(result);
		EXPECT_TRUE(result.lines.empty()) << action << "\n" << result.Describe();
	}
}

TEST(Quit, FileQuitAfterAJobLeavesItsOutputWhole)
{
	ScratchDir directory;
	directory.Write("a.txt", "x\n");
	RunResult result = run_open(directory, "menu MPpf\ndrop a.txt\nmenu Quit\n");
	expect_ended(result);
	EXPECT_EQ(printable(directory.Read("PrintFile")),
		printable(hex_bytes("1B 40 12 1B 50 1B 78 00 1B 70 00 1B 55 00 0A 0D 0A 0D 0A 0D") + "x"
			+ hex_bytes("0A 0D 0C")));
}

TEST(Quit, PortAlertQuitButton)
{
	ScratchDir directory;
	directory.Write("a.txt", "x\n");
	RunOptions options;
	options.environment = { { "QUILLON_PARALLEL1", directory / "missing/dir/port" } };
	RunResult result = run_open(directory, "drop a.txt\nanswer Quit\n", options);
	expect_ended(result);
	EXPECT_EQ(result.lines,
		std::vector<std::string>({ "alert\tPrinterAlert\tPort failed\tOK\tQuit" }));
	EXPECT_FALSE(directory.Exists("missing"));
}

TEST(Quit, PortAlertQuitButtonByIndex)
{
	ScratchDir directory;
	directory.Write("a.txt", "x\n");
	RunOptions options;
	options.environment = { { "QUILLON_PARALLEL2", directory / "missing/port" } };
	RunResult result = run_open(directory, "menu MPp2\ndrop a.txt\nanswer 1\n", options);
	expect_ended(result);
	EXPECT_EQ(result.lines.size(), 1u) << result.Describe();
}

TEST(Quit, EndOfInput)
{
	ScratchDir directory;
	RunResult result = run_quillon(directory, "menu MPhp\n");
	expect_ended(result);
	EXPECT_TRUE(result.lines.empty()) << result.Describe();

	ScratchDir empty;
	result = run_quillon(empty, "");
	expect_ended(result);
	EXPECT_TRUE(result.lines.empty()) << result.Describe();
}

TEST(Quit, EndOfInputAnswersAnAlertThatIsUpWithItsFirstButton)
{
	ScratchDir directory;
	RunResult result = run_quillon(directory, "menu MM8p\n");
	expect_ended(result);
	EXPECT_EQ(result.lines, std::vector<std::string>({ kNotSupportedAlert }));

	// The port alert's first button is OK, not Quit: the close box ends the
	// program after it.
	ScratchDir port;
	port.Write("a.txt", "x\n");
	RunOptions options;
	options.environment = { { "QUILLON_PARALLEL1", port / "missing/port" } };
	result = run_quillon(port, "drop a.txt\n", options);
	expect_ended(result);
	EXPECT_EQ(result.lines,
		std::vector<std::string>({ "alert\tPrinterAlert\tPort failed\tOK\tQuit" }));
}

TEST(Quit, EndOfInputWithAPanelUp)
{
	ScratchDir directory;
	RunResult result = run_quillon(directory, "menu Print\n");
	expect_ended(result);
	EXPECT_EQ(result.lines, std::vector<std::string>({ "panel" }));
}

TEST(Quit, FileQuitWhileAGraphicAlertHoldsTheJob)
{
	// The job waits in its alert; Quit is chosen meanwhile and takes effect
	// once the alert is answered.
	ScratchDir directory;
	directory.Write("a.txt", "x\n");
	RunResult result = run_open(directory,
		"menu MMgr\nanswer 0\nmenu MPpf\ndrop a.txt\nmenu Quit\nanswer OK\n");
	expect_ended(result);
	EXPECT_EQ(result.lines,
		std::vector<std::string>({ kNotSupportedAlert, "Print Graphic Pages.",
			"alert\tPrinter Alert\tGraphic Printing is not supported yet.\tOK" }))
		<< result.Describe();
	EXPECT_EQ(printable(directory.Read("PrintFile")),
		printable(hex_bytes("1B 40 12 1B 50 1B 78 00 1B 70 00 1B 55 00")));
}

TEST(Quit, CloseBoxWhileANotSupportedAlertIsUp)
{
	ScratchDir directory;
	RunResult result = run_open(directory, "menu MFnw\nclose\nanswer OK\n");
	expect_ended(result);
	EXPECT_EQ(result.lines, std::vector<std::string>({ kNotSupportedAlert }));
}

}  // namespace
