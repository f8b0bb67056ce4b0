// Files reach the print job from the open panel, by a drop and at launch,
// and their bytes reach the chosen output.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "MenuModel.h"
#include "QuillonRun.h"

namespace {

const char* const kNotes = "hello\nworld\n";
const char* const kOther = "x\n";

// The start-up printer (Epson dot matrix, 10 cpi, draft, fixed spacing,
// bidirectional) prints a file of text lines so: the preamble, three blank
// lines at the top, each line with its new-line code, the eject code.
const char* const kStartPreamble = "1B 40 12 1B 50 1B 78 00 1B 70 00 1B 55 00";
const char* const kTop = "0A 0D 0A 0D 0A 0D";

std::string
start_job_notes()
{
	return hex_bytes(kStartPreamble) + hex_bytes(kTop) + "hello" + hex_bytes("0A 0D") + "world"
		+ hex_bytes("0A 0D 0C");
}

std::string
start_job_other()
{
	return hex_bytes(kStartPreamble) + hex_bytes(kTop) + "x" + hex_bytes("0A 0D 0C");
}

void
expect_orderly_end(const RunResult& result)
{
	EXPECT_FALSE(result.timedOut) << result.Describe();
	EXPECT_TRUE(result.exited) << result.Describe();
	EXPECT_EQ(result.exitCode, 0) << result.Describe();
	EXPECT_TRUE(result.Events("error").empty()) << result.Describe();
}

#define EXPECT_BYTES(actual, expected) \
	EXPECT_EQ(printable(actual), printable(expected))

TEST(Printing, HPDeskJetToPrintFileByDrop)
{
	ScratchDir directory;
	directory.Write("notes.txt", kNotes);
	RunResult result = run_quillon(directory,
		"menu \"HP Deskjet Series\"\nmenu \"Printer File\"\ndrop notes.txt\n");
	expect_orderly_end(result);
	EXPECT_TRUE(result.lines.empty()) << result.Describe();
	// The HP reset, the HP 10-pitch and draft codes, the spacing and
	// direction codes still from the start-up printer; then the page with the
	// HP load-paper code and HP line ends, and the HP eject code.
	std::string expected = hex_bytes("1B 45  1B 28 73 31 30 48  1B 28 73 31 51  1B 70 00  1B 55 00")
		+ hex_bytes("1B 26 6C 31 48  0D 0A 0D 0A 0D 0A") + "hello" + hex_bytes("0D 0A") + "world"
		+ hex_bytes("0D 0A  1B 26 6C 30 48");
	EXPECT_BYTES(directory.Read("PrintFile"), expected);
}

TEST(Printing, PanelSelectionOfTwoFilesIsOneJob)
{
	ScratchDir directory;
	directory.Write("a.txt", kNotes);
	std::string b = directory.Write("b.txt", kOther);
	// One job writes both files; two jobs would leave only the second.
	RunResult result = run_quillon(directory,
		"menu \"Printer File\"\nmenu Print\nselect a.txt " + b + "\n");
	expect_orderly_end(result);
	EXPECT_EQ(result.lines, std::vector<std::string>({ "panel" })) << result.Describe();
	EXPECT_BYTES(directory.Read("PrintFile"), start_job_notes() + start_job_other());
}

TEST(Printing, PanelByShortcutAndByCode)
{
	for (const char* open : { "key P", "menu MFpr" }) {
		ScratchDir directory;
		directory.Write("a.txt", kNotes);
		RunResult result
			= run_quillon(directory, std::string("menu MPpf\n") + open + "\nselect a.txt\n");
		expect_orderly_end(result);
		EXPECT_EQ(result.lines, std::vector<std::string>({ "panel" })) << open;
		EXPECT_BYTES(directory.Read("PrintFile"), start_job_notes());
	}
}

TEST(Printing, TwoPanelsEachDeliverTheirOwnSelection)
{
	ScratchDir directory;
	directory.Write("a.txt", kNotes);
	directory.Write("b.txt", kOther);
	// The second panel is answered first, to the printer file; the port is
	// then changed, and the first panel's selection goes to the new port.
	RunResult result = run_quillon(directory,
		"menu MPpf\nmenu Print\nmenu Print\nselect a.txt\nmenu \"Parallel Port 2\"\n"
		"select b.txt\nselect b.txt\n");
	EXPECT_FALSE(result.timedOut) << result.Describe();
	EXPECT_EQ(result.exitCode, 0) << result.Describe();
	// Both panels were up; after both answered, a third select finds none.
	EXPECT_EQ(result.lines,
		std::vector<std::string>({ "panel", "panel", "error\tno panel is up" }));
	EXPECT_BYTES(directory.Read("PrintFile"), start_job_notes());
	EXPECT_BYTES(directory.Read("parallel2.out"), start_job_other());
}

TEST(Printing, CancelledPanelPrintsNothing)
{
	ScratchDir directory;
	directory.Write("a.txt", kNotes);
	RunResult result
		= run_quillon(directory, "menu MPpf\nmenu Print\ncancel\nselect a.txt\ncancel\n");
	EXPECT_FALSE(result.timedOut) << result.Describe();
	EXPECT_EQ(result.exitCode, 0) << result.Describe();
	EXPECT_EQ(result.lines,
		std::vector<std::string>(
			{ "panel", "error\tno panel is up", "error\tno panel is up" }));
	EXPECT_FALSE(directory.Exists("PrintFile"));
}

TEST(Printing, CancelOneOfTwoPanelsLeavesTheOther)
{
	ScratchDir directory;
	directory.Write("a.txt", kNotes);
	RunResult result
		= run_quillon(directory, "menu MPpf\nmenu Print\nmenu Print\ncancel\nselect a.txt\n");
	expect_orderly_end(result);
	EXPECT_EQ(result.lines, std::vector<std::string>({ "panel", "panel" }));
	EXPECT_BYTES(directory.Read("PrintFile"), start_job_notes());
}

TEST(Printing, LaunchWithRefsPrintsThemAsOneJob)
{
	ScratchDir directory;
	std::string a = directory.Write("a.txt", kNotes);
	directory.Write("-b.txt", kOther);
	RunOptions options;
	// Other words before the files are ignored; after --refs even a name
	// that looks like an option is a file.
	options.arguments = { "ignored", "word", "--refs", a, "-b.txt" };
	RunResult result = run_quillon(directory, "", options);
	expect_orderly_end(result);
	EXPECT_TRUE(result.lines.empty()) << result.Describe();
	// The start-up port is the first parallel port.
	EXPECT_BYTES(directory.Read("parallel1.out"), start_job_notes() + start_job_other());
	EXPECT_FALSE(directory.Exists("PrintFile"));
}

TEST(Printing, ArgumentsWithoutRefsStartNoJob)
{
	ScratchDir directory;
	std::string a = directory.Write("a.txt", kNotes);
	RunOptions options;
	options.arguments = { a, "b.txt" };
	RunResult result = run_quillon(directory, "draw\n", options);
	expect_orderly_end(result);
	EXPECT_EQ(result.lines, text_events(startup_view_lines()));
	EXPECT_FALSE(directory.Exists("parallel1.out"));
}

TEST(Printing, EveryPortWritesWhereItLeads)
{
	ScratchDir directory;
	directory.Write("a.txt", kNotes);
	RunResult result = run_quillon(directory,
		"menu \"Parallel Port 2\"\ndrop a.txt\nmenu \"Serial Port 1\"\ndrop a.txt\n"
		"menu \"Serial Port 2\"\ndrop a.txt\nmenu \"Parallel Port 1\"\ndrop a.txt\n");
	expect_orderly_end(result);
	for (const char* output : { "parallel1.out", "parallel2.out", "serial1.out", "serial2.out" })
		EXPECT_BYTES(directory.Read(output), start_job_notes()) << output;
	EXPECT_FALSE(directory.Exists("PrintFile"));
}

TEST(Printing, EachDropIsAJobOfItsOwn)
{
	ScratchDir directory;
	directory.Write("a.txt", kNotes);
	directory.Write("b.txt", kOther);
	RunResult result = run_quillon(directory, "menu MPpf\ndrop a.txt\ndrop b.txt\n");
	expect_orderly_end(result);
	// The output is opened anew for each message: the file keeps the last.
	EXPECT_BYTES(directory.Read("PrintFile"), start_job_other());
}

TEST(Printing, SettingsChosenBeforeTheJobShapeItsPreamble)
{
	ScratchDir directory;
	directory.Write("a.txt", kOther);
	RunResult result = run_quillon(directory,
		"menu \"Compressed Text (12 CPI)\"\nmenu \"Letter Quality\"\n"
		"menu \"Proportional Spacing\"\nmenu \"Unidirectional Printing\"\n"
		"menu \"Printer File\"\ndrop a.txt\n");
	expect_orderly_end(result);
	EXPECT_BYTES(directory.Read("PrintFile"),
		hex_bytes("1B 40  12 1B 4D  1B 78 02  1B 70 01  1B 55 01") + hex_bytes(kTop) + "x"
			+ hex_bytes("0A 0D 0C"));
}

TEST(Printing, PrinterCommandsSendNothing)
{
	ScratchDir directory;
	RunResult result = run_quillon(directory,
		"menu MPpf\nmenu \"Reset Printer\"\nanswer OK\nmenu \"Print Test Page\"\nanswer OK\n"
		"menu \"Load a sheet\"\nanswer OK\nmenu \"Eject a sheet\"\nanswer OK\n");
	expect_orderly_end(result);
	EXPECT_EQ(result.lines, std::vector<std::string>(4, kNotSupportedAlert));
	EXPECT_FALSE(directory.Exists("PrintFile"));
}

}  // namespace
