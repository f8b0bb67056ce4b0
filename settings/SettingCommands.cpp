#include "SettingCommands.h"

#include <mutex>

#include "Alerts.h"
#include "CommandCodes.h"
#include "PrinterProfiles.h"
#include "SettingsStore.h"

namespace {

enum change_result { kNotMine, kChanged, kChangedNotSupported };

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

// The store's lock is held here; the alert comes after it is released.
change_result
ChangeSetting(uint32_t command)
{
	switch (command) {
		case MMtx:
			PrintMode = "Text";
			return kChanged;
		case MMgr:
			PrintMode = "Graphic";
			return kChangedNotSupported;

		case MMnm:
			SelectPitch(CPI10, CPI_10);
			return kChanged;
		case MM12:
			SelectPitch(CPI12, CPI_12);
			return kChanged;
		case MM15:
			SelectPitch(CPI15, CPI_15);
			return kChanged;
		case MM17:
			SelectPitch(CPI17, CPI_17);
			return kChanged;
		case MM20:
			SelectPitch(CPI20, CPI_20);
			return kChanged;

		case MMdr:
			SelectCode(PrintQuality, DraftMode, PrintLQ, "Draft mode");
			return kChanged;
		case MMnl:
			SelectCode(PrintQuality, NLQ_Mode, PrintLQ, "Near Letter Quality mode");
			return kChanged;
		case MMlq:
			SelectCode(PrintQuality, LQ_Mode, PrintLQ, "Letter Quality mode");
			return kChanged;

		case MMps:
			SelectCode(PrintSpacing, PS_ModeOn, PrintSpace, "Proportional Spacing");
			return kChanged;
		case MMfx:
			SelectCode(PrintSpacing, PS_ModeOff, PrintSpace, "Fixed Spacing");
			return kChanged;

		case MM1p:
			PagesPerSheet = 1;
			return kChangedNotSupported;
		case MM2p:
			PagesPerSheet = 2;
			return kChangedNotSupported;
		case MM4p:
			PagesPerSheet = 4;
			return kChangedNotSupported;
		case MM8p:
			PagesPerSheet = 8;
			return kChangedNotSupported;

		case MM1c:
			ColumnsPerPage = 1;
			return kChangedNotSupported;
		case MM2c:
			ColumnsPerPage = 2;
			return kChangedNotSupported;
		case MM3c:
			ColumnsPerPage = 3;
			return kChangedNotSupported;
		case MM4c:
			ColumnsPerPage = 4;
			return kChangedNotSupported;

		case MMtr:
			LineMode = "Truncated";
			return kChangedNotSupported;
		case MMlw:
			LineMode = "LineWrap";
			return kChangedNotSupported;
		case MMww:
			// The menu's own word, spelled as the printers have always shown it.
			LineMode = "WordWarp";
			return kChangedNotSupported;

		case MCs0:
			SelectPaper(SelectExec, "Executive", PortraitExecX, PortraitExecY, LandscapeExecX,
				LandscapeExecY);
			return kChanged;
		case MCs1:
			SelectPaper(SelectLetter, "Letter", PortraitLetterX, PortraitLetterY,
				LandscapeLetterX, LandscapeLetterY);
			return kChanged;
		case MCs2:
			SelectPaper(SelectLegal, "Legal", PortraitLegalX, PortraitLegalY, LandscapeLegalX,
				LandscapeLegalY);
			return kChanged;
		case MCs3:
			SelectPaper(SelectA4, "A4", PortraitA4X, PortraitA4Y, LandscapeA4X, LandscapeA4Y);
			return kChanged;

		case MCpt:
			SelectCode(PrintOrientation, PortraitPage, PrintOrient, "Portrait");
			return kChanged;
		case MCls:
			SelectCode(PrintOrientation, LandscapePage, PrintOrient, "Landscape");
			return kChanged;

		case MClw:
			SelectCode(PrintWrap, EnableEOLWrap, PrintWRAP, "Printer LineWrapping ON");
			return kChanged;
		case MCtr:
			SelectCode(PrintWrap, DisableEOLWrap, PrintWRAP, "Printer LineWrapping OFF");
			return kChanged;

		case MCud:
			SelectCode(PrintDirection, Unidirectional, PrintDir, "Unidirectional Printing");
			return kChanged;
		case MCbd:
			SelectCode(PrintDirection, Bidirectional, PrintDir, "Bidirectional Printing");
			return kChanged;
	}

	if (const PrinterPortPath* port = FindPrinterPort(command)) {
		PrinterPath = port->path;
		return kChanged;
	}
	return kNotMine;
}

}  // namespace

bool
RunSettingCommand(uint32_t command)
{
	if (const PrinterProfile* profile = FindPrinterProfile(command)) {
		InstallPrinterProfile(*profile);
		return true;
	}

	change_result change;
	{
		std::lock_guard<std::mutex> lock(gStoreLock);
		change = ChangeSetting(command);
	}
	if (change == kChangedNotSupported)
		ShowNotSupportedAlert();
	return change != kNotMine;
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
