// Printing with a printer character set chosen: each model's selection after
// the preamble, converted text under each filter, the count of what had no
// equivalent, a value that names no set, and the unchanged default.

#include <gtest/gtest.h>

#include <string>

#include "QuillonRun.h"

namespace {

const char* const kEpsonPreamble = "1B 40 12 1B 50 1B 78 00 1B 70 00 1B 55 00";
const char* const kHPPreamble = "1B 45 1B 28 73 31 30 48 1B 28 73 31 51 1B 70 00 1B 55 00";

RunResult
Print(const ScratchDir& directory, const std::string& printer, const std::string& charset,
	const std::string& text)
{
	directory.Write("text.txt", text);
	RunOptions options;
	if (charset != "unset")
		options.environment.push_back({ "QUILLON_CHARSET", charset });
	std::string script = "menu \"Printer File\"\n";
	if (!printer.empty())
		script += "menu " + quote_word(printer) + "\n";
	return run_quillon(directory, script + "drop text.txt\n", options);
}

TEST(CharacterSets, EachModelGetsItsSelectionAndConvertedText)
{
	struct Case {
		const char* printer;
		const char* charset;
		std::string text;
		std::string expected;
		const char* alert;
	};
	const std::string epsonTop = hex_bytes(kEpsonPreamble);
	const std::string lineEnd = hex_bytes("0A 0D");
	const Case kCases[] = {
		// The euro spelled out where the set has none; a tab stop counts the
		// one converted byte of "é", not its two bytes of UTF-8.
		{ "", "cp850", "€…\né\tx\n",
			epsonTop + hex_bytes("1B 28 74 03 00 01 03 00 1B 74 01 1B 36") + lineEnd + lineEnd
				+ lineEnd + "EUR..." + lineEnd + "\x82   x" + lineEnd + "\x0C",
			"" },
		// The full filter drops the ISO sets' C1 controls and keeps the rest
		// of the upper half.
		{ "Epson Stylus", "latin1", "a\xC2\x85" "b ñ\n",
			hex_bytes("1B 70 00 1B 55 00 1B 28 74 03 00 01 1D 10 1B 74 01") + lineEnd + lineEnd + lineEnd
				+ "ab \xF1" + lineEnd + "\x0C",
			"" },
		{ "HP Deskjet Series", "latin9", "5 €\n",
			hex_bytes(kHPPreamble) + hex_bytes("1B 28 39 4E 1B 26 6C 31 48 0D 0A 0D 0A 0D 0A")
				+ "5 \xA4" + hex_bytes("0D 0A 1B 26 6C 30 48"),
			"" },
		{ "IBM Proprinter", "cp437", "漢字 ok\n",
			hex_bytes("1B 5B 4B 04 00 FF 24 00 00 12 1B 49 00 1B 70 00 1B 55 00")
				+ hex_bytes("1B 5B 54 04 00 00 00 01 B5") + lineEnd + lineEnd + lineEnd + "?? ok"
				+ lineEnd + "\x0C",
			"2 characters of text.txt have no equivalent in CP437 and were printed as ?." },
	};
	for (const Case& c : kCases) {
		ScratchDir directory;
		RunResult result = Print(directory, c.printer, c.charset, c.text);
		ASSERT_TRUE(result.exited) << result.Describe();
		EXPECT_EQ(printable(directory.Read("PrintFile")), printable(c.expected)) << c.charset;
		std::vector<std::string> alerts = result.Events("alert");
		if (c.alert[0] == '\0') {
			EXPECT_TRUE(alerts.empty()) << result.Describe();
		} else {
			ASSERT_EQ(alerts.size(), 1u) << result.Describe();
			EXPECT_EQ(split_event(alerts[0])[2], c.alert);
		}
	}
}

TEST(CharacterSets, WithoutASetOrWithRawDataTheBytesGoAsRead)
{
	const std::string text = "caf\xC3\xA9 \xE2\x82\xAC\t\x85\n";
	for (const char* printer : { "", "All Raw Data" }) {
		ScratchDir unset;
		Print(unset, printer, "unset", text);
		for (const char* charset : { "", "cp850" }) {
			// With no set, and under "All Raw Data" with one, nothing changes.
			if (printer[0] == '\0' && charset[0] != '\0')
				continue;
			ScratchDir directory;
			RunResult result = Print(directory, printer, charset, text);
			ASSERT_TRUE(result.exited) << result.Describe();
			EXPECT_EQ(printable(directory.Read("PrintFile")), printable(unset.Read("PrintFile")))
				<< printer << " " << charset;
			EXPECT_TRUE(result.Events("alert").empty()) << result.Describe();
		}
	}
}

TEST(CharacterSets, AnUnknownSetStopsTheJobBeforeItStarts)
{
	ScratchDir directory;
	RunResult result = Print(directory, "", "utf8", "x\n");
	ASSERT_EQ(result.Events("alert").size(), 1u) << result.Describe();
	EXPECT_EQ(split_event(result.Events("alert")[0])[2],
		"QUILLON_CHARSET is \"utf8\", which is no character set Quillon knows: use cp437, cp850, "
		"cp858, latin1 or latin9. Nothing was printed.");
	EXPECT_FALSE(directory.Exists("PrintFile"));
}

}  // namespace
