// A printer of paper: reads the byte stream a printer model is sent and lays
// it out on sheets the way that printer would, a sheet at a time. It knows
// the codes of ESC/P, PCL 3 and the IBM Proprinter, and what a plain text
// printer does with the rest; a code it does not know is listed, not dropped.
// Positions are kept in units of 1/2160 inch, which every pitch and line
// spacing of these printers divides evenly.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

const int64_t kUnitsPerInch = 2160;

// How a printer model reads its stream.
enum paper_language { kPlainText, kEscP, kPcl, kProprinter };

// The language of a model named by its printer menu label ("Epson Dot
// Matrix"), its print name or its command code ("MPed"); false when none.
bool FindPaperLanguage(const std::string& model, paper_language* language);

enum print_quality { kDraftQuality, kNearLetterQuality, kLetterQuality };

// Characters printed side by side in one look: one line, one pitch.
struct PaperRun
{
	int64_t x = 0;               // left edge of the first character, from the sheet's left edge
	int64_t y = 0;               // baseline, from the sheet's top edge
	int64_t advance = 0;         // fixed pitch: each character's width
	std::vector<int64_t> widths; // proportional: each character's own width
	std::u32string text;
	print_quality quality = kDraftQuality;
	bool proportional = false;
	bool bold = false;
	bool italic = false;
	bool underline = false;
	int64_t height = 0; // the line spacing the run was printed at
};

struct PaperSheet
{
	int32_t number = 0; // 1 for the first sheet ejected
	int64_t width = 0;  // the sheet as it lies: landscape is wider
	int64_t height = 0;
	bool landscape = false;
	const char* paper = "Letter";
	int64_t left = 0;  // where the lines begin, from the sheet's left edge
	std::vector<PaperRun> runs;

	// The text of each printed line, top to bottom; a line is the runs that
	// share a baseline, with spaces for the room before and between them.
	std::vector<std::u32string> Lines() const;
};

struct UnknownCode
{
	int64_t offset;
	std::string bytes;
};

// Receives each sheet as the printer ejects it; the sheet is gone after.
using sheet_sink = std::function<void(const PaperSheet&)>;

class PrinterPaper
{
public:
	PrinterPaper(paper_language language, sheet_sink sink);

	// The next piece of the stream, of any size: a code cut in two by the
	// piece boundary is put together again.
	void Feed(const char* bytes, size_t count);
	// The end of the stream: a sheet with anything on it comes out as well.
	void Finish();

	int32_t Sheets() const { return fSheetCount; }
	int64_t UnknownCount() const { return fUnknownCount; }
	// The first unknown codes (up to a hundred); UnknownCount has them all.
	const std::vector<UnknownCode>& Unknown() const { return fUnknown; }
	// Codes that are known but change nothing this printer shows: a quality
	// this printer does not have, a typeface, a print direction.
	int64_t WithoutEffect() const { return fWithoutEffect; }

private:
	void _Reset();
	void _Byte(uint8_t byte);
	void _Control(uint8_t byte);
	void _Escape();
	void _EscP();
	bool _SharedEscape(uint8_t command);
	void _Pcl();
	void _Proprinter();
	bool _Need(size_t count);
	void _Unknown(size_t length);
	void _Print(char32_t character);
	void _CarriageReturn();
	void _LineFeed();
	void _FormFeed();
	void _Eject();
	void _NewSheetIfFull();
	void _Tab();
	int64_t _Advance(char32_t character) const;
	int64_t _Pitch() const;
	int64_t _RightEdge() const;
	int64_t _LeftEdge() const;
	int64_t _TopOfText() const;
	int64_t _SheetLength() const;
	void _SelectPaper(int code);
	void _SelectTable(const char* converter);
	bool _TableFromEscP(int table, int variant);
	bool _TableFromCodePage(int page);
	bool _TableFromSymbolSet(const std::string& set);
	char32_t _Character(uint8_t byte) const;

	paper_language fLanguage;
	sheet_sink fSink;

	std::string fPending; // a code not yet complete
	int64_t fPendingOffset = 0;
	int64_t fOffset = 0; // of the byte being read, in the whole stream

	PaperSheet fSheet;
	bool fSheetTouched = false; // printed on or moved on since it was loaded
	int32_t fSheetCount = 0;
	int64_t fUnknownCount = 0;
	int64_t fWithoutEffect = 0;
	std::vector<UnknownCode> fUnknown;

	// The carriage.
	int64_t fX = 0;    // from the left edge of the line
	int64_t fLine = 0; // from the top of the text area to the line's top
	int64_t fLineSpacing = kUnitsPerInch / 6;

	// The print modes.
	int fCpi = 10; // 10, 12 or 15; PCL keeps any pitch in fPclPitch
	double fPclPitch = 10;
	bool fCondensed = false;
	bool fProportional = false;
	print_quality fQuality = kDraftQuality;
	bool fBold = false, fItalic = false, fUnderline = false;
	bool fWrap = true;
	bool fUpperControls = true; // 0x80 to 0x9F are controls
	int fPaper = 2;             // 1 Executive, 2 Letter, 3 Legal, 26 A4
	bool fLandscape = false;
	int64_t fFormLength = 11 * kUnitsPerInch;
	int fLineTermination = 0;
	int fEscPSlot = 1;
	int fEscPTables[4][2] = {{0, 0}, {1, 0}, {1, 0}, {1, 0}};
	char32_t fUpper[128];
};

// "1B 28 73 31 30 48 at 12" for a report.
std::string DescribeUnknownCode(const UnknownCode& code);
