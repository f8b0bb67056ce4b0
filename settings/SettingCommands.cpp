#include "SettingCommands.h"

#include <mutex>

#include "CommandCodes.h"
#include "PrinterProfiles.h"
#include "SettingsStore.h"

namespace {

void
SelectPitch(const char* code, float pitch)
{
	CopySetting(PrintCPI, code);
	CPI = pitch;
}

void
SelectPaper(const char* code, const char* label, float portraitX, float portraitY,
	float landscapeX, float landscapeY)
{
	CopySetting(PaperTray, code);
	CopySetting(PaperSource, label);
	PortraitX = portraitX;
	PortraitY = portraitY;
	LandscapeX = landscapeX;
	LandscapeY = landscapeY;
}

void
SelectCode(char (&active)[kSettingTextSize], const char* code, char (&label)[kSettingTextSize],
	const char* text)
{
	CopySetting(active, code);
	CopySetting(label, text);
}

// What each setting command of the menus sets, and whether the window then
// tells the user it is not supported. The codes are read when the command
// runs: a printer model installed since may have changed them.
struct setting_command {
	uint32_t command;
	setting_outcome outcome;
	void (*apply)();
};

const setting_outcome kChanged = kSettingChanged;
const setting_outcome kNotSupported = kSettingChangedNotSupported;

const setting_command kSettingCommands[] = {
	{ MMtx, kChanged, [] { PrintMode = "Text"; } },
	{ MMgr, kNotSupported, [] { PrintMode = "Graphic"; } },

	{ MMnm, kChanged, [] { SelectPitch(CPI10, CPI_10); } },
	{ MM12, kChanged, [] { SelectPitch(CPI12, CPI_12); } },
	{ MM15, kChanged, [] { SelectPitch(CPI15, CPI_15); } },
	{ MM17, kChanged, [] { SelectPitch(CPI17, CPI_17); } },
	{ MM20, kChanged, [] { SelectPitch(CPI20, CPI_20); } },

	{ MMdr, kChanged, [] { SelectCode(PrintQuality, DraftMode, PrintLQ, "Draft mode"); } },
	{ MMnl, kChanged,
		[] { SelectCode(PrintQuality, NLQ_Mode, PrintLQ, "Near Letter Quality mode"); } },
	{ MMlq, kChanged,
		[] { SelectCode(PrintQuality, LQ_Mode, PrintLQ, "Letter Quality mode"); } },

	{ MMps, kChanged,
		[] { SelectCode(PrintSpacing, PS_ModeOn, PrintSpace, "Proportional Spacing"); } },
	{ MMfx, kChanged, [] { SelectCode(PrintSpacing, PS_ModeOff, PrintSpace, "Fixed Spacing"); } },

	{ MM1p, kNotSupported, [] { PagesPerSheet = 1; } },
	{ MM2p, kNotSupported, [] { PagesPerSheet = 2; } },
	{ MM4p, kNotSupported, [] { PagesPerSheet = 4; } },
	{ MM8p, kNotSupported, [] { PagesPerSheet = 8; } },

	{ MM1c, kNotSupported, [] { ColumnsPerPage = 1; } },
	{ MM2c, kNotSupported, [] { ColumnsPerPage = 2; } },
	{ MM3c, kNotSupported, [] { ColumnsPerPage = 3; } },
	{ MM4c, kNotSupported, [] { ColumnsPerPage = 4; } },

	{ MMtr, kNotSupported, [] { LineMode = "Truncated"; } },
	{ MMlw, kNotSupported, [] { LineMode = "LineWrap"; } },
	// The menu's own word, spelled as the printers have always shown it.
	{ MMww, kNotSupported, [] { LineMode = "WordWarp"; } },

	{ MCs0, kChanged,
		[] {
			SelectPaper(SelectExec, "Executive", PortraitExecX, PortraitExecY, LandscapeExecX,
				LandscapeExecY);
		} },
	{ MCs1, kChanged,
		[] {
			SelectPaper(SelectLetter, "Letter", PortraitLetterX, PortraitLetterY,
				LandscapeLetterX, LandscapeLetterY);
		} },
	{ MCs2, kChanged,
		[] {
			SelectPaper(SelectLegal, "Legal", PortraitLegalX, PortraitLegalY, LandscapeLegalX,
				LandscapeLegalY);
		} },
	{ MCs3, kChanged,
		[] {
			SelectPaper(SelectA4, "A4", PortraitA4X, PortraitA4Y, LandscapeA4X, LandscapeA4Y);
		} },

	{ MCpt, kChanged,
		[] { SelectCode(PrintOrientation, PortraitPage, PrintOrient, "Portrait"); } },
	{ MCls, kChanged,
		[] { SelectCode(PrintOrientation, LandscapePage, PrintOrient, "Landscape"); } },

	{ MClw, kChanged,
		[] { SelectCode(PrintWrap, EnableEOLWrap, PrintWRAP, "Printer LineWrapping ON"); } },
	{ MCtr, kChanged,
		[] { SelectCode(PrintWrap, DisableEOLWrap, PrintWRAP, "Printer LineWrapping OFF"); } },

	{ MCud, kChanged,
		[] { SelectCode(PrintDirection, Unidirectional, PrintDir, "Unidirectional Printing"); } },
	{ MCbd, kChanged,
		[] { SelectCode(PrintDirection, Bidirectional, PrintDir, "Bidirectional Printing"); } },
};

// The store's lock is held here; the caller's alert comes after it is
// released.
setting_outcome
ChangeSetting(uint32_t command)
{
	for (const setting_command& row : kSettingCommands) {
		if (row.command == command) {
			row.apply();
			return row.outcome;
		}
	}
	if (const PrinterPortPath* port = FindPrinterPort(command)) {
		PrinterPath = port->path;
		return kSettingChanged;
	}
	return kNotASettingCommand;
}

}  // namespace

setting_outcome
RunSettingCommand(uint32_t command)
{
	if (const PrinterProfile* profile = FindPrinterProfile(command)) {
		InstallPrinterProfile(*profile);
		return kSettingChanged;
	}

	std::lock_guard<std::mutex> lock(gStoreLock);
	return ChangeSetting(command);
}

bool
IsAlertOnlyCommand(uint32_t command)
{
	switch (command) {
		case MCrs:
		case MCts:
		case MCld:
		case MCej:
		case MFnw:
		case MFop:
		case MFcl:
		case MFsv:
		case MFsa:
		case MFps:
			return true;
	}
	return false;
}
