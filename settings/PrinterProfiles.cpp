#include "PrinterProfiles.h"

#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <mutex>

#include "CharacterSet.h"

#include "CommandCodes.h"
#include "SettingsStore.h"

// clang-format off
const PrinterProfile kPrinterProfiles[7] = {
	{ MPrw, "RAW ASCII", "Text", "NO", "WordWrap",
		"", "", "", "0C", "", "0A 0D", "",
		"", "", "", "",
		"", "", "", "",
		"", "", "", "", "",
		"", "", "",
		"", "", "", "",
		"", "", "", "", "", "",
		"", "", "",
		3, 4, 1 },
	{ MPas, "Pure ASCII", "Text", "YES", "WordWrap",
		"", "", "", "0C", "", "0A 0D", "",
		"", "", "", "",
		"", "", "", "",
		"", "", "", "", "",
		"", "", "",
		"", "", "", "",
		"", "", "", "", "", "",
		"", "", "",
		3, 4, 1 },
	{ MPgn, "Generic ASCII.", "Text", "ALL", "WordWrap",
		"", "", "", "0C", "", "0A 0D", "",
		"", "", "", "",
		"", "", "", "",
		"", "", "", "", "",
		"", "", "",
		"", "", "", "",
		"", "", "", "", "", "",
		"", "", "",
		3, 4, 1 },
	{ MPhp, "HP DeskJet 500C.", "Text", "All", "WordWrap",
		"1B 45", "1B 7A", "1B 26 6C 31 48", "1B 26 6C 30 48", "1B 26 6B 30 47", "0D 0A", "07",
		"1B 26 6C 30 4F", "1B 26 6C 31 4F", "1B 26 73 30 43", "1B 26 73 31 43",
		"1B 26 6C 31 41", "1B 26 6C 32 41", "1B 26 6C 33 41", "1B 26 6C 32 36 41",
		"1B 28 73 31 30 48", "1B 28 73 31 32 56", "", "", "",
		"1B 28 73 31 51", "1B 28 73 32 51", "1B 28 73 32 51",
		"1B 28 73 31 50", "1B 28 73 30 50", "1B 26 6B 30 57", "1B 26 6B 31 57",
		"1B 26 64 31 44", "1B 26 64 40", "1B 28 73 33 42", "1B 28 73 30 42",
		"1B 28 73 31 53", "1B 28 73 30 53",
		"1B 28 73 31 55", "1B 28 73 2D 31 55", "1B 28 73 30 55",
		3, 4, 1 },
	{ MPei, "Epson Stylus ESC/P2", "Text", "ALL", "WordWrap",
		"", "", "", "0C", "", "0A 0D", "",
		"", "", "", "",
		"", "", "", "",
		"", "", "", "", "",
		"", "", "",
		"", "", "", "",
		"", "", "", "", "", "",
		"", "", "",
		3, 4, 1 },
	{ MPed, "Epson Dot Matrix Compatible.", "Text", "All", "WordWrap",
		"1B 40", "", "", "0C", "", "0A 0D", "07 07 07",
		"", "", "", "",
		"", "", "", "",
		"12 1B 50", "12 1B 4D", "12 1B 67", "0F 1B 50", "0F 1B 4D",
		"1B 78 00", "1B 78 01", "1B 78 02",
		"1B 70 01", "1B 70 00", "1B 55 01", "1B 55 00",
		"1B 2D 01", "1B 2D 00", "1B 47", "1B 48", "1B 34", "1B 35",
		"1B 53 00", "1B 53 01", "1B 54",
		3, 4, 1 },
	{ MPpp, "IBM Proprinter III", "Text", "All", "WordWrap",
		"1B 5B 4B 04 00 FF 24 00 00", "", "", "0C", "", "0A 0D", "07 07 07",
		"", "", "", "",
		"", "", "", "",
		"12", "1B 3A", "", "1B 0F", "",
		"1B 49 00", "1B 6B 02", "1B 6B 02",
		"1B 50 01", "1B 50 00", "1B 55 01", "1B 55 00",
		"1B 2D 01", "1B 2D 00", "1B 47", "1B 48", "", "",
		"1B 53 00", "1B 53 01", "1B 54",
		3, 4, 1 },
};

const PrinterPortPath kPrinterPorts[5] = {
	{ MPp1, "/dev/parallel/parallel1" },
	{ MPp2, "/dev/parallel/parallel2" },
	{ MPs1, "/dev/serial/serial1" },
	{ MPs2, "/dev/serial/serial2" },
	{ MPpf, "PrintFile" },
};
// clang-format on

const PrinterProfile*
FindPrinterProfile(uint32_t command)
{
	for (const PrinterProfile& profile : kPrinterProfiles) {
		if (profile.command == command)
			return &profile;
	}
	return nullptr;
}

const PrinterPortPath*
FindPrinterPort(uint32_t command)
{
	for (const PrinterPortPath& port : kPrinterPorts) {
		if (port.command == command)
			return &port;
	}
	return nullptr;
}

void
InstallPrinterProfile(const PrinterProfile& profile)
{
	std::lock_guard<std::mutex> lock(gStoreLock);

	PrintName = profile.printName;
	PrintMode = profile.printMode;
	FilterCodes = profile.filterCodes;
	LineMode = profile.lineMode;

	ResetPrinter = profile.resetPrinter;
	SelfTest = profile.selfTest;
	LoadPaper = profile.loadPaper;
	EjectPaper = profile.ejectPaper;
	CR_LF_FF = profile.crLfFf;
	NewLine = profile.newLine;
	Alarm = profile.alarm;
	PortraitPage = profile.portraitPage;
	LandscapePage = profile.landscapePage;
	EnableEOLWrap = profile.enableEOLWrap;
	DisableEOLWrap = profile.disableEOLWrap;
	SelectExec = profile.selectExec;
	SelectLetter = profile.selectLetter;
	SelectLegal = profile.selectLegal;
	SelectA4 = profile.selectA4;
	CPI10 = profile.cpi10;
	CPI12 = profile.cpi12;
	CPI15 = profile.cpi15;
	CPI17 = profile.cpi17;
	CPI20 = profile.cpi20;
	CopySetting(PrintCPI, CPI10);

	DraftMode = profile.draftMode;
	NLQ_Mode = profile.nlqMode;
	LQ_Mode = profile.lqMode;
	CopySetting(PrintQuality, DraftMode);

	PS_ModeOn = profile.psModeOn;
	PS_ModeOff = profile.psModeOff;
	Unidirectional = profile.unidirectional;
	Bidirectional = profile.bidirectional;
	UnderlineOn = profile.underlineOn;
	UnderlineOff = profile.underlineOff;
	BoldOn = profile.boldOn;
	BoldOff = profile.boldOff;
	ItalicsOn = profile.italicsOn;
	ItalicsOff = profile.italicsOff;
	Superscript = profile.superscript;
	Subscript = profile.subscript;
	NormalScript = profile.normalScript;

	TopBlankLines = profile.topBlankLines;
	TabSize = profile.tabSize;
	PagesPerSheet = profile.pagesPerSheet;
}

// Each byte as a code string pair: "1B".
static void
AppendCode(std::string& code, std::initializer_list<int> bytes)
{
	for (int byte : bytes) {
		char pair[4];
		snprintf(pair, sizeof(pair), "%02X", byte & 0xFF);
		if (!code.empty())
			code += ' ';
		code += pair;
	}
}

std::string
CharacterSetCode(const char* printName, const CharacterSet& set)
{
	uint32_t model = 0;
	for (const PrinterProfile& profile : kPrinterProfiles) {
		if (strcmp(profile.printName, printName) == 0)
			model = profile.command;
	}
	std::string code;
	switch (model) {
		case MPed:
		case MPei:
			// Assign the table to slot 1 and select it; the PC code pages
			// have characters in 0x80 to 0x9F, which ESC 6 makes printable.
			AppendCode(code, { 0x1B, '(', 't', 3, 0, 1, set.escpTable[0], set.escpTable[1] });
			AppendCode(code, { 0x1B, 't', 1 });
			if (!set.isoControls)
				AppendCode(code, { 0x1B, '6' });
			break;
		case MPpp:
			AppendCode(code, { 0x1B, '[', 'T', 4, 0, 0, 0, set.codePage >> 8, set.codePage & 0xFF });
			break;
		case MPhp:
			AppendCode(code, { 0x1B, '(' });
			for (const char* c = set.pclSymbolSet; *c != '\0'; c++)
				AppendCode(code, { *c });
			break;
	}
	return code;
}
