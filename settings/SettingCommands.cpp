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

// The store's lock is held here; the caller's alert comes after it is
// released.
setting_outcome
ChangeSetting(uint32_t command)
{
	switch (command) {
		case MMtx:
			PrintMode = "Text";
			return kSettingChanged;
		case MMgr:
			PrintMode = "Graphic";
			return kSettingChangedNotSupported;

		case MMnm:
			SelectPitch(CPI10, CPI_10);
			return kSettingChanged;
		case MM12:
			SelectPitch(CPI12, CPI_12);
			return kSettingChanged;
		case MM15:
			SelectPitch(CPI15, CPI_15);
			return kSettingChanged;
		case MM17:
			SelectPitch(CPI17, CPI_17);
			return kSettingChanged;
		case MM20:
			SelectPitch(CPI20, CPI_20);
			return kSettingChanged;

		case MMdr:
			SelectCode(PrintQuality, DraftMode, PrintLQ, "Draft mode");
			return kSettingChanged;
		case MMnl:
			SelectCode(PrintQuality, NLQ_Mode, PrintLQ, "Near Letter Quality mode");
			return kSettingChanged;
		case MMlq:
			SelectCode(PrintQuality, LQ_Mode, PrintLQ, "Letter Quality mode");
			return kSettingChanged;

		case MMps:
			SelectCode(PrintSpacing, PS_ModeOn, PrintSpace, "Proportional Spacing");
			return kSettingChanged;
		case MMfx:
			SelectCode(PrintSpacing, PS_ModeOff, PrintSpace, "Fixed Spacing");
			return kSettingChanged;

		case MM1p:
			PagesPerSheet = 1;
			return kSettingChangedNotSupported;
		case MM2p:
			PagesPerSheet = 2;
			return kSettingChangedNotSupported;
		case MM4p:
			PagesPerSheet = 4;
			return kSettingChangedNotSupported;
		case MM8p:
			PagesPerSheet = 8;
			return kSettingChangedNotSupported;

		case MM1c:
			ColumnsPerPage = 1;
			return kSettingChangedNotSupported;
		case MM2c:
			ColumnsPerPage = 2;
			return kSettingChangedNotSupported;
		case MM3c:
			ColumnsPerPage = 3;
			return kSettingChangedNotSupported;
		case MM4c:
			ColumnsPerPage = 4;
			return kSettingChangedNotSupported;

		case MMtr:
			LineMode = "Truncated";
			return kSettingChangedNotSupported;
		case MMlw:
			LineMode = "LineWrap";
			return kSettingChangedNotSupported;
		case MMww:
			// The menu's own word, spelled as the printers have always shown it.
			LineMode = "WordWarp";
			return kSettingChangedNotSupported;

		case MCs0:
			SelectPaper(SelectExec, "Executive", PortraitExecX, PortraitExecY, LandscapeExecX,
				LandscapeExecY);
			return kSettingChanged;
		case MCs1:
			SelectPaper(SelectLetter, "Letter", PortraitLetterX, PortraitLetterY,
				LandscapeLetterX, LandscapeLetterY);
			return kSettingChanged;
		case MCs2:
			SelectPaper(SelectLegal, "Legal", PortraitLegalX, PortraitLegalY, LandscapeLegalX,
				LandscapeLegalY);
			return kSettingChanged;
		case MCs3:
			SelectPaper(SelectA4, "A4", PortraitA4X, PortraitA4Y, LandscapeA4X, LandscapeA4Y);
			return kSettingChanged;

		case MCpt:
			SelectCode(PrintOrientation, PortraitPage, PrintOrient, "Portrait");
			return kSettingChanged;
		case MCls:
			SelectCode(PrintOrientation, LandscapePage, PrintOrient, "Landscape");
			return kSettingChanged;

		case MClw:
			SelectCode(PrintWrap, EnableEOLWrap, PrintWRAP, "Printer LineWrapping ON");
			return kSettingChanged;
		case MCtr:
			SelectCode(PrintWrap, DisableEOLWrap, PrintWRAP, "Printer LineWrapping OFF");
			return kSettingChanged;

		case MCud:
			SelectCode(PrintDirection, Unidirectional, PrintDir, "Unidirectional Printing");
			return kSettingChanged;
		case MCbd:
			SelectCode(PrintDirection, Bidirectional, PrintDir, "Bidirectional Printing");
			return kSettingChanged;
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
