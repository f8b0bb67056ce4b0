// Random files under random settings, in all three filter modes, against the
// plain reference printer: the same bytes in the same writes (a write longer
// than the staging buffer may come in pieces), the same LineCount and ASC.
// Every other round takes the portable scan, which a processor with a wider
// one would otherwise never run: the printer's call of the wide form is
// wrapped at link time (-Wl,--wrap), and the wrapper passes it on to one form
// or the other.
#include <algorithm>
#include <cstring>
#include <random>

#include "EngineFixture.h"
#include "LineBuffer.h"
#include "PrintJob.h"
#include "ReferencePrinter.h"
#include "SettingsStore.h"
#include "TextPage.h"
#include "TextPagePass.h"
#include "TextPagePrinter.h"

namespace {

bool sWidestScan = true;

}  // namespace

#if defined(QUILLON_AVX2_FORM)
// The linker's names for the printer's call of PassOverPieceAvx2 and for the
// function itself, given the C++ name of the function they stand for.
void WrappedPassOverPieceAvx2(const char* bytes, int32_t count) __asm__(
	"__wrap__Z17PassOverPieceAvx2PKci");
void RealPassOverPieceAvx2(const char* bytes, int32_t count) __asm__(
	"__real__Z17PassOverPieceAvx2PKci");

void
WrappedPassOverPieceAvx2(const char* bytes, int32_t count)
{
	if (sWidestScan)
		RealPassOverPieceAvx2(bytes, count);
	else
		PassOverPiecePortable(bytes, count);
}
#endif

namespace {

const char* const kFilters[] = {"All", "ALL", "YES", "Yes", "NO", "", "all", "yes"};
const char* const kCodes[] = {
	"", "0C", "0A 0D", "0D 0A", "0a", " 0C", "0A0D", "1B 40", "1b 26 6c 30 48",
	"0D 0A 0D 0A 0D 0A 0D 0A", "09 20", "FF 80", "1G", "1B 4", "0C ", " ",
};
const int32_t kTabSizes[] = {4, 4, 8, 1, 3, 0, -2};

template<typename T, size_t N>
T
Pick(std::mt19937& random, const T (&choices)[N])
{
	return choices[std::uniform_int_distribution<size_t>(0, N - 1)(random)];
}

// With plainPercent, that share of the bytes other than line ends is plain
// text, so that runs grow long.
char
RandomByte(std::mt19937& random, int lineEndPercent, int plainPercent = 0)
{
	int roll = std::uniform_int_distribution<int>(0, 99)(random);
	if (roll < lineEndPercent)
		return roll % 3 == 0 ? '\r' : '\n';
	if (plainPercent > 0 && std::uniform_int_distribution<int>(0, 99)(random) < plainPercent)
		return static_cast<char>(std::uniform_int_distribution<int>(0x20, 0x7E)(random));
	roll = std::uniform_int_distribution<int>(0, 99)(random);
	if (roll < 60)
		return static_cast<char>(std::uniform_int_distribution<int>(0x20, 0x7E)(random));
	if (roll < 75)
		return '\t';
	if (roll < 80)
		return '\f';
	if (roll < 82)
		return '\x7F';
	if (roll < 90)
		return static_cast<char>(std::uniform_int_distribution<int>(0x00, 0x1F)(random));
	return static_cast<char>(std::uniform_int_distribution<int>(0x80, 0xFF)(random));
}

// The file is handed to the printer in pieces of random length up to this
// many bytes through the piece reader, or whole when it is 0.
std::string sFile;
size_t sOffset;
size_t sPieceLimit;
std::mt19937 sPieceRandom;

int32_t
NextPiece()
{
	size_t piece = sFile.size() - sOffset;
	if (sPieceLimit != 0)
		piece = std::min(piece, std::uniform_int_distribution<size_t>(1, sPieceLimit)(sPieceRandom));
	memcpy(FileBuffer, sFile.data() + sOffset, piece);
	sOffset += piece;
	return static_cast<int32_t>(piece);
}

class DifferentialTest : public EngineTest {
protected:
	void TearDown() override
	{
		EngineTest::TearDown();
		sWidestScan = true;
		sFile.clear();
		sFile.shrink_to_fit();
	}

	void Compare(std::mt19937& random, size_t length, int lineEndPercent, size_t pieceLimit,
		int plainPercent = 0)
	{
		ReferencePrinter reference;
		reference.filter = Pick(random, kFilters);
		reference.topBlankLines = std::uniform_int_distribution<int32_t>(-1, 4)(random);
		reference.tabSize = Pick(random, kTabSizes);
		reference.paperY = std::uniform_int_distribution<int32_t>(-2, 12)(random);
		reference.loadPaper = Pick(random, kCodes);
		reference.newLine = Pick(random, kCodes);
		reference.ejectPaper = Pick(random, kCodes);
		sFile.clear();
		for (size_t i = 0; i < length; i++)
			sFile += RandomByte(random, lineEndPercent, plainPercent);

		SCOPED_TRACE("filter \"" + reference.filter + "\", top " +
			std::to_string(reference.topBlankLines) + ", tab " +
			std::to_string(reference.tabSize) + ", page " + std::to_string(reference.paperY) +
			", load \"" + reference.loadPaper + "\", new line \"" + reference.newLine +
			"\", eject \"" + reference.ejectPaper + "\", " + std::to_string(length) +
			" bytes, pieces of " + std::to_string(pieceLimit));

		FilterCodes = reference.filter.c_str();
		TopBlankLines = reference.topBlankLines;
		TabSize = reference.tabSize;
		PaperY = reference.paperY;
		LoadPaper = reference.loadPaper.c_str();
		NewLine = reference.newLine.c_str();
		EjectPaper = reference.ejectPaper.c_str();

		sWidestScan = fRound++ % 2 == 0;
		sPieceLimit = pieceLimit;
		sOffset = 0;
		FileLenght = length == 0 ? 0 : NextPiece();
		ASC = reference.asc = 5;
		LineCount = reference.lineCount = 77;
		fOutput.Forget();
		PrintTextPages(pieceLimit != 0 ? file_piece_reader(NextPiece) : nullptr);
		reference.Print(sFile);

		ASSERT_TRUE(SameWritesAllowingSplits(fOutput.Writes(), reference.writes));
		EXPECT_EQ(LineCount, reference.lineCount);
		EXPECT_EQ(ASC, reference.asc);
		EXPECT_EQ(LineLenght, 0);
	}

	int fRound = 0;
};

TEST_F(DifferentialTest, SmallFilesAgreeWithTheReference)
{
	std::mt19937 random(20240611);
	sPieceRandom.seed(7);
	for (int round = 0; round < 600; round++) {
		size_t length = std::uniform_int_distribution<size_t>(0, round % 10 == 0 ? 20 : 3000)(random);
		int lineEnds = std::uniform_int_distribution<int>(0, 30)(random);
		size_t pieces = round % 4 == 0 ? std::uniform_int_distribution<size_t>(1, 300)(random) : 0;
		Compare(random, length, lineEnds, pieces);
		if (HasFatalFailure())
			return;
	}
}

// Mostly plain text: runs span many blocks of the scan and end at every
// position of a block, at every alignment in the file and at every kind of
// piece boundary.
TEST_F(DifferentialTest, LongRunsAgreeWithTheReferenceWhereverTheyEnd)
{
	std::mt19937 random(31337);
	sPieceRandom.seed(17);
	for (int round = 0; round < 400; round++) {
		size_t length = std::uniform_int_distribution<size_t>(0, 1500)(random);
		int lineEnds = std::uniform_int_distribution<int>(0, 4)(random);
		size_t pieces = round % 2 == 0 ? std::uniform_int_distribution<size_t>(1, 70)(random) : 0;
		Compare(random, length, lineEnds, pieces, 97);
		if (HasFatalFailure())
			return;
	}
}

TEST_F(DifferentialTest, FilesWithLinesLongerThanTheBufferAgreeWithTheReference)
{
	std::mt19937 random(99999);
	sPieceRandom.seed(11);
	for (int round = 0; round < 12; round++) {
		size_t length = std::uniform_int_distribution<size_t>(100000, 400000)(random);
		size_t pieces = round % 3 == 0 ? std::uniform_int_distribution<size_t>(1000, 150000)(random) : 0;
		// Now and then a line end: most lines run past the buffer.
		Compare(random, length, round % 2, pieces);
		if (HasFatalFailure())
			return;
	}
}

}  // namespace
