#include "PrinterPaper.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iconv.h>
#include <map>

namespace {

const int64_t kInch = kUnitsPerInch;

struct ModelName
{
	const char* label;
	const char* printName;
	const char* code;
	paper_language language;
};

// clang-format off
const ModelName kModels[] = {
	{ "All Raw Data", "RAW ASCII", "MPrw", kPlainText },
	{ "Pure ASCII", "Pure ASCII", "MPas", kPlainText },
	{ "Generic ASCII", "Generic ASCII.", "MPgn", kPlainText },
	{ "HP Deskjet Series", "HP DeskJet 500C.", "MPhp", kPcl },
	{ "Epson Stylus", "Epson Stylus ESC/P2", "MPei", kEscP },
	{ "Epson Dot Matrix", "Epson Dot Matrix Compatible.", "MPed", kEscP },
	{ "IBM Proprinter", "IBM Proprinter III", "MPpp", kProprinter },
};

// The sheets, portrait, and the PCL logical page's width on them: the part
// of the sheet the printer can reach, a quarter inch in from each side.
struct PaperSize {
	int code;             // ESC & l # A
	const char* name;
	double width, length; // inches
	double portraitLine, landscapeLine;
};
const PaperSize kPapers[] = {
	{ 1, "Executive", 7.25, 10.5, 6.75, 10.0 },
	{ 2, "Letter", 8.5, 11.0, 8.0, 10.5 },
	{ 3, "Legal", 8.5, 14.0, 8.0, 13.5 },
	{ 26, "A4", 8.27, 11.69, 7.8, 11.2 },
};
// clang-format on

const PaperSize& Paper(int code)
{
	for (const PaperSize& paper : kPapers) {
		if (paper.code == code)
			return paper;
	}
	return kPapers[1];
}

int64_t Units(double inches)
{
	return static_cast<int64_t>(std::llround(inches * static_cast<double>(kInch)));
}

const uint8_t ESC = 0x1B;

} // namespace

bool FindPaperLanguage(const std::string& model, paper_language* language)
{
	for (const ModelName& name : kModels) {
		if (model == name.label || model == name.printName || model == name.code) {
			*language = name.language;
			return true;
		}
	}
	return false;
}

std::vector<std::u32string> PaperSheet::Lines() const
{
	std::map<int64_t, std::vector<const PaperRun*>> lines;
	for (const PaperRun& run : runs)
		lines[run.y].push_back(&run);
	std::vector<std::u32string> text;
	for (auto& [y, line] : lines) {
		std::stable_sort(line.begin(), line.end(),
		                 [](const PaperRun* a, const PaperRun* b) { return a->x < b->x; });
		std::u32string joined;
		int64_t end = left;
		for (const PaperRun* run : line) {
			int64_t cell = run->advance > 0 ? run->advance : kInch / 10;
			if (run->x > end)
				joined.append(static_cast<size_t>((run->x - end + cell / 2) / cell), U' ');
			joined += run->text;
			int64_t runEnd = run->x;
			if (run->proportional) {
				for (int64_t w : run->widths)
					runEnd += w;
			} else {
				runEnd += run->advance * static_cast<int64_t>(run->text.size());
			}
			end = std::max(end, runEnd);
		}
		text.push_back(joined);
	}
	return text;
}

std::string DescribeUnknownCode(const UnknownCode& code)
{
	std::string text;
	for (unsigned char byte : code.bytes) {
		char pair[4];
		snprintf(pair, sizeof(pair), "%02X", byte);
		if (!text.empty())
			text += ' ';
		text += pair;
	}
	return text + " at " + std::to_string(code.offset);
}

PrinterPaper::PrinterPaper(paper_language language, sheet_sink sink)
    : fLanguage(language), fSink(std::move(sink))
{
	_Reset();
	fSheet.runs.reserve(256);
}

void PrinterPaper::_Reset()
{
	fCpi = 10;
	fPclPitch = 10;
	fCondensed = false;
	fProportional = false;
	fQuality = kDraftQuality;
	fBold = fItalic = fUnderline = false;
	fLineSpacing = kInch / 6;
	fX = 0;
	fEscPSlot = 1;
	fEscPTables[1][0] = 1;
	fEscPTables[1][1] = 0;
	switch (fLanguage) {
		case kPcl:
			fWrap = false;
			fPaper = 2;
			fLandscape = false;
			fLineTermination = 0;
			fUpperControls = false;
			_SelectTable("HP-ROMAN8");
			break;
		case kEscP:
			fWrap = true;
			fFormLength = 11 * kInch;
			fUpperControls = true;
			_SelectTable("CP437");
			break;
		case kProprinter:
		case kPlainText:
			fWrap = true;
			fFormLength = 11 * kInch;
			fUpperControls = false;
			_SelectTable("CP437");
			break;
	}
}

void PrinterPaper::_SelectTable(const char* converter)
{
	for (int i = 0; i < 128; i++)
		fUpper[i] = 0;
	if (converter == nullptr) {
		// The italic table: the lower half again, slanted.
		for (int i = 0; i < 128; i++)
			fUpper[i] = i >= 0x20 ? static_cast<char32_t>(i) : 0;
		return;
	}
	iconv_t table = iconv_open("UTF-32LE", converter);
	if (table == reinterpret_cast<iconv_t>(-1))
		return;
	for (int i = 0; i < 128; i++) {
		char in = static_cast<char>(0x80 + i);
		char out[8];
		char* inPointer = &in;
		char* outPointer = out;
		size_t inLeft = 1, outLeft = sizeof(out);
		if (iconv(table, &inPointer, &inLeft, &outPointer, &outLeft) != static_cast<size_t>(-1) &&
		    outLeft == 4) {
			uint32_t value = static_cast<uint8_t>(out[0]) | static_cast<uint8_t>(out[1]) << 8 |
			                 static_cast<uint8_t>(out[2]) << 16 |
			                 static_cast<uint32_t>(static_cast<uint8_t>(out[3])) << 24;
			// An ISO set's own controls print nothing.
			fUpper[i] = value >= 0x80 && value < 0xA0 ? 0 : value;
		}
		iconv(table, nullptr, nullptr, nullptr, nullptr);
	}
	iconv_close(table);
}

bool PrinterPaper::_TableFromEscP(int table, int variant)
{
	switch (table * 256 + variant) {
		case 0:
			_SelectTable(nullptr);
			return true;
		case 1 * 256:
			_SelectTable("CP437");
			return true;
		case 3 * 256:
			_SelectTable("CP850");
			return true;
		case 44 * 256:
			_SelectTable("CP858");
			return true;
		case 29 * 256 + 16:
			_SelectTable("ISO-8859-1");
			return true;
		case 29 * 256 + 15:
			_SelectTable("ISO-8859-15");
			return true;
	}
	return false;
}

bool PrinterPaper::_TableFromCodePage(int page)
{
	switch (page) {
		case 437:
			_SelectTable("CP437");
			return true;
		case 850:
			_SelectTable("CP850");
			return true;
		case 858:
			_SelectTable("CP858");
			return true;
		case 860:
			_SelectTable("CP860");
			return true;
		case 863:
			_SelectTable("CP863");
			return true;
		case 865:
			_SelectTable("CP865");
			return true;
		case 819:
			_SelectTable("ISO-8859-1");
			return true;
		case 923:
			_SelectTable("ISO-8859-15");
			return true;
	}
	return false;
}

bool PrinterPaper::_TableFromSymbolSet(const std::string& set)
{
	// clang-format off
	static const struct { const char* set; const char* converter; } kSets[] = {
		{ "0U", "ASCII" }, { "8U", "HP-ROMAN8" }, { "10U", "CP437" }, { "12U", "CP850" },
		{ "13U", "CP858" }, { "0N", "ISO-8859-1" }, { "9N", "ISO-8859-15" },
		{ "19U", "WINDOWS-1252" },
	};
	// clang-format on
	for (const auto& known : kSets) {
		if (set == known.set) {
			_SelectTable(known.converter);
			return true;
		}
	}
	return false;
}

char32_t PrinterPaper::_Character(uint8_t byte) const
{
	if (byte < 0x80)
		return byte;
	return fUpper[byte - 0x80];
}

// ---- The sheet and the carriage.

int64_t PrinterPaper::_Pitch() const
{
	if (fLanguage == kPcl)
		return Units(1.0 / fPclPitch);
	if (fCondensed) {
		// Condensed takes 10 cpi to 17.14 and 12 to 20; 15 cpi has none.
		if (fCpi == 10)
			return 126;
		if (fCpi == 12)
			return 108;
	}
	return kInch / fCpi;
}

int64_t PrinterPaper::_Advance(char32_t character) const
{
	if (!fProportional)
		return _Pitch();
	// Proportional faces give a narrow letter a third less than the pitch,
	// a wide one half as much again.
	int64_t pitch = _Pitch();
	if (std::u32string_view(U"iljtfI!.,;:'|`()[] ").find(character) != std::u32string_view::npos)
		return pitch * 2 / 3;
	if (std::u32string_view(U"mwMW@%&").find(character) != std::u32string_view::npos)
		return pitch * 3 / 2;
	if (character >= U'A' && character <= U'Z')
		return pitch * 7 / 6;
	return pitch;
}

int64_t PrinterPaper::_LeftEdge() const
{
	if (fLanguage == kPcl) {
		const PaperSize& paper = Paper(fPaper);
		double sheet = fLandscape ? paper.length : paper.width;
		double line = fLandscape ? paper.landscapeLine : paper.portraitLine;
		return Units((sheet - line) / 2);
	}
	// The carriage's eight inches, centred on a sheet eight and a half wide.
	return kInch / 4;
}

int64_t PrinterPaper::_RightEdge() const
{
	if (fLanguage == kPcl) {
		const PaperSize& paper = Paper(fPaper);
		return Units(fLandscape ? paper.landscapeLine : paper.portraitLine);
	}
	return 8 * kInch;
}

int64_t PrinterPaper::_TopOfText() const
{
	// PCL's top margin is half an inch; the forms of the others start at the
	// top of form.
	return fLanguage == kPcl ? kInch / 2 : 0;
}

int64_t PrinterPaper::_SheetLength() const
{
	if (fLanguage == kPcl) {
		const PaperSize& paper = Paper(fPaper);
		return Units(fLandscape ? paper.width : paper.length);
	}
	return fFormLength;
}

void PrinterPaper::_Eject()
{
	fSheetCount++;
	fSheet.number = fSheetCount;
	fSheet.left = _LeftEdge();
	if (fLanguage == kPcl) {
		const PaperSize& paper = Paper(fPaper);
		fSheet.paper = paper.name;
		fSheet.landscape = fLandscape;
		fSheet.width = Units(fLandscape ? paper.length : paper.width);
		fSheet.height = Units(fLandscape ? paper.width : paper.length);
	} else {
		fSheet.paper = fFormLength == 11 * kInch ? "Letter" : "Form";
		fSheet.landscape = false;
		fSheet.width = Units(8.5);
		fSheet.height = fFormLength;
	}
	if (fSink)
		fSink(fSheet);
	fSheet.runs.clear();
	fSheetTouched = false;
	fLine = 0;
}

void PrinterPaper::_NewSheetIfFull()
{
	int64_t textLength = _SheetLength() - _TopOfText();
	if (fLine + fLineSpacing <= textLength)
		return;
	if (fLanguage == kPcl) {
		// Past the bottom of the text area the page is ejected.
		_Eject();
		return;
	}
	// A continuous form goes on over the perforation onto the next sheet.
	int64_t line = fLine - fFormLength;
	_Eject();
	fLine = std::max<int64_t>(0, line);
}

void PrinterPaper::_CarriageReturn()
{
	fX = 0;
}

void PrinterPaper::_LineFeed()
{
	fLine += fLineSpacing;
	fSheetTouched = true;
	_NewSheetIfFull();
}

void PrinterPaper::_FormFeed()
{
	fX = fLanguage == kPcl ? fX : 0;
	if (fLanguage == kPcl && !fSheetTouched && fSheet.runs.empty())
		return;
	_Eject();
}

void PrinterPaper::_Tab()
{
	// Stops every eight columns of the pitch.
	int64_t stop = _Pitch() * 8;
	int64_t next = (fX / stop + 1) * stop;
	if (next > _RightEdge())
		return;
	fX = next;
}

void PrinterPaper::_Print(char32_t character)
{
	int64_t advance = _Advance(character);
	if (fX + advance > _RightEdge()) {
		if (!fWrap)
			return;
		_CarriageReturn();
		_LineFeed();
	}
	fSheetTouched = true;
	int64_t y = _TopOfText() + fLine + fLineSpacing * 4 / 5;
	PaperRun* run = fSheet.runs.empty() ? nullptr : &fSheet.runs.back();
	bool joins = run != nullptr && run->y == y && run->quality == fQuality &&
	             run->proportional == fProportional && run->bold == fBold &&
	             run->italic == fItalic && run->underline == fUnderline &&
	             run->height == fLineSpacing && (fProportional || run->advance == advance);
	if (joins) {
		int64_t end = run->x;
		if (run->proportional) {
			for (int64_t w : run->widths)
				end += w;
		} else {
			end += run->advance * static_cast<int64_t>(run->text.size());
		}
		joins = end == _LeftEdge() + fX;
	}
	if (!joins) {
		fSheet.runs.emplace_back();
		run = &fSheet.runs.back();
		run->x = _LeftEdge() + fX;
		run->y = y;
		run->advance = fProportional ? 0 : advance;
		run->quality = fQuality;
		run->proportional = fProportional;
		run->bold = fBold;
		run->italic = fItalic;
		run->underline = fUnderline;
		run->height = fLineSpacing;
	}
	run->text += character;
	if (fProportional)
		run->widths.push_back(advance);
	fX += advance;
}

// ---- The stream.

void PrinterPaper::Feed(const char* bytes, size_t count)
{
	for (size_t i = 0; i < count; i++, fOffset++)
		_Byte(static_cast<uint8_t>(bytes[i]));
}

void PrinterPaper::Finish()
{
	if (!fPending.empty()) {
		// A code cut off by the end of the stream.
		_Unknown(fPending.size());
	}
	if (!fSheet.runs.empty() || fSheetTouched)
		_Eject();
}

void PrinterPaper::_Unknown(size_t length)
{
	fUnknownCount++;
	if (fUnknown.size() < 100)
		fUnknown.push_back({fPendingOffset, fPending.substr(0, length)});
	fPending.erase(0, length);
}

bool PrinterPaper::_Need(size_t count)
{
	return fPending.size() >= count;
}

void PrinterPaper::_Byte(uint8_t byte)
{
	if (!fPending.empty()) {
		fPending += static_cast<char>(byte);
		_Escape();
		return;
	}
	if (byte == ESC) {
		fPending = static_cast<char>(byte);
		fPendingOffset = fOffset;
		if (fLanguage == kPlainText)
			_Unknown(1);
		return;
	}
	if (byte < 0x20 || byte == 0x7F) {
		_Control(byte);
		return;
	}
	if (byte >= 0x80 && byte < 0xA0 && fUpperControls) {
		fWithoutEffect++;
		return;
	}
	char32_t character = _Character(byte);
	if (character == 0) {
		fWithoutEffect++;
		return;
	}
	_Print(character);
}

void PrinterPaper::_Control(uint8_t byte)
{
	switch (byte) {
		case 0x00:
		case 0x7F:
		case 0x07: // the bell rings; the paper does not see it
			return;
		case 0x0D:
			_CarriageReturn();
			if (fLanguage == kPcl && (fLineTermination == 1 || fLineTermination == 3))
				_LineFeed();
			return;
		case 0x0A:
			if (fLanguage == kPcl && (fLineTermination == 2 || fLineTermination == 3))
				_CarriageReturn();
			_LineFeed();
			return;
		case 0x0C:
			if (fLanguage == kPcl && (fLineTermination == 2 || fLineTermination == 3))
				_CarriageReturn();
			_FormFeed();
			return;
		case 0x09:
			_Tab();
			return;
		case 0x08:
			fX = std::max<int64_t>(0, fX - _Pitch());
			return;
	}
	if (fLanguage == kEscP || fLanguage == kProprinter) {
		if (byte == 0x0F) {
			fCondensed = true;
			return;
		}
		if (byte == 0x12) {
			fCondensed = false;
			if (fLanguage == kProprinter)
				fCpi = 10;
			return;
		}
	}
	if (fLanguage == kPcl && (byte == 0x0E || byte == 0x0F)) {
		// The secondary and primary fonts: one font here.
		fWithoutEffect++;
		return;
	}
	fPending = static_cast<char>(byte);
	fPendingOffset = fOffset;
	_Unknown(1);
}

void PrinterPaper::_Escape()
{
	if (!_Need(2))
		return;
	if (fPending.size() > 4096) {
		_Unknown(fPending.size());
		return;
	}
	switch (fLanguage) {
		case kEscP:
			_EscP();
			break;
		case kPcl:
			_Pcl();
			break;
		case kProprinter:
			_Proprinter();
			break;
		case kPlainText:
			_Unknown(fPending.size());
			break;
	}
}

// Whether an on/off parameter says on: 1 or '1'.
static bool On(uint8_t n)
{
	return (n & 1) != 0;
}

static bool OnOffParameter(uint8_t n)
{
	return n == 0 || n == 1 || n == '0' || n == '1';
}

// The two-byte escapes ESC/P and the Proprinter read alike: condensed,
// emphasized and double strike on and off, the upper control codes, the
// end of super- and subscript (the line keeps its place), 1/8 and 1/6 inch
// line spacing. False for any other.
bool PrinterPaper::_SharedEscape(uint8_t command)
{
	switch (command) {
		case 0x0F:
			fCondensed = true;
			return true;
		case 'G':
		case 'E':
			fBold = true;
			return true;
		case 'H':
		case 'F':
			fBold = false;
			return true;
		case '6':
			fUpperControls = false;
			return true;
		case '7':
			fUpperControls = true;
			return true;
		case 'T':
			return true;
		case '0':
			fLineSpacing = kInch / 8;
			return true;
		case '2':
			fLineSpacing = kInch / 6;
			return true;
		default:
			return false;
	}
}

void PrinterPaper::_EscP()
{
	const uint8_t command = static_cast<uint8_t>(fPending[1]);
	auto parameter = [this](size_t i) { return static_cast<uint8_t>(fPending[i]); };
	size_t length = 2;
	switch (command) {
		case '@':
			_Reset();
			break;
		case 'P':
			fCpi = 10;
			break;
		case 'M':
			fCpi = 12;
			break;
		case 'g':
			fCpi = 15;
			break;
		case '4':
			fItalic = true;
			break;
		case '5':
			fItalic = false;
			break;
		case 'x':
		case 'p':
		case 'U':
		case '-':
		case 'S':
		case '3':
		case 't':
		case 'C':
			length = 3;
			if (!_Need(3))
				return;
			switch (command) {
				case 'x':
					// Draft or letter quality; a value past 1 is not one.
					if (OnOffParameter(parameter(2)))
						fQuality = On(parameter(2)) ? kNearLetterQuality : kDraftQuality;
					else
						fWithoutEffect++;
					break;
				case 'p':
					fProportional = On(parameter(2));
					break;
				case 'U':
					fWithoutEffect++; // the print direction
					break;
				case '-':
					fUnderline = On(parameter(2));
					break;
				case 'S':
					break; // super- or subscript: the characters keep their place
				case '3':
					fLineSpacing = parameter(2) * 10;
					break;
				case 't': {
					int slot = parameter(2) & 3;
					fEscPSlot = slot;
					if (!_TableFromEscP(fEscPTables[slot][0], fEscPTables[slot][1]))
						_SelectTable("CP437");
					break;
				}
				case 'C':
					if (parameter(2) != 0) {
						fFormLength = fLineSpacing * parameter(2);
					} else {
						length = 4;
						if (!_Need(4))
							return;
						if (parameter(3) != 0)
							fFormLength = kInch * parameter(3);
					}
					break;
			}
			break;
		case '(':
			if (!_Need(5))
				return;
			length = 5 + (parameter(3) | parameter(4) << 8);
			if (!_Need(length))
				return;
			if (fPending[2] == 't' && length == 8 && parameter(5) < 4) {
				// A table into a slot; the selected slot's table is read again.
				if (!_TableFromEscP(parameter(6), parameter(7))) {
					_Unknown(length);
					return;
				}
				fEscPTables[parameter(5)][0] = parameter(6);
				fEscPTables[parameter(5)][1] = parameter(7);
				_TableFromEscP(fEscPTables[fEscPSlot][0], fEscPTables[fEscPSlot][1]);
				break;
			}
			_Unknown(length);
			return;
		default:
			if (_SharedEscape(command))
				break;
			_Unknown(2);
			return;
	}
	fPending.erase(0, length);
}

void PrinterPaper::_Proprinter()
{
	const uint8_t command = static_cast<uint8_t>(fPending[1]);
	auto parameter = [this](size_t i) { return static_cast<uint8_t>(fPending[i]); };
	size_t length = 2;
	switch (command) {
		case ':':
			fCpi = 12;
			fCondensed = false;
			break;
		case 'I':
		case 'k':
		case 'P':
		case 'U':
		case '-':
		case 'S':
		case '3':
			length = 3;
			if (!_Need(3))
				return;
			switch (command) {
				case 'I':
					// Print quality: draft, or letter quality from 2 on.
					fQuality = (parameter(2) & 3) >= 2 ? kLetterQuality : kDraftQuality;
					break;
				case 'k':
					fWithoutEffect++; // a typeface, which the preview does not tell apart
					break;
				case 'P':
					fProportional = On(parameter(2));
					break;
				case 'U':
					fWithoutEffect++;
					break;
				case '-':
					fUnderline = On(parameter(2));
					break;
				case 'S':
					break;
				case '3':
					fLineSpacing = parameter(2) * 10;
					break;
			}
			break;
		case '[':
			if (!_Need(5))
				return;
			length = 5 + (parameter(3) | parameter(4) << 8);
			if (!_Need(length))
				return;
			if (fPending[2] == 'K') {
				// The initial conditions: the printer's defaults again.
				_Reset();
				break;
			}
			if (fPending[2] == 'T' && length == 9) {
				if (!_TableFromCodePage(parameter(7) << 8 | parameter(8))) {
					_Unknown(length);
					return;
				}
				break;
			}
			_Unknown(length);
			return;
		default:
			if (_SharedEscape(command))
				break;
			_Unknown(2);
			return;
	}
	fPending.erase(0, length);
}

void PrinterPaper::_SelectPaper(int code)
{
	for (const PaperSize& paper : kPapers) {
		if (paper.code == code) {
			if (fSheetTouched || !fSheet.runs.empty())
				_Eject();
			fPaper = code;
			return;
		}
	}
	fWithoutEffect++;
}

void PrinterPaper::_Pcl()
{
	const uint8_t command = static_cast<uint8_t>(fPending[1]);
	if (command == 'E') {
		if (fSheetTouched || !fSheet.runs.empty())
			_Eject();
		_Reset();
		fPending.erase(0, 2);
		return;
	}
	if (command == 'z') {
		fWithoutEffect++; // the self test prints its own page, not the job's
		fPending.erase(0, 2);
		return;
	}
	if (command < 0x21 || command > 0x2F) {
		_Unknown(2);
		return;
	}
	if (!_Need(3))
		return;
	const uint8_t group = static_cast<uint8_t>(fPending[2]);
	if ((command == '(' || command == ')') && (std::isdigit(group) != 0)) {
		// A symbol set: digits and a letter.
		size_t end = 2;
		while (end < fPending.size() && std::isdigit(static_cast<uint8_t>(fPending[end])) != 0)
			end++;
		if (end == fPending.size())
			return;
		uint8_t letter = static_cast<uint8_t>(fPending[end]);
		std::string set = fPending.substr(2, end - 1);
		if (letter < 0x40 || letter > 0x5E || command == ')' || !_TableFromSymbolSet(set)) {
			_Unknown(end + 1);
			return;
		}
		fPending.erase(0, end + 1);
		return;
	}
	if (group < 0x60 || group > 0x7E) {
		_Unknown(3);
		return;
	}
	// Values and parameters, joined while the parameter is lower case.
	struct Part
	{
		double value;
		uint8_t parameter;
	};
	std::vector<Part> parts;
	size_t i = 3;
	for (;;) {
		size_t start = i;
		while (i < fPending.size() &&
		       (std::isdigit(static_cast<uint8_t>(fPending[i])) != 0 || fPending[i] == '.' ||
		        fPending[i] == '-' || fPending[i] == '+'))
			i++;
		if (i == fPending.size())
			return;
		uint8_t parameter = static_cast<uint8_t>(fPending[i]);
		if (parameter < 0x40 || parameter > 0x7E) {
			_Unknown(i + 1);
			return;
		}
		double value = i > start ? atof(fPending.substr(start, i - start).c_str()) : 0;
		parts.push_back({value, static_cast<uint8_t>(std::toupper(parameter))});
		i++;
		if (parameter <= 0x5E)
			break;
	}
	const size_t length = i;
	bool known = true;
	for (const Part& part : parts) {
		const int value = static_cast<int>(part.value);
		switch (command << 16 | group << 8 | part.parameter) {
			case '(' << 16 | 's' << 8 | 'H':
				if (part.value > 0)
					fPclPitch = part.value;
				break;
			case '(' << 16 | 's' << 8 | 'V': // a height: the fixed pitch stays
			case '(' << 16 | 's' << 8 | 'T': // a typeface
			case '(' << 16 | 's' << 8 | 'U': // a place above or below the line
			case '&' << 16 | 'k' << 8 | 'W': // the print direction
			case '&' << 16 | 'l' << 8 | 'L': // the perforation skip
				fWithoutEffect++;
				break;
			case '(' << 16 | 's' << 8 | 'Q':
				fQuality = value <= 1 ? kDraftQuality : kLetterQuality;
				break;
			case '(' << 16 | 's' << 8 | 'P':
				fProportional = value == 1;
				break;
			case '(' << 16 | 's' << 8 | 'B':
				fBold = value > 0;
				break;
			case '(' << 16 | 's' << 8 | 'S':
				fItalic = (value & 1) != 0;
				break;
			case '&' << 16 | 'l' << 8 | 'O':
				if (fSheetTouched || !fSheet.runs.empty())
					_Eject();
				fLandscape = (value & 1) != 0;
				break;
			case '&' << 16 | 'l' << 8 | 'A':
				_SelectPaper(value);
				break;
			case '&' << 16 | 'l' << 8 | 'H':
				// 0 ejects the page; the others feed a sheet from a source,
				// ejecting the one in the printer first.
				if (fSheetTouched || !fSheet.runs.empty())
					_Eject();
				break;
			case '&' << 16 | 'l' << 8 | 'D':
				if (value > 0 && 48 % value == 0)
					fLineSpacing = kInch / value;
				break;
			case '&' << 16 | 'l' << 8 | 'C':
				if (part.value > 0)
					fLineSpacing = Units(part.value / 48);
				break;
			case '&' << 16 | 'k' << 8 | 'G':
				fLineTermination = value & 3;
				break;
			case '&' << 16 | 'k' << 8 | 'H':
				if (part.value > 0)
					fPclPitch = 120 / part.value;
				break;
			case '&' << 16 | 's' << 8 | 'C':
				fWrap = value == 0;
				break;
			case '&' << 16 | 'd' << 8 | 'D':
				fUnderline = true;
				break;
			case '&' << 16 | 'd' << 8 | '@':
				fUnderline = false;
				break;
			default:
				known = false;
		}
	}
	if (!known) {
		_Unknown(length);
		return;
	}
	fPending.erase(0, length);
}
