#include "MenuModel.h"

const char* const kNotSupportedAlert
	= "alert\tPrinter Alert\tThis function is not properly supported yet.\tOK";

const std::vector<ExpectedMenu>&
expected_menus()
{
	static const ExpectedItem kSeparator = { NULL, "", 0, 0 };
	static const std::vector<ExpectedMenu> kMenus = {
		{ "File", {
			{ "New", "MFnw", 0x4D466E77, 'N' },
			{ "Open", "MFop", 0x4D466F70, 'O' },
			{ "Close", "MFcl", 0x4D46636C, 'W' },
			{ "Save", "MFsv", 0x4D467376, 'S' },
			{ "Save as", "MFsa", 0x4D467361, 0 },
			kSeparator,
			{ "Page Setup", "MFps", 0x4D467073, 0 },
			{ "Print", "MFpr", 0x4D467072, 'P' },
			{ "Quit", "MFqu", 0x4D467175, 'Q' },
		} },
		{ "Printers", {
			{ "All Raw Data", "MPrw", 0x4D507277, 0 },
			{ "Pure ASCII", "MPas", 0x4D506173, 0 },
			{ "Generic ASCII", "MPgn", 0x4D50676E, 0 },
			kSeparator,
			{ "HP Deskjet Series", "MPhp", 0x4D506870, 0 },
			{ "Epson Stylus", "MPei", 0x4D506569, 0 },
			{ "Epson Dot Matrix", "MPed", 0x4D506564, 0 },
			{ "IBM Proprinter", "MPpp", 0x4D507070, 0 },
			kSeparator,
			{ "Parallel Port 1", "MPp1", 0x4D507031, 0 },
			{ "Parallel Port 2", "MPp2", 0x4D507032, 0 },
			{ "Serial Port 1", "MPs1", 0x4D507331, 0 },
			{ "Serial Port 2", "MPs2", 0x4D507332, 0 },
			{ "Printer File", "MPpf", 0x4D507066, 0 },
		} },
		{ "Print Modes", {
			{ "Text mode", "MMtx", 0x4D4D7478, 0 },
			{ "Graphic mode", "MMgr", 0x4D4D6772, 0 },
			kSeparator,
			{ "Normal Text (10 CPI)", "MMnm", 0x4D4D6E6D, 0 },
			{ "Compressed Text (12 CPI)", "MM12", 0x4D4D3132, 0 },
			{ "Compressed Text (15 CPI)", "MM15", 0x4D4D3135, 0 },
			{ "Compressed Text (17 CPI)", "MM17", 0x4D4D3137, 0 },
			{ "Compressed Text (20 CPI)", "MM20", 0x4D4D3230, 0 },
			kSeparator,
			{ "Draft Mode", "MMdr", 0x4D4D6472, 0 },
			{ "Near Letter Quality", "MMnl", 0x4D4D6E6C, 0 },
			{ "Letter Quality", "MMlq", 0x4D4D6C71, 0 },
			kSeparator,
			{ "Proportional Spacing", "MMps", 0x4D4D7073, 0 },
			{ "Fixed Spacing", "MMfx", 0x4D4D6678, 0 },
			kSeparator,
			{ "1 Page per Sheet", "MM1p", 0x4D4D3170, '1' },
			{ "2 Pages per Sheet", "MM2p", 0x4D4D3270, '2' },
			{ "4 Pages per Sheet", "MM4p", 0x4D4D3470, '4' },
			{ "8 Pages per Sheet", "MM8p", 0x4D4D3870, '8' },
			kSeparator,
			{ "1 Column per Page", "MM1c", 0x4D4D3163, 0 },
			{ "2 Columns per Page", "MM2c", 0x4D4D3263, 0 },
			{ "3 Columns per Page", "MM3c", 0x4D4D3363, 0 },
			{ "4 Columns per Page", "MM4c", 0x4D4D3463, 0 },
			kSeparator,
			{ "Long Lines Truncated", "MMtr", 0x4D4D7472, 0 },
			{ "Long Lines LineWrapped", "MMlw", 0x4D4D6C77, 0 },
			{ "Long Lines Word Wrapped", "MMww", 0x4D4D7777, 0 },
		} },
		{ "Command Printer", {
			{ "Reset Printer", "MCrs", 0x4D437273, 0 },
			{ "Print Test Page", "MCts", 0x4D437473, 0 },
			{ "Load a sheet", "MCld", 0x4D436C64, 0 },
			{ "Eject a sheet", "MCej", 0x4D43656A, 0 },
			kSeparator,
			{ "Select Exec paper", "MCs0", 0x4D437330, 0 },
			{ "Select Letter paper", "MCs1", 0x4D437331, 0 },
			{ "Select Legal paper", "MCs2", 0x4D437332, 0 },
			{ "Select A4 paper", "MCs3", 0x4D437333, 0 },
			kSeparator,
			{ "Select Portrait", "MCpt", 0x4D437074, 0 },
			{ "Select Landscape", "MCls", 0x4D436C73, 0 },
			kSeparator,
			{ "Printer's Linewrap on", "MClw", 0x4D436C77, 0 },
			{ "Printer's Linewrap off", "MCtr", 0x4D437472, 0 },
			kSeparator,
			{ "Unidirectional Printing", "MCud", 0x4D437564, 0 },
			{ "Bidirectional Printing", "MCbd", 0x4D436264, 0 },
		} },
	};
	return kMenus;
}

std::vector<ExpectedItem>
expected_items()
{
	std::vector<ExpectedItem> items;
	for (const ExpectedMenu& menu : expected_menus()) {
		for (const ExpectedItem& item : menu.items) {
			if (item.label != NULL)
				items.push_back(item);
		}
	}
	return items;
}

std::vector<std::string>
startup_view_lines()
{
	return {
		"Printer Name: <Epson Dot Matrix Compatible.>",
		"Printer Mode: <Text>",
		"Filtering(Y/N): <All>",
		"Top margin: 3",
		"Bottom margin: 3",
		"Tab Size(chars): 4",
		"CPI: 10.000000",
		"Pages per Sheet: 1",
		"Columns per Page: 1",
		"Long Line Mode: <WordWrap>",
		"Codes to Reset Printer: <1B 40>",
		"Codes to Load_Paper: <>",
		"Codes to Eject_Paper: <0C>",
		"Paper tray to use: <Letter>",
		"Print Direction(s): <Bidirectional Printing>",
		"Printer's Linewrapping: <Printer LineWrapping OFF>",
		"Print Data Path: </dev/parallel/parallel1>",
		"Paper Orientation: <Portrait>",
		"Proportional Spacing: <Fixed Spacing>",
		"Print Quality: <Draft mode>",
	};
}

std::vector<std::string>
text_events(const std::vector<std::string>& lines)
{
	std::vector<std::string> events;
	int y = 20;
	for (const std::string& line : lines) {
		events.push_back("text\t20\t" + std::to_string(y) + "\t" + line);
		y += 20;
	}
	return events;
}
