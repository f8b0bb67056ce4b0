// Lines and raw files longer than the 99,999-byte staging buffer: nothing is
// cut, bytes keep their order, tab stops keep counting, and the only change is
// that such a line reaches the output in more than one write.
#include <cstring>

#include "EngineFixture.h"
#include "LineBuffer.h"
#include "PrintJob.h"
#include "TextPage.h"
#include "TextPagePrinter.h"

namespace {

typedef std::vector<std::string> Writes;

std::string
Repeat(const std::string& piece, size_t times)
{
	std::string text;
	text.reserve(piece.size() * times);
	for (size_t i = 0; i < times; i++)
		text += piece;
	return text;
}

class LongLineTest : public EngineTest {};

TEST_F(LongLineTest, TabbedLineThreeTimesTheBufferIsPrintedWhole)
{
	// 250,002 bytes of "ab<tab>" in one line, tab stops every 8 columns. The
	// line starts at column 6 behind the top blank lines: "ab" reaches 8, a
	// stop, so the first tab gives 8 spaces; every later "ab" ends 2 past a
	// stop and its tab gives 6. 99,999 is no multiple of 8: a column that
	// restarted after a full buffer would shift the spaces.
	const size_t kPieces = 83334;
	Use(PageSettings{.filter = "All", .tabSize = 8});
	std::string file = Repeat("ab\t", kPieces) + "\n" + "\tz\n";

	std::string firstLine = Hex("0A 0D 0A 0D 0A 0D") + "ab" + std::string(8, ' ') +
		Repeat("ab" + std::string(6, ' '), kPieces - 1) + Hex("0A 0D");
	ASSERT_GT(firstLine.size(), 6u * kLineBufferSize);
	const Writes expected{
		firstLine,
		std::string(8, ' ') + "z" + Hex("0A 0D"),  // back at column 0
		"",
		Hex("0C"),
	};
	EXPECT_TRUE(SameWritesAllowingSplits(PrintText(file), expected));
	EXPECT_EQ(LineCount, 2);
	EXPECT_EQ(LineLenght, 0);
}

TEST_F(LongLineTest, RawFileLargerThanTheBufferKeepsEveryByte)
{
	std::string file;
	for (size_t i = 0; file.size() < 300000; i++)
		file += static_cast<char>(i * 7 % 256);
	Use(PageSettings{.filter = "NO", .paperY = 5});
	EXPECT_TRUE(SameWritesAllowingSplits(
		PrintText(file), Writes{Hex("0A 0D 0A 0D 0A 0D") + file, Hex("0C")}));
}

TEST_F(LongLineTest, LineThatFitsTheBufferIsOneWriteAtEveryBoundary)
{
	// Line plus new-line code just under, at and just over 99,999 bytes; the
	// code itself may straddle the limit.
	Use(PageSettings{.filter = "YES", .topBlankLines = 0, .paperY = 2});
	for (size_t length : {99996u, 99997u, 99998u, 99999u, 100000u}) {
		SCOPED_TRACE(length);
		std::string line(length, 'x');
		EXPECT_TRUE(SameWritesAllowingSplits(PrintText(line + "\n" + line + "\nq\n"),
			Writes{line + Hex("0A 0D"), line + Hex("0A 0D"), Hex("0C") + "q" + Hex("0A 0D"), "",
				Hex("0C")}));
	}
}

TEST_F(LongLineTest, FileInPiecesPrintsAsIfItHadFitted)
{
	// A 2.5 MB file handed over in pieces of 999,999 bytes at most.
	static std::string sFile;
	static size_t sOffset;
	sFile = Repeat("line\tof text\r\n", 180000);
	Use(PageSettings{.filter = "All", .topBlankLines = 0, .tabSize = 8, .paperY = 1000});

	sOffset = std::min(sFile.size(), sizeof(FileBuffer));
	memcpy(FileBuffer, sFile.data(), sOffset);
	FileLenght = static_cast<int32_t>(sOffset);
	file_piece_reader nextPiece = []() -> int32_t {
		size_t piece = std::min(sFile.size() - sOffset, sizeof(FileBuffer));
		memcpy(FileBuffer, sFile.data() + sOffset, piece);
		sOffset += piece;
		return static_cast<int32_t>(piece);
	};
	fOutput.Forget();
	PrintTextPages(nextPiece);

	// Each text line is "line", spaces to column 8, "of text", then CR and
	// LF; 1000 line ends make a page, so a page holds 500 text lines. On the
	// first line of a later page the eject code stands at column 0.
	const std::string text = "line    of text" + Hex("0A 0D");
	const std::string pageStart = Hex("0C") + "line   of text" + Hex("0A 0D");
	Writes expected;
	for (size_t line = 0; line < 180000; line++) {
		expected.push_back(line > 0 && line % 500 == 0 ? pageStart : text);
		expected.push_back(Hex("0A 0D"));
	}
	expected.push_back("");
	expected.push_back(Hex("0C"));
	EXPECT_TRUE(SameWritesAllowingSplits(fOutput.Writes(), expected));
	EXPECT_EQ(LineCount, 1000);
	sFile.clear();
}

}  // namespace
