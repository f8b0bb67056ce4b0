// The setting and port commands: what each code changes in the store, which
// ones report the function not supported yet (with the change made and the
// store free again by then), and the codes that are not theirs.
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "CommandCodes.h"
#include "SettingCommands.h"
#include "SettingsStore.h"
#include "StoreState.h"

namespace {

typedef std::vector<std::pair<std::string, std::string>> Changes;

std::string Q(const char* text)
{
	return Quoted(text);
}

// A distinct code string in every source a setting command copies from, so
// the test sees which source was copied.
const Changes kSources = {
    {"CPI10", Q("A1 10")},          {"CPI12", Q("A1 12")},         {"CPI15", Q("A1 15")},
    {"CPI17", Q("A1 17")},          {"CPI20", Q("A1 20")},         {"DraftMode", Q("B1 00")},
    {"NLQ_Mode", Q("B1 01")},       {"LQ_Mode", Q("B1 02")},       {"PS_ModeOn", Q("C1 01")},
    {"PS_ModeOff", Q("C1 00")},     {"SelectExec", Q("D1 00")},    {"SelectLetter", Q("D1 01")},
    {"SelectLegal", Q("D1 02")},    {"SelectA4", Q("D1 03")},      {"PortraitPage", Q("E1 00")},
    {"LandscapePage", Q("E1 01")},  {"EnableEOLWrap", Q("F1 01")}, {"DisableEOLWrap", Q("F1 00")},
    {"Unidirectional", Q("91 01")}, {"Bidirectional", Q("91 00")},
};

// Values no command writes, in everything a setting command may write, so a
// write that is missing cannot pass because the value was already there.
const Changes kSpoiled = {
    {"PrintMode", Q("Spoiled")},   {"LineMode", Q("Spoiled")},
    {"PagesPerSheet", "-1"},       {"ColumnsPerPage", "-1"},
    {"CPI", Float(-1.0f)},         {"PortraitX", Float(-1.0f)},
    {"PortraitY", Float(-2.0f)},   {"LandscapeX", Float(-3.0f)},
    {"LandscapeY", Float(-4.0f)},  {"PrintCPI", Q("EE 01")},
    {"PrintQuality", Q("EE 02")},  {"PrintSpacing", Q("EE 03")},
    {"PaperTray", Q("EE 04")},     {"PrintOrientation", Q("EE 05")},
    {"PrintWrap", Q("EE 06")},     {"PrintDirection", Q("EE 07")},
    {"PrintLQ", Q("spoiled")},     {"PrintSpace", Q("spoiled")},
    {"PaperSource", Q("spoiled")}, {"PrintOrient", Q("spoiled")},
    {"PrintWRAP", Q("spoiled")},   {"PrintDir", Q("spoiled")},
};

void Apply(const Changes& changes)
{
	for (const auto& [name, value] : changes)
		SetStoreVariable(name, value);
}

StoreView With(StoreView view, const Changes& changes)
{
	for (const auto& [name, value] : changes)
		view[name] = value;
	return view;
}

struct SettingCommand
{
	uint32_t code;
	const char* label;
	bool alert;
	Changes changes;
};

const std::vector<SettingCommand>& SettingCommands()
{
	static const std::vector<SettingCommand> commands = {
	    {0x4D4D7478, "Text mode", false, {{"PrintMode", Q("Text")}}},
	    {0x4D4D6772, "Graphic mode", true, {{"PrintMode", Q("Graphic")}}},
	    {0x4D4D6E6D,
	     "Normal Text (10 CPI)",
	     false,
	     {{"PrintCPI", Q("A1 10")}, {"CPI", Float(10.0f)}}},
	    {0x4D4D3132,
	     "Compressed Text (12 CPI)",
	     false,
	     {{"PrintCPI", Q("A1 12")}, {"CPI", Float(12.0f)}}},
	    {0x4D4D3135,
	     "Compressed Text (15 CPI)",
	     false,
	     {{"PrintCPI", Q("A1 15")}, {"CPI", Float(15.0f)}}},
	    {0x4D4D3137,
	     "Compressed Text (17 CPI)",
	     false,
	     {{"PrintCPI", Q("A1 17")}, {"CPI", Float(17.0f)}}},
	    {0x4D4D3230,
	     "Compressed Text (20 CPI)",
	     false,
	     {{"PrintCPI", Q("A1 20")}, {"CPI", Float(20.0f)}}},
	    {0x4D4D6472,
	     "Draft Mode",
	     false,
	     {{"PrintQuality", Q("B1 00")}, {"PrintLQ", Q("Draft mode")}}},
	    {0x4D4D6E6C,
	     "Near Letter Quality",
	     false,
	     {{"PrintQuality", Q("B1 01")}, {"PrintLQ", Q("Near Letter Quality mode")}}},
	    {0x4D4D6C71,
	     "Letter Quality",
	     false,
	     {{"PrintQuality", Q("B1 02")}, {"PrintLQ", Q("Letter Quality mode")}}},
	    {0x4D4D7073,
	     "Proportional Spacing",
	     false,
	     {{"PrintSpacing", Q("C1 01")}, {"PrintSpace", Q("Proportional Spacing")}}},
	    {0x4D4D6678,
	     "Fixed Spacing",
	     false,
	     {{"PrintSpacing", Q("C1 00")}, {"PrintSpace", Q("Fixed Spacing")}}},
	    {0x4D4D3170, "1 Page per Sheet", true, {{"PagesPerSheet", "1"}}},
	    {0x4D4D3270, "2 Pages per Sheet", true, {{"PagesPerSheet", "2"}}},
	    {0x4D4D3470, "4 Pages per Sheet", true, {{"PagesPerSheet", "4"}}},
	    {0x4D4D3870, "8 Pages per Sheet", true, {{"PagesPerSheet", "8"}}},
	    {0x4D4D3163, "1 Column per Page", true, {{"ColumnsPerPage", "1"}}},
	    {0x4D4D3263, "2 Columns per Page", true, {{"ColumnsPerPage", "2"}}},
	    {0x4D4D3363, "3 Columns per Page", true, {{"ColumnsPerPage", "3"}}},
	    {0x4D4D3463, "4 Columns per Page", true, {{"ColumnsPerPage", "4"}}},
	    {0x4D4D7472, "Long Lines Truncated", true, {{"LineMode", Q("Truncated")}}},
	    {0x4D4D6C77, "Long Lines LineWrapped", true, {{"LineMode", Q("LineWrap")}}},
	    {0x4D4D7777, "Long Lines Word Wrapped", true, {{"LineMode", Q("WordWarp")}}},
	    {0x4D437330,
	     "Select Exec paper",
	     false,
	     {{"PaperTray", Q("D1 00")},
	      {"PaperSource", Q("Executive")},
	      {"PortraitX", Float(6.75f)},
	      {"PortraitY", Float(10.0f)},
	      {"LandscapeX", Float(10.0f)},
	      {"LandscapeY", Float(6.75f)}}},
	    {0x4D437331,
	     "Select Letter paper",
	     false,
	     {{"PaperTray", Q("D1 01")},
	      {"PaperSource", Q("Letter")},
	      {"PortraitX", Float(8.0f)},
	      {"PortraitY", Float(10.5f)},
	      {"LandscapeX", Float(10.5f)},
	      {"LandscapeY", Float(8.0f)}}},
	    {0x4D437332,
	     "Select Legal paper",
	     false,
	     {{"PaperTray", Q("D1 02")},
	      {"PaperSource", Q("Legal")},
	      {"PortraitX", Float(8.0f)},
	      {"PortraitY", Float(13.5f)},
	      {"LandscapeX", Float(13.5f)},
	      {"LandscapeY", Float(8.0f)}}},
	    {0x4D437333,
	     "Select A4 paper",
	     false,
	     {{"PaperTray", Q("D1 03")},
	      {"PaperSource", Q("A4")},
	      {"PortraitX", Float(7.8f)},
	      {"PortraitY", Float(11.2f)},
	      {"LandscapeX", Float(11.2f)},
	      {"LandscapeY", Float(7.8f)}}},
	    {0x4D437074,
	     "Select Portrait",
	     false,
	     {{"PrintOrientation", Q("E1 00")}, {"PrintOrient", Q("Portrait")}}},
	    {0x4D436C73,
	     "Select Landscape",
	     false,
	     {{"PrintOrientation", Q("E1 01")}, {"PrintOrient", Q("Landscape")}}},
	    {0x4D436C77,
	     "Printer's Linewrap on",
	     false,
	     {{"PrintWrap", Q("F1 01")}, {"PrintWRAP", Q("Printer LineWrapping ON")}}},
	    {0x4D437472,
	     "Printer's Linewrap off",
	     false,
	     {{"PrintWrap", Q("F1 00")}, {"PrintWRAP", Q("Printer LineWrapping OFF")}}},
	    {0x4D437564,
	     "Unidirectional Printing",
	     false,
	     {{"PrintDirection", Q("91 01")}, {"PrintDir", Q("Unidirectional Printing")}}},
	    {0x4D436264,
	     "Bidirectional Printing",
	     false,
	     {{"PrintDirection", Q("91 00")}, {"PrintDir", Q("Bidirectional Printing")}}},
	};
	return commands;
}

struct PortCommand
{
	uint32_t code;
	const char* label;
	const char* path;
};

const PortCommand kPortCommands[5] = {
    {0x4D507031, "Parallel Port 1", "/dev/parallel/parallel1"},
    {0x4D507032, "Parallel Port 2", "/dev/parallel/parallel2"},
    {0x4D507331, "Serial Port 1", "/dev/serial/serial1"},
    {0x4D507332, "Serial Port 2", "/dev/serial/serial2"},
    {0x4D507066, "Printer File", "PrintFile"},
};

// "Reset Printer", "Print Test Page", "Load a sheet", "Eject a sheet" and the
// File menu's New, Open, Close, Save, Save as and Page Setup.
const uint32_t kAlertOnly[10] = {
    0x4D437273, 0x4D437473, 0x4D436C64, 0x4D43656A, 0x4D466E77,
    0x4D466F70, 0x4D46636C, 0x4D467376, 0x4D467361, 0x4D467073,
};

class SettingCommandTest : public SettingsTest
{
};

TEST_F(SettingCommandTest, CodesHaveTheirMenuValues)
{
	const uint32_t named[] = {MMtx, MMgr, MMnm, MM12, MM15, MM17, MM20, MMdr, MMnl, MMlq, MMps,
	                          MMfx, MM1p, MM2p, MM4p, MM8p, MM1c, MM2c, MM3c, MM4c, MMtr, MMlw,
	                          MMww, MCs0, MCs1, MCs2, MCs3, MCpt, MCls, MClw, MCtr, MCud, MCbd};
	ASSERT_EQ(std::size(named), SettingCommands().size());
	for (size_t i = 0; i < std::size(named); i++)
		EXPECT_EQ(SettingCommands()[i].code, named[i]) << SettingCommands()[i].label;
	const uint32_t alertOnly[] = {MCrs, MCts, MCld, MCej, MFnw, MFop, MFcl, MFsv, MFsa, MFps};
	for (size_t i = 0; i < std::size(alertOnly); i++)
		EXPECT_EQ(kAlertOnly[i], alertOnly[i]) << i;
	EXPECT_EQ(MFpr, 0x4D467072u);
	EXPECT_EQ(MFqu, 0x4D467175u);
}

// Each command from the same prepared store: exactly its own changes, and the
// not-supported report where the function is not supported yet, with the
// change already made and the store's lock free for the caller's alert; a
// repetition changes nothing more and reports the same again.
TEST_F(SettingCommandTest, EachCommandMakesExactlyItsChange)
{
	for (const SettingCommand& command : SettingCommands()) {
		SCOPED_TRACE(command.label);
		RestoreStore(StoreAtLoad());
		ApplyStartUpSettings();
		Apply(kSources);
		Apply(kSpoiled);
		StoreView expected = With(ViewStore(), command.changes);
		setting_outcome outcome = command.alert ? kSettingChangedNotSupported : kSettingChanged;

		EXPECT_EQ(outcome, RunSettingCommand(command.code));
		EXPECT_EQ("", DescribeDifferences(expected, ViewStore()));
		bool free = gStoreLock.try_lock();
		if (free)
			gStoreLock.unlock();
		EXPECT_TRUE(free) << "the store stays locked for the caller's alert";

		EXPECT_EQ(outcome, RunSettingCommand(command.code)) << "after the repetition";
		EXPECT_EQ("", DescribeDifferences(expected, ViewStore())) << "after the repetition";
	}
}

TEST_F(SettingCommandTest, PortCommandsSetOnlyThePath)
{
	for (const PortCommand& port : kPortCommands) {
		SCOPED_TRACE(port.label);
		Apply(kSpoiled);
		SetStoreVariable("PrinterPath", Q("elsewhere"));
		StoreView expected = With(ViewStore(), {{"PrinterPath", Q(port.path)}});

		EXPECT_EQ(kSettingChanged, RunSettingCommand(port.code));
		EXPECT_EQ("", DescribeDifferences(expected, ViewStore()));
		EXPECT_EQ(kSettingChanged, RunSettingCommand(port.code));
		EXPECT_EQ("", DescribeDifferences(expected, ViewStore()));
	}
}

TEST_F(SettingCommandTest, CodesThatAreNotSettingCommandsChangeNothing)
{
	std::vector<uint32_t> others(std::begin(kAlertOnly), std::end(kAlertOnly));
	others.insert(others.end(), {
	                                0x4D467072, // "Print"
	                                0x4D467175, // "Quit"
	                                0x5F515251, // the platform's quit request
	                                0,
	                                0xFFFFFFFF,
	                                'MMxx',
	                                'MPzz',
	                                'MCzz',
	                                'MFzz',
	                                'mmtx',
	                                'MM10',
	                                'MM16',
	                                'MM3p',
	                                'MPp3',
	                                'MPs3',
	                            });

	Apply(kSources);
	Apply(kSpoiled);
	StoreView before = ViewStore();
	for (uint32_t code : others) {
		// The alert-only commands among them are shown by the window.
		EXPECT_EQ(kNotASettingCommand, RunSettingCommand(code)) << std::hex << code;
		EXPECT_EQ("", DescribeDifferences(before, ViewStore())) << std::hex << code;
	}
}

TEST_F(SettingCommandTest, AlertOnlyCommandsAreRecognised)
{
	for (uint32_t code : kAlertOnly)
		EXPECT_TRUE(IsAlertOnlyCommand(code)) << std::hex << code;

	for (const SettingCommand& command : SettingCommands())
		EXPECT_FALSE(IsAlertOnlyCommand(command.code)) << command.label;
	for (const PortCommand& port : kPortCommands)
		EXPECT_FALSE(IsAlertOnlyCommand(port.code)) << port.label;
	for (uint32_t printer : {0x4D507277u, 0x4D506173u, 0x4D50676Eu, 0x4D506870u, 0x4D506569u,
	                         0x4D506564u, 0x4D507070u})
		EXPECT_FALSE(IsAlertOnlyCommand(printer)) << std::hex << printer;
	for (uint32_t other : {0x4D467072u, 0x4D467175u, 0x5F515251u, 0u, 0x4D43727Au})
		EXPECT_FALSE(IsAlertOnlyCommand(other)) << std::hex << other;

	// Asking changes nothing.
	StoreView before = ViewStore();
	for (uint32_t code : kAlertOnly)
		IsAlertOnlyCommand(code);
	EXPECT_EQ("", DescribeDifferences(before, ViewStore()));
}

TEST_F(SettingCommandTest, PaperAndOrientationAreIndependent)
{
	ASSERT_TRUE(RunSettingCommand(MCls));
	ASSERT_TRUE(RunSettingCommand(MCs3));
	EXPECT_STREQ("Landscape", PrintOrient);
	EXPECT_STREQ("A4", PaperSource);
	EXPECT_EQ(7.8f, LandscapeY);

	ASSERT_TRUE(RunSettingCommand(MCpt));
	EXPECT_EQ(7.8f, PortraitX);
	EXPECT_EQ(11.2f, PortraitY);
	EXPECT_EQ(11.2f, LandscapeX);
	EXPECT_EQ(7.8f, LandscapeY);
}

TEST_F(SettingCommandTest, GraphicModeStaysUntilTextModeIsChosen)
{
	ASSERT_EQ(kSettingChangedNotSupported, RunSettingCommand(MMgr));
	EXPECT_STREQ("Graphic", PrintMode);
	ASSERT_EQ(kSettingChanged, RunSettingCommand(MMtx));
	EXPECT_STREQ("Text", PrintMode);
}

TEST_F(SettingCommandTest, WordWrapCommandWritesItsOwnSpelling)
{
	EXPECT_STREQ("WordWrap", LineMode);
	ASSERT_TRUE(RunSettingCommand(MMww));
	EXPECT_STREQ("WordWarp", LineMode);
	ASSERT_TRUE(RunSettingCommand(MPed));
	EXPECT_STREQ("WordWrap", LineMode);
}

} // namespace
