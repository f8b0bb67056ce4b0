#include "SettingsStore.h"

#include <cstring>

std::mutex gStoreLock;

const char* PrinterPath = "/dev/parallel/parallel1";
const char* PrintName = "Epson Dot Matrix Compatible.";
const char* PrintMode = "Text";
const char* FilterCodes = "All";
const char* LineMode = "WordWrap";

// The store starts as the "Epson Dot Matrix Compatible." profile.
const char* ResetPrinter = "1B 40";
const char* SelfTest = "";
const char* LoadPaper = "";
const char* EjectPaper = "0C";
const char* CR_LF_FF = "";
const char* NewLine = "0A 0D";
const char* Alarm = "07 07 07";
const char* CPI10 = "12 1B 50";
const char* CPI12 = "12 1B 4D";
const char* CPI15 = "12 1B 67";
const char* CPI17 = "0F 1B 50";
const char* CPI20 = "0F 1B 4D";
const char* DraftMode = "1B 78 00";
const char* NLQ_Mode = "1B 78 01";
const char* LQ_Mode = "1B 78 02";
const char* PS_ModeOn = "1B 70 01";
const char* PS_ModeOff = "1B 70 00";
const char* SelectExec = "";
const char* SelectLetter = "";
const char* SelectLegal = "";
const char* SelectA4 = "";
const char* PortraitPage = "";
const char* LandscapePage = "";
const char* EnableEOLWrap = "";
const char* DisableEOLWrap = "";
const char* Unidirectional = "1B 55 01";
const char* Bidirectional = "1B 55 00";
const char* UnderlineOn = "1B 2D 01";
const char* UnderlineOff = "1B 2D 00";
const char* BoldOn = "1B 47";
const char* BoldOff = "1B 48";
const char* ItalicsOn = "1B 34";
const char* ItalicsOff = "1B 35";
const char* Superscript = "1B 53 00";
const char* Subscript = "1B 53 01";
const char* NormalScript = "1B 54";

int32_t TopBlankLines = 3;
int32_t BottomBlankLines = 3;
int32_t TabSize = 4;
int32_t PagesPerSheet = 1;
int32_t ColumnsPerPage = 1;

float CPI = 0.0f;
float LPI = 0.0f;
float CPI_10 = 10.0f;
float CPI_12 = 12.0f;
float CPI_15 = 15.0f;
float CPI_17 = 17.0f;
float CPI_20 = 20.0f;

float PortraitExecX = 6.75f, PortraitExecY = 10.0f, LandscapeExecX = 10.0f, LandscapeExecY = 6.75f;
float PortraitLetterX = 8.0f, PortraitLetterY = 10.5f, LandscapeLetterX = 10.5f,
	  LandscapeLetterY = 8.0f;
float PortraitLegalX = 8.0f, PortraitLegalY = 13.5f, LandscapeLegalX = 13.5f,
	  LandscapeLegalY = 8.0f;
float PortraitA4X = 7.8f, PortraitA4Y = 11.2f, LandscapeA4X = 11.2f, LandscapeA4Y = 7.8f;

float PortraitX = 0.0f, PortraitY = 0.0f, LandscapeX = 0.0f, LandscapeY = 0.0f;

char PrintCPI[kSettingTextSize];
char PrintQuality[kSettingTextSize];
char PrintSpacing[kSettingTextSize];
char PaperTray[kSettingTextSize];
char PrintOrientation[kSettingTextSize];
char PrintWrap[kSettingTextSize];
char PrintDirection[kSettingTextSize];

char PrintLQ[kSettingTextSize];
char PrintSpace[kSettingTextSize];
char PaperSource[kSettingTextSize];
char PrintOrient[kSettingTextSize];
char PrintWRAP[kSettingTextSize];
char PrintDir[kSettingTextSize];

void
CopySetting(char (&destination)[kSettingTextSize], const char* text)
{
	size_t length = strnlen(text, kSettingTextSize - 1);
	memcpy(destination, text, length);
	destination[length] = '\0';
}

void
ApplyStartUpSettings()
{
	std::lock_guard<std::mutex> lock(gStoreLock);

	LPI = 6.0f;
	CopySetting(PrintCPI, CPI10);
	CPI = CPI_10;
	CopySetting(PrintQuality, DraftMode);
	CopySetting(PrintLQ, "Draft mode");
	CopySetting(PrintSpacing, PS_ModeOff);
	CopySetting(PrintSpace, "Fixed Spacing");
	CopySetting(PrintWrap, DisableEOLWrap);
	CopySetting(PrintWRAP, "Printer LineWrapping OFF");
	CopySetting(PrintDirection, Bidirectional);
	CopySetting(PrintDir, "Bidirectional Printing");
	CopySetting(PaperTray, SelectLetter);
	CopySetting(PaperSource, "Letter");
	CopySetting(PrintOrientation, PortraitPage);
	CopySetting(PrintOrient, "Portrait");
	PortraitX = PortraitLetterX;
	PortraitY = PortraitLetterY;
	LandscapeX = LandscapeLetterX;
	LandscapeY = LandscapeLetterY;
}
