// Every menu item, chosen by its label and by its command code in a script,
// is accepted and shows its own effect: the settings view's lines, the
// not-supported alert, the open panel or the end of the program.

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "MenuModel.h"
#include "QuillonRun.h"

namespace {

enum Kind {
	kChange,       // changes what the view shows
	kChangeAlert,  // changes what the view shows, then the not-supported alert
	kAlertOnly,    // the not-supported alert and nothing else
	kPanel,        // the open panel
	kQuit,         // the program ends
};

typedef std::map<int, std::string> LineChanges;  // line number (from 1) -> text

struct ItemCase {
	const char* code;
	// Items chosen before, so that the item's own effect is visible.
	std::vector<std::string> setup;
	Kind kind;
	LineChanges lines;
};

// Before a printer item: settings that a printer command resets (mode,
// pages, long lines) and settings it keeps (columns, pitch number, quality
// label, orientation), plus another model, so that every value the item
// writes differs from what stood there.
std::vector<std::string>
printer_setup(const char* code)
{
	std::vector<std::string> setup
		= { "MMgr", "MM4p", "MM3c", "MMtr", "MM12", "MMnl", "MCls" };
	setup.push_back(std::string(code) == "MPpp" ? "MPhp" : "MPpp");
	return setup;
}

LineChanges
printer_lines(const char* name, const char* filter, const char* reset, const char* load,
	const char* eject)
{
	return {
		{ 1, std::string("Printer Name: <") + name + ">" },
		{ 2, "Printer Mode: <Text>" },
		{ 3, std::string("Filtering(Y/N): <") + filter + ">" },
		{ 7, "CPI: 12.000000" },
		{ 8, "Pages per Sheet: 1" },
		{ 9, "Columns per Page: 3" },
		{ 10, "Long Line Mode: <WordWrap>" },
		{ 11, std::string("Codes to Reset Printer: <") + reset + ">" },
		{ 12, std::string("Codes to Load_Paper: <") + load + ">" },
		{ 13, std::string("Codes to Eject_Paper: <") + eject + ">" },
		{ 18, "Paper Orientation: <Landscape>" },
		{ 20, "Print Quality: <Near Letter Quality mode>" },
	};
}

const std::vector<ItemCase>&
item_cases()
{
	static const std::vector<ItemCase> kCases = {
		// File
		{ "MFnw", {}, kAlertOnly, {} },
		{ "MFop", {}, kAlertOnly, {} },
		{ "MFcl", {}, kAlertOnly, {} },
		{ "MFsv", {}, kAlertOnly, {} },
		{ "MFsa", {}, kAlertOnly, {} },
		{ "MFps", {}, kAlertOnly, {} },
		{ "MFpr", {}, kPanel, {} },
		{ "MFqu", {}, kQuit, {} },
		// Printers
		{ "MPrw", printer_setup("MPrw"), kChange,
			printer_lines("RAW ASCII", "NO", "", "", "0C") },
		{ "MPas", printer_setup("MPas"), kChange,
			printer_lines("Pure ASCII", "YES", "", "", "0C") },
		{ "MPgn", printer_setup("MPgn"), kChange,
			printer_lines("Generic ASCII.", "ALL", "", "", "0C") },
		{ "MPhp", printer_setup("MPhp"), kChange,
			printer_lines("HP DeskJet 500C.", "All", "1B 45", "1B 26 6C 31 48",
				"1B 26 6C 30 48") },
		{ "MPei", printer_setup("MPei"), kChange,
			printer_lines("Epson Stylus ESC/P2", "ALL", "", "", "0C") },
		{ "MPed", printer_setup("MPed"), kChange,
			printer_lines("Epson Dot Matrix Compatible.", "All", "1B 40", "", "0C") },
		{ "MPpp", printer_setup("MPpp"), kChange,
			printer_lines("IBM Proprinter III", "All", "1B 5B 4B 04 00 FF 24 00 00", "",
				"0C") },
		{ "MPp1", { "MPpf" }, kChange, { { 17, "Print Data Path: </dev/parallel/parallel1>" } } },
		{ "MPp2", {}, kChange, { { 17, "Print Data Path: </dev/parallel/parallel2>" } } },
		{ "MPs1", {}, kChange, { { 17, "Print Data Path: </dev/serial/serial1>" } } },
		{ "MPs2", {}, kChange, { { 17, "Print Data Path: </dev/serial/serial2>" } } },
		{ "MPpf", {}, kChange, { { 17, "Print Data Path: <PrintFile>" } } },
		// Print Modes
		{ "MMtx", { "MMgr" }, kChange, {} },
		{ "MMgr", {}, kChangeAlert, { { 2, "Printer Mode: <Graphic>" } } },
		{ "MMnm", { "MM20" }, kChange, {} },
		{ "MM12", {}, kChange, { { 7, "CPI: 12.000000" } } },
		{ "MM15", {}, kChange, { { 7, "CPI: 15.000000" } } },
		{ "MM17", {}, kChange, { { 7, "CPI: 17.000000" } } },
		{ "MM20", {}, kChange, { { 7, "CPI: 20.000000" } } },
		{ "MMdr", { "MMlq" }, kChange, {} },
		{ "MMnl", {}, kChange, { { 20, "Print Quality: <Near Letter Quality mode>" } } },
		{ "MMlq", {}, kChange, { { 20, "Print Quality: <Letter Quality mode>" } } },
		{ "MMps", {}, kChange, { { 19, "Proportional Spacing: <Proportional Spacing>" } } },
		{ "MMfx", { "MMps" }, kChange, {} },
		{ "MM1p", { "MM8p" }, kChangeAlert, {} },
		{ "MM2p", {}, kChangeAlert, { { 8, "Pages per Sheet: 2" } } },
		{ "MM4p", {}, kChangeAlert, { { 8, "Pages per Sheet: 4" } } },
		{ "MM8p", {}, kChangeAlert, { { 8, "Pages per Sheet: 8" } } },
		{ "MM1c", { "MM4c" }, kChangeAlert, {} },
		{ "MM2c", {}, kChangeAlert, { { 9, "Columns per Page: 2" } } },
		{ "MM3c", {}, kChangeAlert, { { 9, "Columns per Page: 3" } } },
		{ "MM4c", {}, kChangeAlert, { { 9, "Columns per Page: 4" } } },
		{ "MMtr", {}, kChangeAlert, { { 10, "Long Line Mode: <Truncated>" } } },
		{ "MMlw", {}, kChangeAlert, { { 10, "Long Line Mode: <LineWrap>" } } },
		// Not the "WordWrap" the printer models set.
		{ "MMww", {}, kChangeAlert, { { 10, "Long Line Mode: <WordWarp>" } } },
		// Command Printer
		{ "MCrs", {}, kAlertOnly, {} },
		{ "MCts", {}, kAlertOnly, {} },
		{ "MCld", {}, kAlertOnly, {} },
		{ "MCej", {}, kAlertOnly, {} },
		{ "MCs0", {}, kChange, { { 14, "Paper tray to use: <Executive>" } } },
		{ "MCs1", { "MCs3" }, kChange, {} },
		{ "MCs2", {}, kChange, { { 14, "Paper tray to use: <Legal>" } } },
		{ "MCs3", {}, kChange, { { 14, "Paper tray to use: <A4>" } } },
		{ "MCpt", { "MCls" }, kChange, {} },
		{ "MCls", {}, kChange, { { 18, "Paper Orientation: <Landscape>" } } },
		{ "MClw", {}, kChange,
			{ { 16, "Printer's Linewrapping: <Printer LineWrapping ON>" } } },
		{ "MCtr", { "MClw" }, kChange, {} },
		{ "MCud", {}, kChange, { { 15, "Print Direction(s): <Unidirectional Printing>" } } },
		{ "MCbd", { "MCud" }, kChange, {} },
	};
	return kCases;
}

const ItemCase*
find_case(const std::string& code)
{
	for (const ItemCase& itemCase : item_cases()) {
		if (code == itemCase.code)
			return &itemCase;
	}
	return NULL;
}

bool
shows_alert(const std::string& code)
{
	const ItemCase* itemCase = find_case(code);
	return itemCase != NULL && (itemCase->kind == kChangeAlert || itemCase->kind == kAlertOnly);
}

ExpectedItem
find_item(const std::string& code)
{
	for (const ExpectedItem& item : expected_items()) {
		if (code == item.code)
			return item;
	}
	return ExpectedItem{ NULL, NULL, 0, 0 };
}

TEST(MenuItemCases, CoverEveryItemOnce)
{
	std::vector<ExpectedItem> items = expected_items();
	ASSERT_EQ(items.size(), 57u);
	std::set<std::string> codes;
	for (const ItemCase& itemCase : item_cases()) {
		EXPECT_TRUE(codes.insert(itemCase.code).second) << itemCase.code;
		EXPECT_NE(find_item(itemCase.code).label, nullptr) << itemCase.code;
	}
	EXPECT_EQ(codes.size(), items.size());
}

class MenuItem : public testing::TestWithParam<std::tuple<std::string, bool>> {
};

TEST_P(MenuItem, IsAcceptedAndShowsItsEffect)
{
	const std::string code = std::get<0>(GetParam());
	const bool byLabel = std::get<1>(GetParam());
	const ItemCase* itemCase = find_case(code);
	ASSERT_NE(itemCase, nullptr);
	ExpectedItem item = find_item(code);
	ASSERT_NE(item.label, nullptr);

	std::string script;
	std::vector<std::string> expected;
	for (const std::string& step : itemCase->setup) {
		script += "menu " + step + "\n";
		if (shows_alert(step)) {
			expected.push_back(kNotSupportedAlert);
			script += "answer 0\n";
		}
	}
	script += "menu " + (byLabel ? quote_word(item.label) : code) + "\n";

	ScratchDir directory;
	RunOptions options;
	if (itemCase->kind == kQuit) {
		// Nothing but the item may end the program: its input stays open.
		options.keepInputOpen = true;
		RunResult result = run_quillon(directory, script, options);
		ASSERT_FALSE(result.timedOut) << result.Describe();
		EXPECT_TRUE(result.exited) << result.Describe();
		EXPECT_EQ(result.exitCode, 0) << result.Describe();
		EXPECT_EQ(result.lines, expected) << result.Describe();
		return;
	}

	switch (itemCase->kind) {
		case kChangeAlert:
		case kAlertOnly:
			expected.push_back(kNotSupportedAlert);
			script += byLabel ? "answer OK\n" : "answer 0\n";
			break;
		case kPanel:
			expected.push_back("panel");
			break;
		default:
			break;
	}
	script += "draw\n";

	std::vector<std::string> lines = startup_view_lines();
	for (const auto& [number, text] : itemCase->lines)
		lines[static_cast<size_t>(number - 1)] = text;
	for (const std::string& event : text_events(lines))
		expected.push_back(event);

	RunResult result = run_quillon(directory, script, options);
	ASSERT_FALSE(result.timedOut) << result.Describe();
	EXPECT_TRUE(result.exited) << result.Describe();
	EXPECT_EQ(result.exitCode, 0) << result.Describe();
	EXPECT_EQ(result.lines, expected) << "script:\n" << script << result.Describe();
	// No command prints anything.
	EXPECT_FALSE(directory.Exists("PrintFile"));
}

std::vector<std::string>
all_codes()
{
	std::vector<std::string> codes;
	for (const ExpectedItem& item : expected_items())
		codes.push_back(item.code);
	return codes;
}

INSTANTIATE_TEST_SUITE_P(AllItems, MenuItem,
	testing::Combine(testing::ValuesIn(all_codes()), testing::Bool()),
	[](const testing::TestParamInfo<MenuItem::ParamType>& param) {
		return std::get<0>(param.param) + (std::get<1>(param.param) ? "_byLabel" : "_byCode");
	});

}  // namespace
