// The settings view's twenty lines, as the running program draws them: at
// start-up, after setting commands, and drawn twice in a row.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "MenuModel.h"
#include "QuillonRun.h"

namespace {

// Runs the script and returns its events, checking that the program ended
// in order.
std::vector<std::string>
run_events(const std::string& script)
{
	ScratchDir directory;
	RunResult result = run_quillon(directory, script);
	EXPECT_FALSE(result.timedOut) << result.Describe();
	EXPECT_TRUE(result.exited) << result.Describe();
	EXPECT_EQ(result.exitCode, 0) << result.Describe();
	EXPECT_TRUE(result.Events("error").empty()) << result.Describe();
	return result.lines;
}

std::vector<std::string>
with_lines(std::vector<std::string> lines, const std::vector<std::pair<int, std::string>>& changes)
{
	for (const auto& [number, text] : changes)
		lines[static_cast<size_t>(number - 1)] = text;
	return lines;
}

std::vector<std::string>
concat(std::vector<std::string> first, const std::vector<std::string>& second)
{
	first.insert(first.end(), second.begin(), second.end());
	return first;
}

TEST(SettingsView, StartUpLinesAtTheirPlaces)
{
	std::vector<std::string> events = run_events("draw\n");
	ASSERT_EQ(events.size(), 20u);
	EXPECT_EQ(events, text_events(startup_view_lines()));
	// Every line starts at x 20; the baselines run 20 apart from 20 to 400.
	for (size_t i = 0; i < events.size(); i++) {
		std::vector<std::string> words = split_event(events[i]);
		ASSERT_EQ(words.size(), 4u) << events[i];
		EXPECT_EQ(words[1], "20");
		EXPECT_EQ(words[2], std::to_string(20 * (i + 1)));
	}
}

TEST(SettingsView, DrawingTwiceGivesTheSameLinesAtTheSamePlaces)
{
	std::vector<std::string> once = text_events(startup_view_lines());
	EXPECT_EQ(run_events("draw\ndraw\n"), concat(once, once));

	std::vector<std::string> landscape
		= text_events(with_lines(startup_view_lines(), { { 18, "Paper Orientation: <Landscape>" } }));
	EXPECT_EQ(run_events("menu \"Select Landscape\"\ndraw\ndraw\n"), concat(landscape, landscape));
}

TEST(SettingsView, OrientationShowsTheLabelNotTheCode)
{
	// HP has orientation codes of its own; the view still shows the words.
	std::vector<std::string> events
		= run_events("menu \"HP Deskjet Series\"\nmenu \"Select Landscape\"\ndraw\n"
					 "menu \"Select Portrait\"\ndraw\n");
	ASSERT_EQ(events.size(), 40u);
	EXPECT_EQ(events[17], "text\t20\t360\tPaper Orientation: <Landscape>");
	EXPECT_EQ(events[37], "text\t20\t360\tPaper Orientation: <Portrait>");
	for (const std::string& event : events) {
		EXPECT_EQ(event.find("6C 31 4F"), std::string::npos) << event;
		EXPECT_EQ(event.find("6C 30 4F"), std::string::npos) << event;
	}
}

TEST(SettingsView, SpacingLineFollowsBothSpacingItems)
{
	std::vector<std::string> start = startup_view_lines();
	std::vector<std::string> proportional
		= with_lines(start, { { 19, "Proportional Spacing: <Proportional Spacing>" } });
	std::vector<std::string> expected = concat(text_events(proportional), text_events(start));
	EXPECT_EQ(run_events("menu \"Proportional Spacing\"\ndraw\nmenu \"Fixed Spacing\"\ndraw\n"),
		expected);
	// The same by code: MMps and MMfx are different commands.
	EXPECT_EQ(run_events("menu MMps\ndraw\nmenu MMfx\ndraw\n"), expected);
}

TEST(SettingsView, PitchNumberAfterPrinterAndPitchCommands)
{
	std::vector<std::string> hp = with_lines(startup_view_lines(),
		{
			{ 1, "Printer Name: <HP DeskJet 500C.>" },
			{ 11, "Codes to Reset Printer: <1B 45>" },
			{ 12, "Codes to Load_Paper: <1B 26 6C 31 48>" },
			{ 13, "Codes to Eject_Paper: <1B 26 6C 30 48>" },
		});
	std::vector<std::string> hp17 = with_lines(hp, { { 7, "CPI: 17.000000" } });
	// HP has no 17-pitch code, yet the number changes; choosing the printer
	// again keeps the number.
	std::vector<std::string> events = run_events(
		"menu \"HP Deskjet Series\"\ndraw\nmenu \"Compressed Text (17 CPI)\"\ndraw\n"
		"menu MPhp\ndraw\n");
	EXPECT_EQ(events, concat(concat(text_events(hp), text_events(hp17)), text_events(hp17)));
}

TEST(SettingsView, EveryPortShowsItsPath)
{
	const char* const kPorts[][2] = {
		{ "Parallel Port 2", "/dev/parallel/parallel2" },
		{ "Serial Port 1", "/dev/serial/serial1" },
		{ "Serial Port 2", "/dev/serial/serial2" },
		{ "Printer File", "PrintFile" },
		{ "Parallel Port 1", "/dev/parallel/parallel1" },
	};
	std::string script;
	std::vector<std::string> expected;
	for (const auto& port : kPorts) {
		script += std::string("menu \"") + port[0] + "\"\ndraw\n";
		expected = concat(expected,
			text_events(with_lines(startup_view_lines(),
				{ { 17, std::string("Print Data Path: <") + port[1] + ">" } })));
	}
	EXPECT_EQ(run_events(script), expected);
}

TEST(SettingsView, ARepeatedCommandLeavesTheSameLines)
{
	std::vector<std::string> once = run_events("menu MCs2\nmenu MMlq\nmenu MClw\ndraw\n");
	std::vector<std::string> twice
		= run_events("menu MCs2\nmenu MCs2\nmenu MMlq\nmenu MMlq\nmenu MClw\nmenu MClw\ndraw\n");
	EXPECT_EQ(once, twice);
	EXPECT_EQ(once,
		text_events(with_lines(startup_view_lines(),
			{
				{ 14, "Paper tray to use: <Legal>" },
				{ 16, "Printer's Linewrapping: <Printer LineWrapping ON>" },
				{ 20, "Print Quality: <Letter Quality mode>" },
			})));
}

TEST(SettingsView, ADrawAskedForWhileAnAlertIsUpComesAfterTheAnswer)
{
	// The window is busy with the alert; the drawing waits for it and then
	// shows the value the command stored.
	std::vector<std::string> expected = { kNotSupportedAlert };
	expected = concat(expected,
		text_events(with_lines(startup_view_lines(), { { 8, "Pages per Sheet: 4" } })));
	EXPECT_EQ(run_events("menu \"4 Pages per Sheet\"\ndraw\nanswer OK\n"), expected);
}

}  // namespace
