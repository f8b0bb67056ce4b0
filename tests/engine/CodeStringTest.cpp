// Code strings, single bytes and the flush: what lands in the staging buffer
// and what leaves it, one write call per flush.
#include <cstring>
#include <memory>

#include "EngineFixture.h"
#include "LineBuffer.h"

namespace {

class CodeStringTest : public EngineTest {
protected:
	// Stages the code string from an allocation that ends right at its
	// terminator, so any read past it is out of bounds (and caught by ASan).
	std::string StageAlone(const char* code)
	{
		size_t size = strlen(code) + 1;
		std::unique_ptr<char[]> copy(new char[size]);
		memcpy(copy.get(), code, size);
		ForgetStaged();
		HexToBuffer(copy.get());
		return Staged();
	}
};

struct Staging {
	const char* code;
	const char* bytes;
};

TEST_F(CodeStringTest, WellFormedStringsStageOneBytePerPair)
{
	const Staging cases[] = {
		{"1B 40", "1B 40"},
		{"1b 4f", "1B 4F"},
		{"1B 4F", "1B 4F"},
		{"1B40", "1B 40"},
		{" 0C", "0C"},
		{"0C", "0C"},
		{"07 07 07", "07 07 07"},
		{"12 1B 50", "12 1B 50"},
		{"1b 26 6c 30 48", "1B 26 6C 30 48"},
		{"FF 00 aB", "FF 00 AB"},
	};
	for (const Staging& staging : cases) {
		SCOPED_TRACE(staging.code);
		EXPECT_EQ(ToHex(StageAlone(staging.code)), staging.bytes);
		EXPECT_EQ(LineLenght, static_cast<int32_t>(Hex(staging.bytes).size()));
	}
	EXPECT_TRUE(fOutput.Writes().empty()) << "staging alone writes nothing";
}

TEST_F(CodeStringTest, CharactersOutsideHexFollowTheDigitValueRule)
{
	// G and g are 16, a space is -16; the byte is the low 8 bits of the sum.
	const Staging cases[] = {
		{"1G", "20"},
		{"1g", "20"},
		{"1 B4", "00 B4"},   // the space is the low digit of the first pair
		{"gg", "10"},        // 272
		{"\xC8" "0", "80"},  // -56 as a signed char: 16 * -104 = -1664
		{"~~", "97"},        // 126 - 32 - 48 - 7 = 39: 16 * 39 + 39 = 663
		{"l0", "50"},        // 'l' folds to 'L', 21: 336
	};
	for (const Staging& staging : cases) {
		SCOPED_TRACE(staging.code);
		EXPECT_EQ(ToHex(StageAlone(staging.code)), staging.bytes);
	}
}

TEST_F(CodeStringTest, AscKeepsTheFullValueOfTheLastPair)
{
	StageAlone("1B 40");
	EXPECT_EQ(ASC, 64);
	StageAlone("gg");
	EXPECT_EQ(ASC, 272);
	StageAlone("\xC8" "0");
	EXPECT_EQ(ASC, -1664);
}

TEST_F(CodeStringTest, EmptyStringLeavesBufferCountAndAscAlone)
{
	HexToBuffer("1B 40");
	ASC = 1234;
	HexToBuffer("");
	EXPECT_EQ(LineLenght, 2);
	EXPECT_EQ(ASC, 1234);
	EXPECT_EQ(ToHex(Staged()), "1B 40");
}

TEST_F(CodeStringTest, PairCutShortByTheTerminatorYieldsNothing)
{
	const Staging cases[] = {
		{"1B 4", "1B"},    // odd number of digits
		{"1", ""},
		{"1B ", "1B"},     // trailing space
		{" ", ""},         // lone space
		{"  ", ""},        // two spaces: the second is a high digit, then the end
		{"1B  40", "1B 04"},  // ' ' and '4' make 16 * -16 + 4; '0' is cut short
	};
	for (const Staging& staging : cases) {
		SCOPED_TRACE(staging.code);
		ASC = 0;
		EXPECT_EQ(ToHex(StageAlone(staging.code)), staging.bytes);
	}

	// Bytes after the terminator that would make pairs stay unread.
	static const char kTrailing[] = "1B 4\0" "41 42";
	ForgetStaged();
	HexToBuffer(kTrailing);
	EXPECT_EQ(ToHex(Staged()), "1B");
	EXPECT_EQ(ASC, 0x1B);
}

TEST_F(CodeStringTest, WriteOneByteStagesTheLowEightBitsOfAsc)
{
	HexToBuffer("1B");
	ASC = -1;
	WriteOneByte();
	ASC = 0x141;
	WriteOneByte();
	ASC = 0;
	WriteOneByte();
	EXPECT_EQ(LineLenght, 4);
	EXPECT_EQ(ToHex(Staged()), "1B FF 41 00");
}

TEST_F(CodeStringTest, FlushOfNothingIsStillOneWriteOfZeroBytes)
{
	err = 77;
	PrintLineBuffer();
	EXPECT_EQ(fOutput.Writes(), std::vector<std::string>{""});
	EXPECT_EQ(err, 0);
	EXPECT_EQ(LineLenght, 0);
}

// Flushed bytes used to be zeroed as well. Nothing reads the buffer past
// LineLenght, and the clearing, a second pass over every printed byte, took
// about 7% of the text page printer's time on ordinary text, so the engine no
// longer does it and these tests no longer ask for it.
TEST_F(CodeStringTest, FlushWritesEverythingStagedInOneCall)
{
	HexToBuffer("1B 40 12");
	ASC = 0x1B;
	WriteOneByte();
	EXPECT_TRUE(fOutput.Writes().empty());

	PrintLineBuffer();
	EXPECT_EQ(ToHex(fOutput.Writes()), std::vector<std::string>{"1B 40 12 1B"});
	EXPECT_EQ(fOutput.Received(), Hex("1B 40 12 1B"));
	EXPECT_EQ(err, 4);
	EXPECT_EQ(LineLenght, 0);

	HexToBuffer("0C");
	PrintLineBuffer();
	EXPECT_EQ(ToHex(fOutput.Writes()), (std::vector<std::string>{"1B 40 12 1B", "0C"}));
}

TEST_F(CodeStringTest, ShortOrFailedWriteStillEmptiesTheBuffer)
{
	fOutput.AcceptOnly(2);
	HexToBuffer("01 02 03 04 05");
	PrintLineBuffer();
	EXPECT_EQ(err, 2) << "err holds what the write reported";
	EXPECT_EQ(LineLenght, 0);
	EXPECT_EQ(fOutput.Received(), Hex("01 02"));

	// A stream that takes nothing at all.
	FILE* readOnly = fopen("/dev/null", "r");
	ASSERT_NE(readOnly, nullptr);
	PrinterPort = readOnly;
	HexToBuffer("0C 0D 0E");  // starts again at position 0
	EXPECT_EQ(ToHex(Staged()), "0C 0D 0E");
	PrintLineBuffer();
	EXPECT_EQ(err, 0);
	EXPECT_EQ(LineLenght, 0);
	PrinterPort = fOutput.Stream();
	fclose(readOnly);
}

}  // namespace
