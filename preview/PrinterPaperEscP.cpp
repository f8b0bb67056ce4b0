// The escapes of ESC/P and of the Proprinter, which share their two-byte
// ones, as they fall on the paper.
#include "PrinterPaper.h"

#include <cstdint>
#include <string>

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
			fLineSpacing = kUnitsPerInch / 8;
			return true;
		case '2':
			fLineSpacing = kUnitsPerInch / 6;
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
							fFormLength = kUnitsPerInch * parameter(3);
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
