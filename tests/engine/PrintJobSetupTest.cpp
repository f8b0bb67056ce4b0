// The store at load and after the start-up settings, and what a file's set-up
// makes of them: the preamble write and the page geometry.
#include <cstring>
#include <mutex>

#include "EngineFixture.h"
#include "LineBuffer.h"
#include "PrintJob.h"
#include "SettingsStore.h"
#include "TextPage.h"
#include "TextPagePrinter.h"

namespace {

class PrintJobSetupTest : public EngineTest {
protected:
	// Sets up and prints an empty file; returns the writes.
	const std::vector<std::string>& PrintEmptyFile()
	{
		FileLenght = 0;
		fOutput.Forget();
		StartPrinting();
		return fOutput.Writes();
	}
};

TEST_F(PrintJobSetupTest, StoreAtLoadHasNoPitchPaperOrActiveCodes)
{
	EXPECT_EQ(CPI, 0.0f);
	EXPECT_EQ(LPI, 0.0f);
	EXPECT_EQ(PortraitX, 0.0f);
	EXPECT_EQ(PortraitY, 0.0f);
	EXPECT_EQ(LandscapeX, 0.0f);
	EXPECT_EQ(LandscapeY, 0.0f);
	for (const char* text : {PrintCPI, PrintQuality, PrintSpacing, PaperTray, PrintOrientation,
			 PrintWrap, PrintDirection, PrintLQ, PrintSpace, PaperSource, PrintOrient, PrintWRAP,
			 PrintDir}) {
		EXPECT_STREQ(text, "");
	}
	EXPECT_STREQ(PrintName, "Epson Dot Matrix Compatible.");
	EXPECT_STREQ(PrinterPath, "/dev/parallel/parallel1");
	EXPECT_STREQ(FilterCodes, "All");
	EXPECT_STREQ(PrintMode, "Text");
	EXPECT_EQ(TopBlankLines, 3);
	EXPECT_EQ(TabSize, 4);
}

TEST_F(PrintJobSetupTest, StartUpSettingsGiveTheEpsonDraftLetterPortraitState)
{
	ApplyStartUpSettings();
	EXPECT_EQ(LPI, 6.0f);
	EXPECT_EQ(CPI, 10.0f);
	EXPECT_STREQ(PrintCPI, "12 1B 50");
	EXPECT_STREQ(PrintQuality, "1B 78 00");
	EXPECT_STREQ(PrintSpacing, "1B 70 00");
	EXPECT_STREQ(PaperTray, "");
	EXPECT_STREQ(PrintWrap, "");
	EXPECT_STREQ(PrintDirection, "1B 55 00");
	EXPECT_STREQ(PrintOrientation, "");
	EXPECT_STREQ(PrintLQ, "Draft mode");
	EXPECT_STREQ(PrintSpace, "Fixed Spacing");
	EXPECT_STREQ(PaperSource, "Letter");
	EXPECT_STREQ(PrintOrient, "Portrait");
	EXPECT_STREQ(PrintWRAP, "Printer LineWrapping OFF");
	EXPECT_STREQ(PrintDir, "Bidirectional Printing");
	EXPECT_EQ(PortraitX, 8.0f);
	EXPECT_EQ(PortraitY, 10.5f);
	EXPECT_EQ(LandscapeX, 10.5f);
	EXPECT_EQ(LandscapeY, 8.0f);
}

TEST_F(PrintJobSetupTest, PreambleLeavesInOneWriteBeforeTheText)
{
	ApplyStartUpSettings();
	EXPECT_EQ(ToHex(PrintEmptyFile()), (std::vector<std::string>{
		"1B 40 12 1B 50 1B 78 00 1B 70 00 1B 55 00",
		"0A 0D 0A 0D 0A 0D",  // the empty page: top of page, then eject
		"0C",
	}));
	EXPECT_EQ(LineLenght, 0);
}

TEST_F(PrintJobSetupTest, EmptyPreambleIsStillAWriteOfZeroBytes)
{
	ApplyStartUpSettings();
	ResetPrinter = "";
	for (char* code : {PrintCPI, PrintQuality, PrintSpacing, PaperTray, PrintOrientation,
			 PrintWrap, PrintDirection}) {
		code[0] = '\0';
	}
	TopBlankLines = 0;
	EXPECT_EQ(ToHex(PrintEmptyFile()), (std::vector<std::string>{"", "", "0C"}));
}

TEST_F(PrintJobSetupTest, SettingsChangedWhileAFilePrintsApplyFromTheNextFile)
{
	// The window's thread installs another printer's codes just as the
	// preamble goes out.
	ApplyStartUpSettings();
	TopBlankLines = 1;
	fOutput.onWrite = [](size_t writes) {
		if (writes != 1)
			return;
		std::lock_guard<std::mutex> lock(gStoreLock);
		FilterCodes = "NO";
		TopBlankLines = 0;
		TabSize = 1;
		LoadPaper = "1B 19";
		NewLine = "0D 0A";
		EjectPaper = "1B 0C";
	};
	const std::string file = "a\tb\n";
	memcpy(FileBuffer, file.data(), file.size());
	FileLenght = static_cast<int32_t>(file.size());
	StartPrinting();
	EXPECT_EQ(ToHex(fOutput.Writes()), (std::vector<std::string>{
		"1B 40 12 1B 50 1B 78 00 1B 70 00 1B 55 00",
		"0A 0D 61 20 62 0A 0D",  // tab stop 4 from column 3
		"",
		"0C",
	}));

	fOutput.Forget();
	StartPrinting();
	EXPECT_EQ(ToHex(fOutput.Writes()), (std::vector<std::string>{
		"1B 40 12 1B 50 1B 78 00 1B 70 00 1B 55 00",
		"1B 19 61 09 62 0A",
		"1B 0C",
	}));
}

struct Geometry {
	const char* orientation;
	float width, height;  // what the paper command would have put in
	int32_t paperX, paperY;
};

TEST_F(PrintJobSetupTest, PageGeometryTruncatesTheExactProducts)
{
	const Geometry cases[] = {
		// Letter after start-up: 10 x 8.0, 6 x 10.5 - 3; landscape 10 x 10.5, 6 x 8.0 - 3.
		{"Portrait", 0, 0, 80, 60},
		{"Landscape", 0, 0, 105, 45},
		{"portrait", 0, 0, 105, 45},  // only "Portrait" exactly is portrait
		{"Portrait ", 0, 0, 105, 45},
		{"", 0, 0, 105, 45},
		// A4: 11.2f is 11.19999980926513671875, so 10 x 11.2 gives 111; 7.8f is
		// 7.80000019073486328125, 6 x 7.8 gives 46 and 10 x 7.8 gives 78.
		{"Landscape", 11.2f, 7.8f, 111, 43},
		{"Portrait", 7.8f, 11.2f, 78, 64},
	};
	for (const Geometry& geometry : cases) {
		SCOPED_TRACE(std::string("\"") + geometry.orientation + "\" " +
			std::to_string(geometry.width) + " x " + std::to_string(geometry.height));
		RestoreLoadedSettings();
		ApplyStartUpSettings();
		CopySetting(PrintOrient, geometry.orientation);
		if (geometry.width != 0) {
			bool portrait = strcmp(geometry.orientation, "Portrait") == 0;
			(portrait ? PortraitX : LandscapeX) = geometry.width;
			(portrait ? PortraitY : LandscapeY) = geometry.height;
		}
		PrintEmptyFile();
		EXPECT_EQ(PaperX, geometry.paperX);
		EXPECT_EQ(PaperY, geometry.paperY);
	}
}

TEST_F(PrintJobSetupTest, PageLengthReachesTheTextPrinterUnbounded)
{
	// 6 x 8.0 - 50 is -2: no page is ever broken.
	ApplyStartUpSettings();
	CopySetting(PrintOrient, "Landscape");
	TopBlankLines = 50;
	std::string file(60, '\n');
	memcpy(FileBuffer, file.data(), file.size());
	FileLenght = static_cast<int32_t>(file.size());
	StartPrinting();
	EXPECT_EQ(PaperY, -2);
	EXPECT_EQ(LineCount, 60);
	// Preamble, 60 line ends, the empty rest of the last line, the eject.
	ASSERT_EQ(fOutput.Writes().size(), 63u);
	EXPECT_EQ(fOutput.Writes()[61], "");
	EXPECT_EQ(fOutput.Writes()[62], Hex("0C"));
	for (size_t i = 2; i <= 60; i++)
		EXPECT_EQ(fOutput.Writes()[i], Hex("0A 0D")) << "write " << i;
}

}  // namespace
