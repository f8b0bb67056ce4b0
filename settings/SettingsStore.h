// The printer settings: one set of process-wide variables, read and written
// directly by name. Text settings point at constant texts that live for the
// whole process; active copies and display labels are fixed 99-byte arrays.
#pragma once

#include <cstdint>
#include <mutex>

// Guards every variable below between the window's thread, where the commands
// change them, and the print job, which copies what it needs under this lock
// once per file. The settings view takes it too when it draws: the window's
// thread is the commands' writer, but start-up and the tests write as well.
extern std::mutex gStoreLock;

// Text settings.
extern const char* PrinterPath;
extern const char* PrintName;
extern const char* PrintMode;
extern const char* FilterCodes;
extern const char* LineMode;

// Printer code strings.
extern const char* ResetPrinter;
extern const char* SelfTest;
extern const char* LoadPaper;
extern const char* EjectPaper;
extern const char* CR_LF_FF;
extern const char* NewLine;
extern const char* Alarm;
extern const char* CPI10;
extern const char* CPI12;
extern const char* CPI15;
extern const char* CPI17;
extern const char* CPI20;
extern const char* DraftMode;
extern const char* NLQ_Mode;
extern const char* LQ_Mode;
extern const char* PS_ModeOn;
extern const char* PS_ModeOff;
extern const char* SelectExec;
extern const char* SelectLetter;
extern const char* SelectLegal;
extern const char* SelectA4;
extern const char* PortraitPage;
extern const char* LandscapePage;
extern const char* EnableEOLWrap;
extern const char* DisableEOLWrap;
extern const char* Unidirectional;
extern const char* Bidirectional;
extern const char* UnderlineOn;
extern const char* UnderlineOff;
extern const char* BoldOn;
extern const char* BoldOff;
extern const char* ItalicsOn;
extern const char* ItalicsOff;
extern const char* Superscript;
extern const char* Subscript;
extern const char* NormalScript;

// Counts.
extern int32_t TopBlankLines;
extern int32_t BottomBlankLines;
extern int32_t TabSize;
extern int32_t PagesPerSheet;
extern int32_t ColumnsPerPage;

// Pitch and line density.
extern float CPI;
extern float LPI;
extern float CPI_10;
extern float CPI_12;
extern float CPI_15;
extern float CPI_17;
extern float CPI_20;

// The paper table, in inches.
extern float PortraitExecX, PortraitExecY, LandscapeExecX, LandscapeExecY;
extern float PortraitLetterX, PortraitLetterY, LandscapeLetterX, LandscapeLetterY;
extern float PortraitLegalX, PortraitLegalY, LandscapeLegalX, LandscapeLegalY;
extern float PortraitA4X, PortraitA4Y, LandscapeA4X, LandscapeA4Y;

// The selected paper's dimensions.
extern float PortraitX, PortraitY, LandscapeX, LandscapeY;

// Active copies: the code strings actually sent in every preamble.
const int kSettingTextSize = 99;
extern char PrintCPI[kSettingTextSize];
extern char PrintQuality[kSettingTextSize];
extern char PrintSpacing[kSettingTextSize];
extern char PaperTray[kSettingTextSize];
extern char PrintOrientation[kSettingTextSize];
extern char PrintWrap[kSettingTextSize];
extern char PrintDirection[kSettingTextSize];

// Display labels: shown, never sent.
extern char PrintLQ[kSettingTextSize];
extern char PrintSpace[kSettingTextSize];
extern char PaperSource[kSettingTextSize];
extern char PrintOrient[kSettingTextSize];
extern char PrintWRAP[kSettingTextSize];
extern char PrintDir[kSettingTextSize];

// Copies a text into an active copy or a display label. Texts longer than 98
// characters are cut so the terminator always fits.
void CopySetting(char (&destination)[kSettingTextSize], const char* text);

// The start-up settings, applied once before the first window exists.
void ApplyStartUpSettings();
