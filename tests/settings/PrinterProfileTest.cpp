// The printer commands: each installs its model's profile in full, refreshes
// only the pitch and quality codes that are sent, and leaves the user's other
// choices alone.
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "CommandCodes.h"
#include "SettingCommands.h"
#include "SettingsStore.h"
#include "StoreState.h"

namespace {

struct PrinterCommand
{
	uint32_t code;
	const char* label;
};

// Column order of the profile table below.
const PrinterCommand kPrinters[7] = {
    {0x4D507277, "All Raw Data"},   {0x4D506173, "Pure ASCII"},
    {0x4D50676E, "Generic ASCII"},  {0x4D506870, "HP Deskjet Series"},
    {0x4D506569, "Epson Stylus"},   {0x4D506564, "Epson Dot Matrix"},
    {0x4D507070, "IBM Proprinter"},
};

const int kEpsonDotMatrix = 5;

struct ProfileRow
{
	const char* variable;
	std::string values[7];
};

std::string Q(const char* text)
{
	return Quoted(text);
}

// What each printer command stores, model by model.
const std::vector<ProfileRow>& ProfileTable()
{
	static const std::vector<ProfileRow> table = {
	    // clang-format off
		{ "PrintName", { Q("RAW ASCII"), Q("Pure ASCII"), Q("Generic ASCII."), Q("HP DeskJet 500C."),
			Q("Epson Stylus ESC/P2"), Q("Epson Dot Matrix Compatible."), Q("IBM Proprinter III") } },
		{ "PrintMode", { Q("Text"), Q("Text"), Q("Text"), Q("Text"), Q("Text"), Q("Text"), Q("Text") } },
		{ "FilterCodes", { Q("NO"), Q("YES"), Q("ALL"), Q("All"), Q("ALL"), Q("All"), Q("All") } },
		{ "LineMode", { Q("WordWrap"), Q("WordWrap"), Q("WordWrap"), Q("WordWrap"), Q("WordWrap"),
			Q("WordWrap"), Q("WordWrap") } },
		{ "ResetPrinter", { Q(""), Q(""), Q(""), Q("1B 45"), Q(""), Q("1B 40"),
			Q("1B 5B 4B 04 00 FF 24 00 00") } },
		{ "SelfTest", { Q(""), Q(""), Q(""), Q("1B 7A"), Q(""), Q(""), Q("") } },
		{ "LoadPaper", { Q(""), Q(""), Q(""), Q("1B 26 6C 31 48"), Q(""), Q(""), Q("") } },
		{ "EjectPaper", { Q("0C"), Q("0C"), Q("0C"), Q("1B 26 6C 30 48"), Q("0C"), Q("0C"), Q("0C") } },
		{ "CR_LF_FF", { Q(""), Q(""), Q(""), Q("1B 26 6B 30 47"), Q(""), Q(""), Q("") } },
		{ "NewLine", { Q("0A 0D"), Q("0A 0D"), Q("0A 0D"), Q("0D 0A"), Q("0A 0D"), Q("0A 0D"), Q("0A 0D") } },
		{ "Alarm", { Q(""), Q(""), Q(""), Q("07"), Q(""), Q("07 07 07"), Q("07 07 07") } },
		{ "PortraitPage", { Q(""), Q(""), Q(""), Q("1B 26 6C 30 4F"), Q(""), Q(""), Q("") } },
		{ "LandscapePage", { Q(""), Q(""), Q(""), Q("1B 26 6C 31 4F"), Q(""), Q(""), Q("") } },
		{ "EnableEOLWrap", { Q(""), Q(""), Q(""), Q("1B 26 73 30 43"), Q(""), Q(""), Q("") } },
		{ "DisableEOLWrap", { Q(""), Q(""), Q(""), Q("1B 26 73 31 43"), Q(""), Q(""), Q("") } },
		{ "SelectExec", { Q(""), Q(""), Q(""), Q("1B 26 6C 31 41"), Q(""), Q(""), Q("") } },
		{ "SelectLetter", { Q(""), Q(""), Q(""), Q("1B 26 6C 32 41"), Q(""), Q(""), Q("") } },
		{ "SelectLegal", { Q(""), Q(""), Q(""), Q("1B 26 6C 33 41"), Q(""), Q(""), Q("") } },
		{ "SelectA4", { Q(""), Q(""), Q(""), Q("1B 26 6C 32 36 41"), Q(""), Q(""), Q("") } },
		{ "CPI10", { Q(""), Q(""), Q(""), Q("1B 28 73 31 30 48"), Q(""), Q("12 1B 50"), Q("12") } },
		{ "CPI12", { Q(""), Q(""), Q(""), Q("1B 28 73 31 32 56"), Q(""), Q("12 1B 4D"), Q("1B 3A") } },
		{ "CPI15", { Q(""), Q(""), Q(""), Q(""), Q(""), Q("12 1B 67"), Q("") } },
		{ "CPI17", { Q(""), Q(""), Q(""), Q(""), Q(""), Q("0F 1B 50"), Q("1B 0F") } },
		{ "CPI20", { Q(""), Q(""), Q(""), Q(""), Q(""), Q("0F 1B 4D"), Q("") } },
		{ "DraftMode", { Q(""), Q(""), Q(""), Q("1B 28 73 31 51"), Q(""), Q("1B 78 00"), Q("1B 49 00") } },
		{ "NLQ_Mode", { Q(""), Q(""), Q(""), Q("1B 28 73 32 51"), Q(""), Q("1B 78 01"), Q("1B 6B 02") } },
		{ "LQ_Mode", { Q(""), Q(""), Q(""), Q("1B 28 73 32 51"), Q(""), Q("1B 78 02"), Q("1B 6B 02") } },
		{ "PS_ModeOn", { Q(""), Q(""), Q(""), Q("1B 28 73 31 50"), Q(""), Q("1B 70 01"), Q("1B 50 01") } },
		{ "PS_ModeOff", { Q(""), Q(""), Q(""), Q("1B 28 73 30 50"), Q(""), Q("1B 70 00"), Q("1B 50 00") } },
		{ "Unidirectional", { Q(""), Q(""), Q(""), Q("1B 26 6B 30 57"), Q(""), Q("1B 55 01"), Q("1B 55 01") } },
		{ "Bidirectional", { Q(""), Q(""), Q(""), Q("1B 26 6B 31 57"), Q(""), Q("1B 55 00"), Q("1B 55 00") } },
		{ "UnderlineOn", { Q(""), Q(""), Q(""), Q("1B 26 64 31 44"), Q(""), Q("1B 2D 01"), Q("1B 2D 01") } },
		{ "UnderlineOff", { Q(""), Q(""), Q(""), Q("1B 26 64 40"), Q(""), Q("1B 2D 00"), Q("1B 2D 00") } },
		{ "BoldOn", { Q(""), Q(""), Q(""), Q("1B 28 73 33 42"), Q(""), Q("1B 47"), Q("1B 47") } },
		{ "BoldOff", { Q(""), Q(""), Q(""), Q("1B 28 73 30 42"), Q(""), Q("1B 48"), Q("1B 48") } },
		{ "ItalicsOn", { Q(""), Q(""), Q(""), Q("1B 28 73 31 53"), Q(""), Q("1B 34"), Q("") } },
		{ "ItalicsOff", { Q(""), Q(""), Q(""), Q("1B 28 73 30 53"), Q(""), Q("1B 35"), Q("") } },
		{ "Superscript", { Q(""), Q(""), Q(""), Q("1B 28 73 31 55"), Q(""), Q("1B 53 00"), Q("1B 53 00") } },
		{ "Subscript", { Q(""), Q(""), Q(""), Q("1B 28 73 2D 31 55"), Q(""), Q("1B 53 01"), Q("1B 53 01") } },
		{ "NormalScript", { Q(""), Q(""), Q(""), Q("1B 28 73 30 55"), Q(""), Q("1B 54"), Q("1B 54") } },
		{ "TopBlankLines", { "3", "3", "3", "3", "3", "3", "3" } },
		{ "TabSize", { "4", "4", "4", "4", "4", "4", "4" } },
		{ "PagesPerSheet", { "1", "1", "1", "1", "1", "1", "1" } },
	    // clang-format on
	};
	return table;
}

std::string ProfileValue(const std::string& variable, int printer)
{
	for (const ProfileRow& row : ProfileTable()) {
		if (variable == row.variable)
			return row.values[printer];
	}
	ADD_FAILURE() << "no profile row " << variable;
	return "";
}

// What one printer command must leave behind, given the store before it: the
// profile's column, fresh pitch and quality codes, everything else as it was.
StoreView ExpectedAfter(const StoreView& before, int printer)
{
	StoreView expected = before;
	for (const ProfileRow& row : ProfileTable())
		expected[row.variable] = row.values[printer];
	expected["PrintCPI"] = expected["CPI10"];
	expected["PrintQuality"] = expected["DraftMode"];
	return expected;
}

// Fills everything a printer command writes with values no profile holds,
// so a value the command forgets to write cannot pass by chance.
void SpoilProfileValues()
{
	for (const ProfileRow& row : ProfileTable()) {
		if (row.values[0].front() == '"')
			SetStoreVariable(row.variable, Q("EE EE"));
		else
			SetStoreVariable(row.variable, "-7");
	}
	SetStoreVariable("PrintMode", Q("Graphic"));
	SetStoreVariable("PrintCPI", Q("EE 01"));
	SetStoreVariable("PrintQuality", Q("EE 02"));
}

class PrinterCommandTest : public SettingsTest
{
};

TEST_F(PrinterCommandTest, CodesHaveTheirMenuValues)
{
	const uint32_t named[7] = {MPrw, MPas, MPgn, MPhp, MPei, MPed, MPpp};
	for (int i = 0; i < 7; i++)
		EXPECT_EQ(named[i], kPrinters[i].code) << kPrinters[i].label;
	EXPECT_EQ(MPp1, 0x4D507031u);
	EXPECT_EQ(MPp2, 0x4D507032u);
	EXPECT_EQ(MPs1, 0x4D507331u);
	EXPECT_EQ(MPs2, 0x4D507332u);
	EXPECT_EQ(MPpf, 0x4D507066u);
}

// Every model from every model, so a value one profile forgets to write shows
// up whatever was installed before it.
TEST_F(PrinterCommandTest, InstallsEveryProfileValueFromAnyEarlierModel)
{
	for (int from = 0; from < 7; from++) {
		for (int to = 0; to < 7; to++) {
			RestoreStore(StoreAtLoad());
			ApplyStartUpSettings();
			ASSERT_TRUE(RunSettingCommand(kPrinters[from].code)) << kPrinters[from].label;
			StoreView before = ViewStore();

			// A model is always supported: nothing for the window to tell.
			ASSERT_EQ(kSettingChanged, RunSettingCommand(kPrinters[to].code))
			    << kPrinters[to].label;
			EXPECT_EQ("", DescribeDifferences(ExpectedAfter(before, to), ViewStore()))
			    << kPrinters[from].label << " then " << kPrinters[to].label;
		}
	}
}

TEST_F(PrinterCommandTest, OverwritesValuesThatNoProfileHolds)
{
	for (int printer = 0; printer < 7; printer++) {
		SpoilProfileValues();
		StoreView before = ViewStore();
		ASSERT_TRUE(RunSettingCommand(kPrinters[printer].code));
		EXPECT_EQ("", DescribeDifferences(ExpectedAfter(before, printer), ViewStore()))
		    << kPrinters[printer].label;
	}
}

TEST_F(PrinterCommandTest, StoreStartsAsTheEpsonDotMatrixProfile)
{
	RestoreStore(StoreAtLoad());
	StoreView atLoad = ViewStore();
	for (const ProfileRow& row : ProfileTable())
		EXPECT_EQ(row.values[kEpsonDotMatrix], atLoad[row.variable]) << row.variable;
	EXPECT_EQ(Q("/dev/parallel/parallel1"), atLoad["PrinterPath"]);
	EXPECT_EQ("3", atLoad["BottomBlankLines"]);
	EXPECT_EQ("1", atLoad["ColumnsPerPage"]);
	EXPECT_EQ(Float(0.0f), atLoad["CPI"]);
	EXPECT_EQ(Float(0.0f), atLoad["LPI"]);
	for (const char* empty : {"PrintCPI", "PrintQuality", "PrintSpacing", "PaperTray",
	                          "PrintOrientation", "PrintWrap", "PrintDirection", "PrintLQ",
	                          "PrintSpace", "PaperSource", "PrintOrient", "PrintWRAP", "PrintDir"})
		EXPECT_EQ(Q(""), atLoad[empty]) << empty;
}

TEST_F(PrinterCommandTest, StartUpSettingsMatchAFreshEpsonDotMatrix)
{
	StoreView expected = ViewStore();
	expected["LPI"] = Float(6.0f);
	expected["CPI"] = Float(10.0f);
	expected["PrintCPI"] = Q("12 1B 50");
	expected["PrintQuality"] = Q("1B 78 00");
	expected["PrintLQ"] = Q("Draft mode");
	expected["PrintSpacing"] = Q("1B 70 00");
	expected["PrintSpace"] = Q("Fixed Spacing");
	expected["PrintWrap"] = Q("");
	expected["PrintWRAP"] = Q("Printer LineWrapping OFF");
	expected["PrintDirection"] = Q("1B 55 00");
	expected["PrintDir"] = Q("Bidirectional Printing");
	expected["PaperTray"] = Q("");
	expected["PaperSource"] = Q("Letter");
	expected["PrintOrientation"] = Q("");
	expected["PrintOrient"] = Q("Portrait");
	expected["PortraitX"] = Float(8.0f);
	expected["PortraitY"] = Float(10.5f);
	expected["LandscapeX"] = Float(10.5f);
	expected["LandscapeY"] = Float(8.0f);

	RestoreStore(StoreAtLoad());
	ApplyStartUpSettings();
	StoreView afterStartUp = ViewStore();
	EXPECT_EQ("", DescribeDifferences(expected, afterStartUp));

	// The Epson Dot Matrix command on top of it changes nothing.
	ASSERT_TRUE(RunSettingCommand(0x4D506564));
	EXPECT_EQ("", DescribeDifferences(afterStartUp, ViewStore()));
}

TEST_F(PrinterCommandTest, LeavesPortCountsPitchPaperAndTheOtherChoicesAlone)
{
	const std::vector<std::pair<std::string, std::string>> chosen = {
	    {"PrinterPath", Q("PrintFile")},
	    {"BottomBlankLines", "11"},
	    {"ColumnsPerPage", "3"},
	    {"CPI", Float(17.0f)},
	    {"LPI", Float(8.0f)},
	    {"PortraitX", Float(7.8f)},
	    {"PortraitY", Float(11.2f)},
	    {"LandscapeX", Float(11.2f)},
	    {"LandscapeY", Float(7.8f)},
	    {"PrintSpacing", Q("C1 01")},
	    {"PaperTray", Q("C2 02")},
	    {"PrintWrap", Q("C3 03")},
	    {"PrintDirection", Q("C4 04")},
	    {"PrintOrientation", Q("C5 05")},
	    {"PrintLQ", Q("Letter Quality mode")},
	    {"PrintSpace", Q("Proportional Spacing")},
	    {"PaperSource", Q("A4")},
	    {"PrintOrient", Q("Landscape")},
	    {"PrintWRAP", Q("Printer LineWrapping ON")},
	    {"PrintDir", Q("Unidirectional Printing")},
	};
	// The paper table, as the store holds it in every run.
	const std::vector<std::pair<std::string, std::string>> paperTable = {
	    {"PortraitExecX", Float(6.75f)},    {"PortraitExecY", Float(10.0f)},
	    {"LandscapeExecX", Float(10.0f)},   {"LandscapeExecY", Float(6.75f)},
	    {"PortraitLetterX", Float(8.0f)},   {"PortraitLetterY", Float(10.5f)},
	    {"LandscapeLetterX", Float(10.5f)}, {"LandscapeLetterY", Float(8.0f)},
	    {"PortraitLegalX", Float(8.0f)},    {"PortraitLegalY", Float(13.5f)},
	    {"LandscapeLegalX", Float(13.5f)},  {"LandscapeLegalY", Float(8.0f)},
	    {"PortraitA4X", Float(7.8f)},       {"PortraitA4Y", Float(11.2f)},
	    {"LandscapeA4X", Float(11.2f)},     {"LandscapeA4Y", Float(7.8f)},
	    {"CPI_10", Float(10.0f)},           {"CPI_12", Float(12.0f)},
	    {"CPI_15", Float(15.0f)},           {"CPI_17", Float(17.0f)},
	    {"CPI_20", Float(20.0f)},
	};

	for (int printer = 0; printer < 7; printer++) {
		for (const auto& [name, value] : chosen)
			SetStoreVariable(name, value);
		ASSERT_TRUE(RunSettingCommand(kPrinters[printer].code));
		StoreView after = ViewStore();
		for (const auto& [name, value] : chosen)
			EXPECT_EQ(value, after[name]) << name << " after " << kPrinters[printer].label;
		for (const auto& [name, value] : paperTable)
			EXPECT_EQ(value, after[name]) << name << " after " << kPrinters[printer].label;
	}
}

TEST_F(PrinterCommandTest, RefreshesOnlyThePitchAndQualityCodesThatAreSent)
{
	for (int printer = 0; printer < 7; printer++) {
		SetStoreVariable("PrintCPI", Q("EE 01"));
		SetStoreVariable("PrintQuality", Q("EE 02"));
		ASSERT_TRUE(RunSettingCommand(kPrinters[printer].code));
		EXPECT_EQ(ProfileValue("CPI10", printer), Quoted(PrintCPI)) << kPrinters[printer].label;
		EXPECT_EQ(ProfileValue("DraftMode", printer), Quoted(PrintQuality))
		    << kPrinters[printer].label;
	}
}

TEST_F(PrinterCommandTest, ResetsModeAndCountsButKeepsColumnsAndBottomMargin)
{
	for (int printer = 0; printer < 7; printer++) {
		ASSERT_TRUE(RunSettingCommand(MMgr));
		ASSERT_TRUE(RunSettingCommand(MM8p));
		ASSERT_TRUE(RunSettingCommand(MM4c));
		TopBlankLines = 0;
		TabSize = 8;
		BottomBlankLines = 5;

		ASSERT_TRUE(RunSettingCommand(kPrinters[printer].code));
		EXPECT_STREQ("Text", PrintMode) << kPrinters[printer].label;
		EXPECT_EQ(3, TopBlankLines) << kPrinters[printer].label;
		EXPECT_EQ(4, TabSize) << kPrinters[printer].label;
		EXPECT_EQ(1, PagesPerSheet) << kPrinters[printer].label;
		EXPECT_EQ(4, ColumnsPerPage) << kPrinters[printer].label;
		EXPECT_EQ(5, BottomBlankLines) << kPrinters[printer].label;
	}
}

TEST_F(PrinterCommandTest, ActiveCopiesDoNotFollowTheSourceAfterwards)
{
	ASSERT_TRUE(RunSettingCommand(MPhp));
	ASSERT_TRUE(RunSettingCommand(MMps));
	ASSERT_TRUE(RunSettingCommand(MPed));
	// The spacing code that is sent stays the HP one until spacing is chosen again.
	EXPECT_STREQ("1B 28 73 31 50", PrintSpacing);
	EXPECT_STREQ("Proportional Spacing", PrintSpace);
	ASSERT_TRUE(RunSettingCommand(MMps));
	EXPECT_STREQ("1B 70 01", PrintSpacing);
}

TEST_F(PrinterCommandTest, SameCommandTwiceEqualsOnce)
{
	for (const PrinterCommand& printer : kPrinters) {
		ASSERT_EQ(kSettingChanged, RunSettingCommand(printer.code));
		StoreView once = ViewStore();
		ASSERT_EQ(kSettingChanged, RunSettingCommand(printer.code));
		EXPECT_EQ("", DescribeDifferences(once, ViewStore())) << printer.label;
	}
}

TEST_F(PrinterCommandTest, HpAfterSeventeenCharactersPerInch)
{
	ASSERT_TRUE(RunSettingCommand(MM17));
	ASSERT_TRUE(RunSettingCommand(MPhp));
	EXPECT_STREQ("1B 28 73 31 30 48", PrintCPI);
	EXPECT_EQ(17.0f, CPI);
	EXPECT_STREQ("1B 28 73 31 51", PrintQuality);
	EXPECT_STREQ("Draft mode", PrintLQ);
}

} // namespace
