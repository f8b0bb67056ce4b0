// The printer models the system knows and the ports it can print to.
#pragma once

#include <cstdint>
#include <string>

struct CharacterSet;

struct PrinterProfile {
	uint32_t command;
	const char* printName;
	const char* printMode;
	const char* filterCodes;
	const char* lineMode;
	const char* resetPrinter;
	const char* selfTest;
	const char* loadPaper;
	const char* ejectPaper;
	const char* crLfFf;
	const char* newLine;
	const char* alarm;
	const char* portraitPage;
	const char* landscapePage;
	const char* enableEOLWrap;
	const char* disableEOLWrap;
	const char* selectExec;
	const char* selectLetter;
	const char* selectLegal;
	const char* selectA4;
	const char* cpi10;
	const char* cpi12;
	const char* cpi15;
	const char* cpi17;
	const char* cpi20;
	const char* draftMode;
	const char* nlqMode;
	const char* lqMode;
	const char* psModeOn;
	const char* psModeOff;
	const char* unidirectional;
	const char* bidirectional;
	const char* underlineOn;
	const char* underlineOff;
	const char* boldOn;
	const char* boldOff;
	const char* italicsOn;
	const char* italicsOff;
	const char* superscript;
	const char* subscript;
	const char* normalScript;
	int32_t topBlankLines;
	int32_t tabSize;
	int32_t pagesPerSheet;
};

struct PrinterPortPath {
	uint32_t command;
	const char* path;
};

extern const PrinterProfile kPrinterProfiles[7];
extern const PrinterPortPath kPrinterPorts[5];

// The profile or port a printer or port command selects, or NULL.
const PrinterProfile* FindPrinterProfile(uint32_t command);
const PrinterPortPath* FindPrinterPort(uint32_t command);

// Installs a profile: every code-string source, the texts and counts, and fresh
// pitch and quality codes. The other active copies and all labels stay.
void InstallPrinterProfile(const PrinterProfile& profile);

// The code string that has the named printer model read its upper half as the
// given character set: the ESC/P table, the Proprinter code page or the PCL
// symbol set. Empty for the plain ASCII models, whose printer keeps its own
// setting.
std::string CharacterSetCode(const char* printName, const CharacterSet& set);
