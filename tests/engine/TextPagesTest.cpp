// The text page printer, write for write, on small files worked out by hand:
// the three filter modes, tab stops, and where pages break.
#include "EngineFixture.h"
#include "LineBuffer.h"
#include "PrintJob.h"
#include "SettingsStore.h"
#include "TextPage.h"
#include "TextPagePrinter.h"

namespace {

typedef std::vector<std::string> Writes;

class TextPagesTest : public EngineTest {
protected:
	Writes PrintHex(const std::string& file) { return ToHex(PrintText(file)); }
};

TEST_F(TextPagesTest, FullFilterExampleExpandsTabsFromTheStagedColumn)
{
	Use(PageSettings{.filter = "All", .paperY = 60});
	EXPECT_EQ(PrintHex(Hex("61 09 62 0A 63 09 64 0A")), (Writes{
		"0A 0D 0A 0D 0A 0D 61 20 62 0A 0D",
		"63 20 20 20 64 0A 0D",
		"",
		"0C",
	}));
	EXPECT_EQ(LineCount, 2);
	EXPECT_EQ(LineLenght, 0);
}

TEST_F(TextPagesTest, LineEndExampleBreaksThePageAfterTwoLines)
{
	Use(PageSettings{.filter = "YES", .paperY = 2});
	EXPECT_EQ(PrintHex(Hex("31 0A 32 0A 33")), (Writes{
		"0A 0D 0A 0D 0A 0D 31 0A 0D",
		"32 0A 0D",
		"0C 0A 0D 0A 0D 0A 0D 33",
		"0C",
	}));
	EXPECT_EQ(LineCount, 0);
}

TEST_F(TextPagesTest, RawExampleIsOneWriteThenTheEject)
{
	Use(PageSettings{.filter = "NO", .paperY = 60});
	EXPECT_EQ(PrintHex(Hex("61 09 62 0A 63 09 64 0A")), (Writes{
		"0A 0D 0A 0D 0A 0D 61 09 62 0A 63 09 64 0A",
		"0C",
	}));
	EXPECT_EQ(LineCount, 0);
}

TEST_F(TextPagesTest, FilterWordIsMatchedExactly)
{
	const std::string file = Hex("61 09 62 01 0A");
	const Writes lineEnd{"0A 0D 0A 0D 0A 0D 61 09 62 01 0A 0D", "", "0C"};
	const Writes fullFilter{"0A 0D 0A 0D 0A 0D 61 20 62 0A 0D", "", "0C"};
	const Writes raw{"0A 0D 0A 0D 0A 0D 61 09 62 01 0A", "0C"};
	const struct {
		const char* word;
		const Writes& writes;
	} cases[] = {
		{"YES", lineEnd}, {"Yes", lineEnd}, {"ALL", fullFilter}, {"All", fullFilter},
		{"NO", raw}, {"", raw}, {"yes", raw}, {"all", raw}, {"YES ", raw}, {"Al", raw},
		{"AllX", raw},
	};
	for (const auto& filter : cases) {
		SCOPED_TRACE(std::string("\"") + filter.word + "\"");
		Use(PageSettings{.filter = filter.word});
		EXPECT_EQ(PrintHex(file), filter.writes);
	}
}

TEST_F(TextPagesTest, EachModePassesOrDropsTheBytesItShould)
{
	std::string file = "A";
	for (int byte = 0x80; byte <= 0xFF; byte++)
		file += static_cast<char>(byte);
	file += '\x7F';
	std::string controls;
	for (int byte = 0x00; byte <= 0x1F; byte++) {
		if (byte != '\t' && byte != '\n' && byte != '\r')
			controls += static_cast<char>(byte);  // form feed among them
	}
	file += controls + "B\n";
	const std::string top = Hex("0A 0D 0A 0D 0A 0D");

	Use(PageSettings{.filter = "All"});
	EXPECT_EQ(PrintHex(file), (Writes{"0A 0D 0A 0D 0A 0D 41 7F 42 0A 0D", "", "0C"}));
	EXPECT_EQ(LineCount, 1);

	Use(PageSettings{.filter = "YES"});
	EXPECT_EQ(PrintText(file),
		(Writes{top + file.substr(0, file.size() - 1) + Hex("0A 0D"), "", Hex("0C")}));
	EXPECT_EQ(LineCount, 1);

	Use(PageSettings{.filter = "NO"});
	EXPECT_EQ(PrintText(file), (Writes{top + file, Hex("0C")}));
}

TEST_F(TextPagesTest, FormFeedNeitherBreaksNorCountsALine)
{
	const std::string file = "a\n\fb\nc";
	Use(PageSettings{.filter = "YES", .paperY = 2});
	EXPECT_EQ(PrintHex(file), (Writes{
		"0A 0D 0A 0D 0A 0D 61 0A 0D",
		"0C 62 0A 0D",
		"0C 0A 0D 0A 0D 0A 0D 63",
		"0C",
	}));
	Use(PageSettings{.filter = "All", .paperY = 2});
	EXPECT_EQ(PrintHex(file), (Writes{
		"0A 0D 0A 0D 0A 0D 61 0A 0D",
		"62 0A 0D",
		"0C 0A 0D 0A 0D 0A 0D 63",
		"0C",
	}));
}

TEST_F(TextPagesTest, CrLfIsTwoLineEndsTwoWritesTwoCounts)
{
	for (const char* filter : {"YES", "All"}) {
		SCOPED_TRACE(filter);
		Use(PageSettings{.filter = filter, .paperY = 2});
		EXPECT_EQ(PrintHex("a\r\nb\r\nc"), (Writes{
			"0A 0D 0A 0D 0A 0D 61 0A 0D",
			"0A 0D",
			"0C 0A 0D 0A 0D 0A 0D 62 0A 0D",
			"0A 0D",
			"0C 0A 0D 0A 0D 0A 0D 63",
			"0C",
		}));
		EXPECT_EQ(LineCount, 0);
	}
}

TEST_F(TextPagesTest, TabStopsCountStagedBytes)
{
	// No top lines: the first line starts at column 0.
	Use(PageSettings{.topBlankLines = 0, .tabSize = 4});
	EXPECT_EQ(PrintHex("\tx\nabcd\ty\nab\t\tz"), (Writes{
		"20 20 20 20 78 0A 0D",           // at a stop: a full tab of spaces
		"61 62 63 64 20 20 20 20 79 0A 0D",
		"61 62 20 20 20 20 20 20 7A",     // 2 to 4, then 4 to 8
		"0C",
	}));

	Use(PageSettings{.topBlankLines = 0, .tabSize = 1});
	EXPECT_EQ(PrintHex("a\t\tb"), (Writes{"61 20 20 62", "0C"}));

	for (int32_t tabSize : {0, -3}) {
		SCOPED_TRACE(tabSize);
		Use(PageSettings{.topBlankLines = 0, .tabSize = tabSize});
		EXPECT_EQ(PrintHex("abc\t\td\t"), (Writes{"61 62 63 20 20 64 20", "0C"}));
	}

	// After a page break the eject and top-of-page codes count too:
	// 0C 0A 0D is three bytes, so the tab gives one space.
	Use(PageSettings{.topBlankLines = 1, .tabSize = 4, .paperY = 1});
	EXPECT_EQ(PrintHex("x\n\ty"), (Writes{"0A 0D 78 0A 0D", "0C 0A 0D 20 79", "0C"}));

	// Tabs are left alone outside full-filter mode.
	Use(PageSettings{.filter = "YES", .topBlankLines = 0});
	EXPECT_EQ(PrintHex("\ta\n"), (Writes{"09 61 0A 0D", "", "0C"}));
}

TEST_F(TextPagesTest, TopOfPageIsLoadPaperThenTheBlankLines)
{
	Use(PageSettings{.topBlankLines = 2, .paperY = 1, .loadPaper = "1B 19 52", .newLine = "0D 0A"});
	EXPECT_EQ(PrintHex("a\nb"), (Writes{
		"1B 19 52 0D 0A 0D 0A 61 0D 0A",
		"0C 1B 19 52 0D 0A 0D 0A 62",
		"0C",
	}));
	for (int32_t lines : {0, -2}) {
		SCOPED_TRACE(lines);
		Use(PageSettings{.topBlankLines = lines, .paperY = 1, .loadPaper = "1B 19 52"});
		EXPECT_EQ(PrintHex("a\nb"), (Writes{"1B 19 52 61 0A 0D", "0C 1B 19 52 62", "0C"}));
	}
}

TEST_F(TextPagesTest, PageLengthZeroBreaksBeforeEveryByteInEveryMode)
{
	const std::string file = "a\x01\n";
	Use(PageSettings{.filter = "NO", .topBlankLines = 1, .paperY = 0});
	EXPECT_EQ(PrintHex(file), (Writes{
		"0A 0D 0C 0A 0D 61 0C 0A 0D 01 0C 0A 0D 0A",
		"0C",
	}));
	Use(PageSettings{.filter = "YES", .topBlankLines = 1, .paperY = 0});
	EXPECT_EQ(PrintHex(file), (Writes{
		"0A 0D 0C 0A 0D 61 0C 0A 0D 01 0C 0A 0D 0A 0D",
		"",
		"0C",
	}));
	Use(PageSettings{.filter = "All", .topBlankLines = 1, .paperY = 0});
	EXPECT_EQ(PrintHex(file), (Writes{
		"0A 0D 0C 0A 0D 61 0C 0A 0D 0C 0A 0D 0A 0D",  // the dropped byte still breaks
		"",
		"0C",
	}));
}

TEST_F(TextPagesTest, NegativePageLengthNeverBreaks)
{
	Use(PageSettings{.filter = "YES", .topBlankLines = 0, .paperY = -1});
	EXPECT_EQ(PrintHex("1\n2\n3\n4\n5"), (Writes{
		"31 0A 0D", "32 0A 0D", "33 0A 0D", "34 0A 0D", "35", "0C",
	}));
	EXPECT_EQ(LineCount, 4);
}

TEST_F(TextPagesTest, FileEndingOnTheLastLineOfAPageGetsNoEmptyPage)
{
	Use(PageSettings{.filter = "All", .paperY = 2});
	EXPECT_EQ(PrintHex("a\nb\n"), (Writes{
		"0A 0D 0A 0D 0A 0D 61 0A 0D",
		"62 0A 0D",
		"",
		"0C",
	}));
	// A form feed after it is dropped, but first breaks the page.
	EXPECT_EQ(PrintHex("a\nb\n\f"), (Writes{
		"0A 0D 0A 0D 0A 0D 61 0A 0D",
		"62 0A 0D",
		"0C 0A 0D 0A 0D 0A 0D",
		"0C",
	}));
}

TEST_F(TextPagesTest, EmptyFileIsAnEmptyPage)
{
	for (const char* filter : {"NO", "YES", "All"}) {
		for (int32_t length : {0, -1, -2147483647}) {
			SCOPED_TRACE(std::string(filter) + " " + std::to_string(length));
			Use(PageSettings{.filter = filter, .paperY = 0});
			FileBuffer[0] = 'x';  // not printed
			FileLenght = length;
			fOutput.Forget();
			PrintTextPages();
			EXPECT_EQ(ToHex(fOutput.Writes()), (Writes{"0A 0D 0A 0D 0A 0D", "0C"}));
		}
	}
}

TEST_F(TextPagesTest, EmptyCodesStageNothing)
{
	Use(PageSettings{.filter = "All", .paperY = 1, .newLine = "", .ejectPaper = ""});
	EXPECT_EQ(PrintHex("a\nb"), (Writes{"61", "62", ""}));
}

}  // namespace
