#include "ReferencePrinter.h"

// The value of a character of a pair, by ranges anchored where the digits
// begin: up to '9' a character counts from '0', from ':' to '_' from 'A' as
// ten, from '`' on from 'a' as ten, whether or not it is a hex digit; the
// bytes 0x80 to 0xFF count as negative. So ' ' gives -16, 'G' and 'g' 16.
static int32_t
PairCharacterValue(char character)
{
	int32_t code = static_cast<signed char>(character);
	if (code <= '9')
		return code - '0';
	if (code <= '_')
		return code - 'A' + 10;
	return code - 'a' + 10;
}

void
ReferencePrinter::StageCode(const std::string& code)
{
	const char* text = code.c_str();
	size_t p = 0;
	while (text[p] != '\0') {
		if (text[p] == ' ')
			p++;
		// A pair that the terminator cuts short gives nothing.
		if (text[p] == '\0' || text[p + 1] == '\0')
			return;
		int32_t high = PairCharacterValue(text[p++]);
		int32_t low = PairCharacterValue(text[p++]);
		asc = 16 * high + low;
		Append();
	}
}

void
ReferencePrinter::Flush()
{
	writes.push_back(staged);
	staged.clear();
}

void
ReferencePrinter::StartPage()
{
	StageCode(loadPaper);
	for (int32_t i = 0; i < topBlankLines; i++)
		StageCode(newLine);
	lineCount = 0;
}

void
ReferencePrinter::Print(const std::string& file)
{
	StartPage();
	enum { kRaw, kLineEnd, kFull } mode = kRaw;
	if (filter == "YES" || filter == "Yes")
		mode = kLineEnd;
	else if (filter == "ALL" || filter == "All")
		mode = kFull;

	for (char byte : file) {
		if (lineCount == paperY) {
			StageCode(ejectPaper);
			StartPage();
		}
		asc = static_cast<signed char>(byte);
		if (mode == kRaw) {
			Append();
		} else if (asc == 0x0A || asc == 0x0D) {
			StageCode(newLine);
			Flush();
			lineCount++;
		} else if (mode == kLineEnd) {
			Append();
		} else if (asc == 0x09) {
			asc = 0x20;
			Append();
			while (tabSize > 0 && staged.size() % static_cast<size_t>(tabSize) != 0)
				Append();
		} else if (asc > 0x1F) {
			Append();
		}
	}
	Flush();
	StageCode(ejectPaper);
	Flush();
}
