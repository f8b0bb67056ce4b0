// Files larger than the job's file buffer come in pieces; their output must be
// what one unbroken pass over the whole file gives. The reference is a plain
// byte-at-a-time model of the text printer with an unlimited staging area.
#include <algorithm>
#include <random>

#include "CommandCodes.h"
#include "JobHarness.h"

namespace {

const size_t kPiece = 999999;  // the job's file buffer

// The body of a line: mostly text, with tabs, control bytes, form feeds and
// bytes above 0x7F; never a line end.
std::string
LineBody(std::mt19937& random, size_t length)
{
	std::string body;
	body.reserve(length);
	std::uniform_int_distribution<int> kind(0, 99);
	std::uniform_int_distribution<int> printable(0x20, 0x7E);
	std::uniform_int_distribution<int> control(0x00, 0x1F);
	std::uniform_int_distribution<int> high(0x80, 0xFF);
	while (body.size() < length) {
		int k = kind(random);
		int byte;
		if (k < 80) {
			byte = printable(random);
		} else if (k < 88) {
			byte = '\t';
		} else if (k < 92) {
			do
				byte = control(random);
			while (byte == '\n' || byte == '\r');
		} else {
			byte = high(random);
		}
		body.push_back(static_cast<char>(byte));
	}
	return body;
}

// Appends whole lines, then a line without its end, so that the text ends
// exactly at the given size.
void
AppendLinesUpTo(std::string& text, std::mt19937& random, size_t end)
{
	std::uniform_int_distribution<size_t> length(0, 200);
	while (text.size() + 201 < end)
		text += LineBody(random, length(random)) + '\n';
	text += LineBody(random, end - text.size());
}

// Five million bytes with the awkward places put where the pieces meet.
std::string
LargeText()
{
	std::mt19937 random(20240605);
	std::string text;
	text.reserve(5000000);

	// First piece: 600 lines, the last line end its last byte. With 60 lines
	// a page, the tenth page ends there and the next page begins with the
	// first byte of the second piece.
	std::uniform_int_distribution<size_t> length(0, 3000);
	for (int line = 0; line < 599; line++) {
		size_t room = kPiece - 1 - text.size() - static_cast<size_t>(599 - line);
		text += LineBody(random, std::min(length(random), room)) + '\n';
	}
	text += LineBody(random, kPiece - 1 - text.size()) + '\n';

	// A tab first in the second piece, on the new page's first line.
	text += '\t';
	// A tab as the first byte of the third piece, within a line.
	AppendLinesUpTo(text, random, 2 * kPiece);
	text += '\t' + LineBody(random, 40) + '\n';
	// A line of 250,000 bytes, longer than the staging buffer, across the
	// start of the fourth piece.
	AppendLinesUpTo(text, random, 3 * kPiece - 120000);
	text += '\n' + LineBody(random, 250000) + '\n';
	// A CR LF pair split between the fourth and fifth pieces.
	AppendLinesUpTo(text, random, 4 * kPiece - 1);
	text += "\r\n";
	// The last line has no line end.
	AppendLinesUpTo(text, random, 5000000);
	return text;
}

struct PrinterSetup {
	const char* name;
	uint32_t command;
	const char* filter;
	bool hp;
};

std::string
PreambleAfter(const PrinterSetup& setup)
{
	// A printer command right after start-up: its own reset, pitch and
	// quality, and the spacing and direction codes copied earlier.
	if (setup.hp)
		return Hex("1B 45 1B 28 73 31 30 48 1B 28 73 31 51 1B 70 00 1B 55 00");
	if (setup.command == MPed)
		return StartUpPreamble();
	return Hex("1B 70 00 1B 55 00");
}

PrinterCodes
CodesOf(const PrinterSetup& setup)
{
	PrinterCodes codes = setup.hp ? HpDeskJetCodes() : EpsonDotMatrixCodes();
	codes.filter = setup.filter;
	return codes;
}

}  // namespace

// #pragma mark - The model itself

TEST(TextPrinterModelCheck, ReproducesHandWorkedOutput)
{
	PrinterCodes codes = EpsonDotMatrixCodes();
	std::string file = Hex("61 09 62 0A 63 09 64 0A");

	TextPrinterModel all(codes, 60);
	all.PrintBody(file);
	std::vector<std::string> expectedAll = { Hex("0A 0D 0A 0D 0A 0D 61 20 62 0A 0D"),
		Hex("63 20 20 20 64 0A 0D"), "", Hex("0C") };
	EXPECT_EQ(all.Writes(), expectedAll);

	codes.filter = "YES";
	TextPrinterModel lineEnds(codes, 2);
	lineEnds.PrintBody(Hex("31 0A 32 0A 33"));
	std::vector<std::string> expectedLineEnds = { Hex("0A 0D 0A 0D 0A 0D 31 0A 0D"),
		Hex("32 0A 0D"), Hex("0C 0A 0D 0A 0D 0A 0D 33"), Hex("0C") };
	EXPECT_EQ(lineEnds.Writes(), expectedLineEnds);

	codes.filter = "NO";
	TextPrinterModel raw(codes, 60);
	raw.PrintBody(file);
	std::vector<std::string> expectedRaw = {
		Hex("0A 0D 0A 0D 0A 0D 61 09 62 0A 63 09 64 0A"), Hex("0C") };
	EXPECT_EQ(raw.Writes(), expectedRaw);

	// A page filled exactly, then a form feed that full filtering drops: the
	// form feed still opens an empty last page.
	codes.filter = "All";
	TextPrinterModel filled(codes, 2);
	filled.PrintBody(Hex("31 0A 32 0A 0C"));
	std::vector<std::string> expectedFilled = { Hex("0A 0D 0A 0D 0A 0D 31 0A 0D"),
		Hex("32 0A 0D"), Hex("0C 0A 0D 0A 0D 0A 0D"), Hex("0C") };
	EXPECT_EQ(filled.Writes(), expectedFilled);
}

TEST(TextPrinterModelCheck, LargeTextHasItsLandmarksWhereThePiecesMeet)
{
	std::string text = LargeText();
	ASSERT_EQ(text.size(), 5000000u);
	EXPECT_EQ(std::count(text.begin(), text.begin() + kPiece, '\n'), 600);
	EXPECT_EQ(text.find('\r'), 4 * kPiece - 1);
	EXPECT_EQ(text[kPiece - 1], '\n');
	EXPECT_EQ(text[kPiece], '\t');
	EXPECT_EQ(text[2 * kPiece], '\t');
	EXPECT_NE(text[2 * kPiece - 1], '\n');
	EXPECT_EQ(text[4 * kPiece], '\n');
	EXPECT_NE(text.back(), '\n');
	EXPECT_EQ(text[3 * kPiece - 120000], '\n');
	EXPECT_EQ(text.find('\n', 3 * kPiece - 119999), 3 * kPiece + 130001);
}

// #pragma mark - The job

class LargeFileJob : public JobTest, public ::testing::WithParamInterface<PrinterSetup> {};

TEST_P(LargeFileJob, FiveMegabytesPrintAsOneUnbrokenPass)
{
	const PrinterSetup& setup = GetParam();
	RunOnWindow(setup.command);
	std::string text = LargeText();
	std::string big = fDirectory.Write("big.txt", text);
	std::string small = fDirectory.Write("small.txt", "after\tthe big one\n");

	RunJob({ big, small });

	TextPrinterModel model(CodesOf(setup), 60);
	model.PrintFile(PreambleAfter(setup), text);
	model.PrintFile(PreambleAfter(setup), "after\tthe big one\n");
	RecordedStream output = fPort.Last();
	EXPECT_EQ(Difference(output.Bytes(), model.Bytes()), "");
	EXPECT_EQ(output.closes, 1);
	EXPECT_EQ(fPort.OpenCount(), 1u);
	EXPECT_TRUE(Alerts().empty());
}

INSTANTIATE_TEST_SUITE_P(Filters, LargeFileJob,
	::testing::Values(PrinterSetup{ "GenericAsciiAll", MPgn, "ALL", false },
		PrinterSetup{ "PureAsciiLineEnds", MPas, "YES", false },
		PrinterSetup{ "RawData", MPrw, "NO", false },
		PrinterSetup{ "HpDeskJetWithPageCodes", MPhp, "All", true }),
	[](const ::testing::TestParamInfo<PrinterSetup>& setup) { return setup.param.name; });

class LargeFileSizes : public JobTest {};

TEST_F(LargeFileSizes, SizesAroundTheFileBufferPrintWhole)
{
	std::vector<size_t> sizes = { kPiece - 1, kPiece, kPiece + 1, 2 * kPiece - 1, 2 * kPiece,
		2 * kPiece + 1 };
	std::vector<std::string> paths;
	std::vector<std::string> texts;
	std::mt19937 random(7);
	for (size_t size : sizes) {
		std::string text;
		AppendLinesUpTo(text, random, size);
		texts.push_back(text);
		paths.push_back(fDirectory.Write("size-" + std::to_string(size), text));
	}

	RunJob(paths);

	TextPrinterModel model(EpsonDotMatrixCodes(), 60);
	for (const std::string& text : texts)
		model.PrintFile(StartUpPreamble(), text);
	EXPECT_EQ(Difference(fPort.Last().Bytes(), model.Bytes()), "");
}

TEST_F(LargeFileSizes, LineEndAsTheLastByteOfAPieceBreaksThePageBeforeTheNext)
{
	// 1,000,000 bytes: the 60th line end is the buffer's last byte, and one
	// byte, a dropped control byte, follows in the next piece.
	std::string text;
	for (int line = 0; line < 59; line++)
		text += std::string(16000, 'p') + '\n';
	text += std::string(kPiece - 1 - text.size(), 'q') + '\n';
	text += '\x01';
	ASSERT_EQ(text.size(), kPiece + 1);

	RunJob({ fDirectory.Write("page", text) });

	std::vector<std::string> writes = fPort.Last().writes;
	// The dropped byte still opens a new page; then the file ends.
	std::vector<std::string> tail = { Hex("0C 0A 0D 0A 0D 0A 0D"), Hex("0C") };
	ASSERT_GE(writes.size(), 2u);
	EXPECT_EQ(std::vector<std::string>(writes.end() - 2, writes.end()), tail);
	EXPECT_EQ(Difference(fPort.Last().Bytes(), [&] {
		TextPrinterModel model(EpsonDotMatrixCodes(), 60);
		model.PrintFile(StartUpPreamble(), text);
		return model.Bytes();
	}()), "");
}

TEST_F(LargeFileSizes, LineLongerThanTheStagingBufferKeepsItsTabStops)
{
	std::mt19937 random(99);
	std::string text = "short\tline\n" + LineBody(random, 300000) + "\tend\n" + "x\ty\n";

	RunJob({ fDirectory.Write("long", text) });

	TextPrinterModel model(EpsonDotMatrixCodes(), 60);
	model.PrintFile(StartUpPreamble(), text);
	EXPECT_EQ(Difference(fPort.Last().Bytes(), model.Bytes()), "");
}
