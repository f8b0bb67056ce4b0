// What one script line says: the words a user meant, or why the line cannot
// be taken. Each case is written as a user would type it and as the words
// the program must act on.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ScriptUser.h"

namespace {

using namespace std::string_literals;

struct LineCase {
	std::string line;
	script_line_kind kind;
	std::vector<std::string> words;  // for an action
	std::string error;               // for an error
};

const LineCase kCases[] = {
	{ "", kScriptSkip, {}, "" },
	{ " \t\r", kScriptSkip, {}, "" },
	{ "  # drop a.txt", kScriptSkip, {}, "" },
	{ "drop a.txt b.txt", kScriptAction, { "drop", "a.txt", "b.txt" }, "" },
	{ "\tmenu\tMPhp\r", kScriptAction, { "menu", "MPhp" }, "" },
	{ "menu \"HP Deskjet Series\"", kScriptAction, { "menu", "HP Deskjet Series" }, "" },
	{ "drop \"\"", kScriptAction, { "drop", "" }, "" },
	{ "drop a\"b", kScriptAction, { "drop", "a\"b" }, "" },
	{ R"(drop "say \"hi\"")", kScriptAction, { "drop", "say \"hi\"" }, "" },
	{ R"(drop "t\tn\nr\r\\")", kScriptAction, { "drop", "t\tn\nr\r\\" }, "" },
	{ R"(drop "\x41\x7f\xC3\xa9")", kScriptAction, { "drop", "A\x7f\xc3\xa9" }, "" },
	// A backslash before anything else, or a cut-short \x, is itself.
	{ R"(drop "C:\dir\x4" "\q")", kScriptAction, { "drop", "C:\\dir\\x4", "\\q" }, "" },
	{ R"(drop "ends with \")", kScriptError, {}, "unclosed quote" },
	{ "drop \"open", kScriptError, {}, "unclosed quote" },
	{ R"(drop "a.txt\x00.pdf")", kScriptError, {}, "a NUL byte in the line" },
	{ "drop a.txt\0.pdf"s, kScriptError, {}, "a NUL byte in the line" },
};

TEST(ScriptReaderTest, EachLineGivesTheWordsMeantOrSaysWhyNot)
{
	for (const LineCase& test : kCases) {
		SCOPED_TRACE(test.line);
		std::vector<std::string> words = { "left from before" };
		std::string error;
		script_line_kind kind = read_script_line(test.line, words, error);
		EXPECT_EQ(kind, test.kind);
		EXPECT_EQ(words, test.words);
		if (test.kind == kScriptError) {
			EXPECT_EQ(error, test.error);
		}
	}
}

}  // namespace
