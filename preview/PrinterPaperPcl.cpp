// The escapes of PCL as they fall on the paper: the sheet, the pitch and the
// symbol set, the margins and the line spacing.
#include "PrinterPaper.h"

#include <cstdint>
#include <cstdlib>
#include <string>

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
					fLineSpacing = kUnitsPerInch / value;
				break;
			case '&' << 16 | 'l' << 8 | 'C':
				if (part.value > 0)
					fLineSpacing = paper_units(part.value / 48);
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
