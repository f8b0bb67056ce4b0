// Real text through each printer character set, whole and cut into pieces at
// every byte, and the command each printer model is sent to select the set.
#include <gtest/gtest.h>

#include <string>

#include "CharacterSet.h"
#include "PrinterProfiles.h"

namespace {

std::string
Convert(const char* setName, const std::string& text, int64_t* unknown = nullptr)
{
	const CharacterSet* set = FindCharacterSet(setName);
	EXPECT_NE(set, nullptr) << setName;
	CharacterSetConverter converter(*set);
	converter.Begin();
	std::string out;
	converter.Convert(text.data(), text.size(), out);
	converter.Finish(out);
	if (unknown != nullptr)
		*unknown = converter.Unknown();
	return out;
}

struct Case {
	const char* set;
	const char* text;      // UTF-8, or older bytes
	const char* expected;  // what the printer gets
	int64_t unknown;       // printed as "?"
};

// The expected bytes are the code pages' published positions.
const Case kCases[] = {
	// French and German on the PC pages and the ISO pages.
	{ "cp437", "Ça été façile, Müße", "\x80" "a \x82t\x82 fa\x87ile, M\x81\xE1" "e", 0 },
	{ "cp850", "Ça été façile, Müße", "\x80" "a \x82t\x82 fa\x87ile, M\x81\xE1" "e", 0 },
	{ "latin1", "Ça été façile, Müße", "\xC7" "a \xE9t\xE9 fa\xE7ile, M\xFC\xDF" "e", 0 },
	// Spanish and Portuguese.
	{ "cp850", "¿Señor? São João", "\xA8Se\xA4or? S\xC6o Jo\xC6o", 0 },
	{ "latin9", "¿Señor? São João", "\xBFSe\xF1or? S\xE3o Jo\xE3o", 0 },
	// Nordic: CP437 lacks ø and Ø, CP850 has them.
	{ "cp437", "Smørrebrød Ærø Å", "Sm?rrebr?d \x92r? \x8F", 3 },
	{ "cp850", "Smørrebrød Ærø Å", "Sm\x9Brrebr\x9B" "d \x92r\x9B \x8F", 0 },
	// Box drawing lives on the PC pages only.
	{ "cp437", "┌─┐│└┘", "\xDA\xC4\xBF\xB3\xC0\xD9", 0 },
	{ "latin1", "┌─┐", "+-+", 0 },
	// Typographic punctuation: stand-ins where the set has none.
	{ "latin1", "“Quote” – ‘it’…", "\"Quote\" - 'it'...", 0 },
	// The euro: CP858 and Latin-9 have it, CP850 and Latin-1 spell it out.
	{ "cp858", "5 €", "5 \xD5", 0 },
	{ "latin9", "5 €", "5 \xA4", 0 },
	{ "cp850", "5 €", "5 EUR", 0 },
	{ "latin1", "5 €", "5 EUR", 0 },
	// No stand-in at all: "?", and counted.
	{ "cp850", "漢字 ★", "?? ?", 3 },
	// A byte-order mark at the start is dropped; one later is a character.
	{ "latin1", "\xEF\xBB\xBF" "abc", "abc", 0 },
	// Bytes that are not UTF-8 are read as Windows-1252.
	{ "cp850", "caf\xE9 \x80 na\xEFve", "caf\x82 EUR na\x8Bve", 0 },
	{ "latin9", "\x93hi\x94 \x80", "\"hi\" \xA4", 0 },
	// Overlong forms, surrogates and cut sequences are not UTF-8 either.
	{ "latin1", "\xC0\xAF \xED\xA0\x80 \xE2\x82", "\xC0\xAF \xED\xA0" "EUR \xE2,", 0 },
	// A C1 control keeps its place in the ISO sets (the full filter drops it).
	{ "latin1", "\xC2\x85", "\x85", 0 },
};

TEST(CharacterSetTest, ConvertsRealText)
{
	for (const Case& c : kCases) {
		int64_t unknown = -1;
		EXPECT_EQ(Convert(c.set, c.text, &unknown), c.expected) << c.set << ": " << c.text;
		EXPECT_EQ(unknown, c.unknown) << c.set << ": " << c.text;
	}
}

TEST(CharacterSetTest, PiecesGiveTheSameBytesAsTheWhole)
{
	std::string text;
	for (const Case& c : kCases)
		text += c.text;
	for (const char* setName : { "cp437", "latin9" }) {
		int64_t wholeUnknown;
		std::string whole = Convert(setName, text, &wholeUnknown);
		CharacterSetConverter converter(*FindCharacterSet(setName));
		for (size_t piece = 1; piece <= 5; piece++) {
			for (size_t first = 0; first < 8; first++) {
				converter.Begin();
				std::string out;
				size_t at = 0;
				for (size_t size = first; at < text.size(); size = piece) {
					size_t n = std::min(size, text.size() - at);
					converter.Convert(text.data() + at, n, out);
					at += n;
				}
				converter.Finish(out);
				ASSERT_EQ(out, whole) << setName << " pieces of " << piece << " after " << first;
				ASSERT_EQ(converter.Unknown(), wholeUnknown);
			}
		}
	}
}

TEST(CharacterSetTest, NamesOnlyTheKnownSets)
{
	for (const char* name : { "CP850", "utf-8", "latin", "cp850 ", "" })
		EXPECT_EQ(FindCharacterSet(name), nullptr) << name;
	EXPECT_EQ(CharacterSetNames(), "cp437, cp850, cp858, latin1 or latin9");
}

TEST(CharacterSetTest, EachModelIsSentItsOwnSelection)
{
	struct Selection {
		const char* model;
		const char* set;
		const char* code;
	};
	const Selection kSelections[] = {
		{ "Epson Dot Matrix Compatible.", "cp437", "1B 28 74 03 00 01 01 00 1B 74 01 1B 36" },
		{ "Epson Stylus ESC/P2", "cp858", "1B 28 74 03 00 01 2C 00 1B 74 01 1B 36" },
		{ "Epson Dot Matrix Compatible.", "latin9", "1B 28 74 03 00 01 1D 0F 1B 74 01" },
		{ "Epson Stylus ESC/P2", "latin1", "1B 28 74 03 00 01 1D 10 1B 74 01" },
		{ "IBM Proprinter III", "cp850", "1B 5B 54 04 00 00 00 03 52" },
		{ "IBM Proprinter III", "latin9", "1B 5B 54 04 00 00 00 03 9B" },
		{ "HP DeskJet 500C.", "cp437", "1B 28 31 30 55" },
		{ "HP DeskJet 500C.", "latin1", "1B 28 30 4E" },
		{ "RAW ASCII", "cp850", "" },
		{ "Pure ASCII", "latin1", "" },
		{ "Generic ASCII.", "cp437", "" },
	};
	for (const Selection& s : kSelections)
		EXPECT_EQ(CharacterSetCode(s.model, *FindCharacterSet(s.set)), s.code) << s.model << " " << s.set;
}

}  // namespace
