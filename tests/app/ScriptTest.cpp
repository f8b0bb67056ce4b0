// The script interface of the headless program: its words and quotes,
// comments, the error events of actions that cannot be taken, the command
// keys, and help.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "MenuModel.h"
#include "QuillonRun.h"

namespace {

RunResult
run_ok(const ScratchDir& directory, const std::string& script)
{
	RunResult result = run_quillon(directory, script);
	EXPECT_FALSE(result.timedOut) << result.Describe();
	EXPECT_TRUE(result.exited) << result.Describe();
	EXPECT_EQ(result.exitCode, 0) << result.Describe();
	return result;
}

std::vector<std::string>
with_view(std::vector<std::string> events)
{
	for (const std::string& event : text_events(startup_view_lines()))
		events.push_back(event);
	return events;
}

TEST(ScriptErrors, UnknownMenuItemChangesNothing)
{
	// Labels match exactly; a four-letter word is a code only when an item
	// has it.
	for (const char* what : { "Nope", "\"print\"", "\"Save As\"", "\"Quit \"", "MFxx", "mfqu",
			 "\"HP Deskjet\"", "\"Print Modes\"", "File" }) {
		ScratchDir directory;
		RunResult result = run_ok(directory, std::string("menu ") + what + "\ndraw\n");
		ASSERT_EQ(result.lines.size(), 21u) << what << "\n" << result.Describe();
		EXPECT_EQ(split_event(result.lines[0])[0], "error") << what;
		EXPECT_EQ(std::vector<std::string>(result.lines.begin() + 1, result.lines.end()),
			text_events(startup_view_lines()))
			<< what;
	}
}

TEST(ScriptErrors, NoAlertUp)
{
	ScratchDir directory;
	RunResult result = run_ok(directory, "answer 0\nanswer OK\ndraw\n");
	EXPECT_EQ(result.lines,
		with_view({ "error\tno alert is up", "error\tno alert is up" }));
}

TEST(ScriptErrors, NoPanelUp)
{
	ScratchDir directory;
	directory.Write("a.txt", "x\n");
	RunResult result = run_ok(directory, "select a.txt\ncancel\ndraw\n");
	EXPECT_EQ(result.lines, with_view({ "error\tno panel is up", "error\tno panel is up" }));
	// Nothing reached the start-up port.
	EXPECT_FALSE(directory.Exists("parallel1.out"));
}

TEST(ScriptErrors, MalformedActions)
{
	ScratchDir directory;
	directory.Write("a.txt", "x\n");
	RunResult result = run_ok(directory,
		"frobnicate\n"
		"menu\n"
		"menu MFnw MFop\n"
		"key\n"
		"key QQ\n"
		"drop\n"
		"draw now\n"
		"close please\n"
		"drop \"a.txt\n"
		"draw\n");
	ASSERT_EQ(result.lines.size(), 9u + 20u) << result.Describe();
	for (size_t i = 0; i < 9; i++)
		EXPECT_EQ(split_event(result.lines[i])[0], "error") << result.lines[i];
	EXPECT_EQ(std::vector<std::string>(result.lines.begin() + 9, result.lines.end()),
		with_view({}));
	// The unclosed quote dropped nothing on the start-up port.
	EXPECT_FALSE(directory.Exists("parallel1.out"));
}

TEST(ScriptWords, QuotesWithEscapedQuotesAndBackslashes)
{
	ScratchDir directory;
	directory.Write("my \"quoted\" file.txt", "one\n");
	directory.Write("back\\slash.txt", "two\n");
	directory.Write("plain.txt", "three\n");
	RunResult result = run_ok(directory,
		"menu \"Printer File\"\n"
		"drop plain.txt \"my \\\"quoted\\\" file.txt\"   \"back\\\\slash.txt\"\n");
	EXPECT_TRUE(result.lines.empty()) << result.Describe();
	std::string body = directory.Read("PrintFile");
	std::string preamble = hex_bytes("1B 40 12 1B 50 1B 78 00 1B 70 00 1B 55 00");
	std::string top = hex_bytes("0A 0D 0A 0D 0A 0D");
	std::string end = hex_bytes("0A 0D 0C");
	EXPECT_EQ(printable(body),
		printable(preamble + top + "three" + end + preamble + top + "one" + end + preamble + top
			+ "two" + end));
}

TEST(ScriptWords, QuotedWordsAndTabsBetweenWords)
{
	ScratchDir directory;
	RunResult result = run_ok(directory,
		"menu\t\"Select Landscape\"\n  menu   \"Near Letter Quality\"  \ndraw\n");
	std::vector<std::string> lines = startup_view_lines();
	lines[17] = "Paper Orientation: <Landscape>";
	lines[19] = "Print Quality: <Near Letter Quality mode>";
	EXPECT_EQ(result.lines, text_events(lines));
}

TEST(ScriptWords, CommentsAndBlankLinesAreSkipped)
{
	ScratchDir directory;
	RunResult result = run_ok(directory,
		"# menu MFnw\n"
		"\n"
		"   \n"
		"\t\n"
		"   # draw\n"
		"#menu Quit\n"
		"menu MMps\n"
		"# menu MMfx\n"
		"draw\n");
	std::vector<std::string> lines = startup_view_lines();
	lines[18] = "Proportional Spacing: <Proportional Spacing>";
	EXPECT_EQ(result.lines, text_events(lines));
}

TEST(ScriptKeys, TheTenShortcuts)
{
	ScratchDir directory;
	RunResult result = run_ok(directory,
		"key N\nanswer 0\nkey O\nanswer 0\nkey W\nanswer 0\nkey S\nanswer 0\n"
		"key 2\nanswer 0\ndraw\nkey 4\nanswer 0\nkey 8\nanswer 0\nkey 1\nanswer 0\ndraw\n"
		"key P\n");
	std::vector<std::string> expected(5, kNotSupportedAlert);
	std::vector<std::string> two = startup_view_lines();
	two[7] = "Pages per Sheet: 2";
	for (const std::string& event : text_events(two))
		expected.push_back(event);
	for (int i = 0; i < 3; i++)
		expected.push_back(kNotSupportedAlert);
	for (const std::string& event : text_events(startup_view_lines()))
		expected.push_back(event);
	expected.push_back("panel");
	EXPECT_EQ(result.lines, expected) << result.Describe();
}

TEST(ScriptKeys, NoOtherKeyHasAnItem)
{
	std::string script;
	// '.' is Cancel Printing's, of the Setup menu.
	std::string keys = "ABCDEFGHIJKLMRTUVXYZ035679,";
	for (char key : keys)
		script += std::string("key ") + key + "\n";
	ScratchDir directory;
	RunResult result = run_ok(directory, script + "draw\n");
	ASSERT_EQ(result.lines.size(), keys.size() + 20) << result.Describe();
	for (size_t i = 0; i < keys.size(); i++)
		EXPECT_EQ(split_event(result.lines[i])[0], "error") << keys[i];
}

TEST(ScriptTiming, MenusChosenWhileTheWindowsAlertIsUpAreRefused)
{
	ScratchDir directory;
	RunResult result = run_ok(directory,
		"menu New\nmenu \"2 Pages per Sheet\"\nmenu MCls\nanswer OK\nanswer OK\ndraw\n");
	std::vector<std::string> expected = { kNotSupportedAlert,
		"error\tan alert of the window is up", "error\tan alert of the window is up",
		"error\tno alert is up" };
	for (const std::string& event : text_events(startup_view_lines()))
		expected.push_back(event);
	EXPECT_EQ(result.lines, expected);
}

TEST(ScriptTiming, AppOutputKeepsItsPlaceAmongTheEvents)
{
	ScratchDir directory;
	directory.Write("a.txt", "x\n");
	RunResult result = run_ok(directory,
		"menu MMgr\nanswer 0\nmenu MPpf\ndraw\ndrop a.txt\nanswer 0\nmenu MFop\n");
	ASSERT_EQ(result.lines.size(), 1u + 20u + 3u) << result.Describe();
	EXPECT_EQ(result.lines[0], kNotSupportedAlert);
	EXPECT_EQ(result.lines[21], "Print Graphic Pages.");
	EXPECT_EQ(result.lines[22],
		"alert\tPrinter Alert\tGraphic Printing is not supported yet.\tOK");
	EXPECT_EQ(result.lines[23], kNotSupportedAlert);
}

TEST(ScriptHelp, NamesEveryAction)
{
	ScratchDir directory;
	RunResult result = run_ok(directory, "help\n");
	std::vector<std::string> help = result.Events("help");
	EXPECT_EQ(help.size(), result.lines.size()) << result.Describe();
	for (const char* action :
		{ "menu", "key", "select", "cancel", "drop", "answer", "close", "draw", "help" }) {
		bool named = false;
		for (const std::string& line : help) {
			std::vector<std::string> words = split_event(line);
			if (words.size() >= 2 && words[1].compare(0, strlen(action), action) == 0
				&& (words[1].size() == strlen(action) || words[1][strlen(action)] == ' '))
				named = true;
		}
		EXPECT_TRUE(named) << action << "\n" << result.Describe();
	}
	// Help is no action on the program.
	EXPECT_TRUE(result.Events("error").empty());
}

}  // namespace
