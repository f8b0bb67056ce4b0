// What the commands make the printer receive: the preamble of the next file
// and its page length, printed through the engine into a stream that records
// every write separately.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "CommandCodes.h"
#include "LineBuffer.h"
#include "PrintJob.h"
#include "SettingCommands.h"
#include "SettingsStore.h"
#include "StoreState.h"

namespace {

typedef std::vector<uint8_t> Bytes;

struct WriteLog
{
	std::vector<Bytes> writes;
};

ssize_t RecordWrite(void* cookie, const char* data, size_t size)
{
	const uint8_t* bytes = reinterpret_cast<const uint8_t*>(data);
	static_cast<WriteLog*>(cookie)->writes.emplace_back(bytes, bytes + size);
	return static_cast<ssize_t>(size);
}

// Prints one file as the print job would after opening the output, and
// returns the writes that reached the output, one entry per write.
// The writes of one file; *body (when given) tells what became of its body.
std::vector<Bytes> PrintFile(const std::string& content, print_body* body = nullptr)
{
	WriteLog log;
	cookie_io_functions_t io = {};
	io.write = RecordWrite;
	FILE* stream = fopencookie(&log, "w", io);
	EXPECT_NE(nullptr, stream);
	if (stream == nullptr)
		return {};
	// Unbuffered: every write of the engine reaches the log as one piece.
	setvbuf(stream, nullptr, _IONBF, 0);

	memcpy(FileBuffer, content.data(), content.size());
	FileLenght = static_cast<int32_t>(content.size());
	PrinterPort = stream;
	print_body printed = StartPrinting();
	if (body != nullptr)
		*body = printed;
	PrinterPort = nullptr;
	fclose(stream);
	return log.writes;
}

Bytes Preamble(const std::vector<Bytes>& writes)
{
	return writes.empty() ? Bytes() : writes.front();
}

Bytes Joined(const std::vector<Bytes>& writes)
{
	Bytes all;
	for (const Bytes& write : writes)
		all.insert(all.end(), write.begin(), write.end());
	return all;
}

class PreambleTest : public SettingsTest
{
};

TEST_F(PreambleTest, AfterStartUp)
{
	EXPECT_EQ(
	    (Bytes{0x1B, 0x40, 0x12, 0x1B, 0x50, 0x1B, 0x78, 0x00, 0x1B, 0x70, 0x00, 0x1B, 0x55, 0x00}),
	    Preamble(PrintFile("x\n")));
}

TEST_F(PreambleTest, RawDataAfterStartUpKeepsTheEarlierSpacingAndDirection)
{
	ASSERT_TRUE(RunSettingCommand(MPrw));
	EXPECT_STREQ("", PrintCPI);
	EXPECT_STREQ("", PrintQuality);
	EXPECT_STREQ("1B 70 00", PrintSpacing);
	EXPECT_STREQ("1B 55 00", PrintDirection);
	EXPECT_EQ((Bytes{0x1B, 0x70, 0x00, 0x1B, 0x55, 0x00}), Preamble(PrintFile("x\n")));
}

TEST_F(PreambleTest, HpAfterStartUp)
{
	ASSERT_TRUE(RunSettingCommand(MPhp));
	EXPECT_EQ((Bytes{0x1B, 0x45,                         // reset
	                 0x1B, 0x28, 0x73, 0x31, 0x30, 0x48, // 10 characters per inch
	                 0x1B, 0x28, 0x73, 0x31, 0x51,       // draft
	                 0x1B, 0x70, 0x00,                   // spacing of the earlier model
	                 0x1B, 0x55, 0x00}),                 // direction of the earlier model
	          Preamble(PrintFile("x\n")));
	EXPECT_STREQ("Draft mode", PrintLQ);
	EXPECT_EQ(10.0f, CPI);
}

TEST_F(PreambleTest, HpWithItsOwnChoices)
{
	ASSERT_TRUE(RunSettingCommand(MPhp));
	for (uint32_t code : {MMlq, MMps, MCs3, MClw, MCud, MCls})
		ASSERT_TRUE(RunSettingCommand(code));
	EXPECT_EQ((Bytes{0x1B, 0x45,                         // reset
	                 0x1B, 0x28, 0x73, 0x31, 0x30, 0x48, // 10 characters per inch
	                 0x1B, 0x28, 0x73, 0x32, 0x51,       // letter quality, same as near letter
	                 0x1B, 0x28, 0x73, 0x31, 0x50,       // proportional
	                 0x1B, 0x26, 0x6C, 0x32, 0x36, 0x41, // A4
	                 0x1B, 0x26, 0x73, 0x30, 0x43,       // printer's wrap on
	                 0x1B, 0x26, 0x6B, 0x30, 0x57,       // unidirectional
	                 0x1B, 0x26, 0x6C, 0x31, 0x4F}),     // landscape
	          Preamble(PrintFile("x\n")));
}

TEST_F(PreambleTest, IbmResetKeepsItsZeroBytes)
{
	ASSERT_TRUE(RunSettingCommand(MPpp));
	EXPECT_EQ((Bytes{0x1B, 0x5B, 0x4B, 0x04, 0x00, 0xFF, 0x24, 0x00, 0x00, // reset
	                 0x12,                                                 // 10 characters per inch
	                 0x1B, 0x49, 0x00,                                     // draft
	                 0x1B, 0x70, 0x00, 0x1B, 0x55, 0x00}),
	          Preamble(PrintFile("x\n")));
}

TEST_F(PreambleTest, PitchesTheHpAndIbmModelsLack)
{
	struct Case
	{
		uint32_t printer;
		uint32_t pitch;
		const char* sent;
		float cpi;
	};
	const Case cases[] = {
	    {MPhp, MM15, "", 15.0f}, {MPhp, MM17, "", 17.0f},      {MPhp, MM20, "", 20.0f},
	    {MPpp, MM15, "", 15.0f}, {MPpp, MM17, "1B 0F", 17.0f}, {MPpp, MM20, "", 20.0f},
	};
	for (const Case& c : cases) {
		ASSERT_TRUE(RunSettingCommand(c.printer));
		ASSERT_TRUE(RunSettingCommand(c.pitch));
		EXPECT_STREQ(c.sent, PrintCPI) << std::hex << c.printer << " " << c.pitch;
		EXPECT_EQ(c.cpi, CPI) << std::hex << c.printer << " " << c.pitch;
	}

	// No pitch sequence goes out: the HP preamble goes straight from reset to quality.
	ASSERT_TRUE(RunSettingCommand(MPhp));
	ASSERT_TRUE(RunSettingCommand(MM20));
	EXPECT_EQ((Bytes{0x1B, 0x45, 0x1B, 0x28, 0x73, 0x31, 0x51, 0x1B, 0x70, 0x00, 0x1B, 0x55, 0x00}),
	          Preamble(PrintFile("x\n")));
}

TEST_F(PreambleTest, ModelsWithoutCodesEmptyEveryCopy)
{
	const uint32_t emptyModels[] = {MPrw, MPas, MPgn, MPei};
	struct Copy
	{
		uint32_t code;
		char* active;
	};
	const Copy copies[] = {
	    {MMnm, PrintCPI},         {MM12, PrintCPI},       {MM15, PrintCPI},
	    {MM17, PrintCPI},         {MM20, PrintCPI},       {MMdr, PrintQuality},
	    {MMnl, PrintQuality},     {MMlq, PrintQuality},   {MMps, PrintSpacing},
	    {MMfx, PrintSpacing},     {MCs0, PaperTray},      {MCs1, PaperTray},
	    {MCs2, PaperTray},        {MCs3, PaperTray},      {MCpt, PrintOrientation},
	    {MCls, PrintOrientation}, {MClw, PrintWrap},      {MCtr, PrintWrap},
	    {MCud, PrintDirection},   {MCbd, PrintDirection},
	};
	for (uint32_t model : emptyModels) {
		ASSERT_TRUE(RunSettingCommand(MPed));
		ASSERT_TRUE(RunSettingCommand(model));
		for (const Copy& copy : copies) {
			strcpy(copy.active, "1B 40");
			ASSERT_TRUE(RunSettingCommand(copy.code));
			EXPECT_STREQ("", copy.active) << std::hex << model << " " << copy.code;
		}
		// Nothing is left to send ahead of the text: the output of an empty
		// file is its page alone, three blank lines and the eject code.
		EXPECT_EQ((Bytes{0x0A, 0x0D, 0x0A, 0x0D, 0x0A, 0x0D, 0x0C}), Joined(PrintFile("")))
		    << std::hex << model;
	}
}

TEST_F(PreambleTest, GraphicModeSendsThePreambleAndReportsTheBodyUnprinted)
{
	ASSERT_EQ(kSettingChangedNotSupported, RunSettingCommand(MMgr));
	EXPECT_STREQ("Graphic", PrintMode);

	// The engine shows nothing (this test links no kit it could show it
	// with): it reports the body unprinted, and the application tells the
	// user (the job tests see its line and alert).
	print_body body = kBodyPrinted;
	std::vector<Bytes> writes = PrintFile("text that is not printed\n", &body);
	EXPECT_EQ(
	    (Bytes{0x1B, 0x40, 0x12, 0x1B, 0x50, 0x1B, 0x78, 0x00, 0x1B, 0x70, 0x00, 0x1B, 0x55, 0x00}),
	    Joined(writes));
	EXPECT_EQ(kBodyGraphic, body);

	// Text mode again: the file prints.
	ASSERT_TRUE(RunSettingCommand(MMtx));
	writes = PrintFile("ab\n", &body);
	EXPECT_EQ(kBodyPrinted, body);
	Bytes all = Joined(writes);
	const Bytes text = {0x61, 0x62};
	EXPECT_NE(all.end(), std::search(all.begin(), all.end(), text.begin(), text.end()));
}

TEST_F(PreambleTest, PageLengthFollowsPaperAndOrientation)
{
	PrintFile("");
	EXPECT_EQ(60, PaperY) << "Letter portrait after start-up";

	ASSERT_TRUE(RunSettingCommand(MCls));
	PrintFile("");
	EXPECT_EQ(45, PaperY) << "Letter landscape";

	ASSERT_TRUE(RunSettingCommand(MCs3));
	EXPECT_STREQ("Landscape", PrintOrient);
	PrintFile("");
	EXPECT_EQ(43, PaperY) << "A4 landscape: 6.0 x 7.8 gives 46, less 3";

	ASSERT_TRUE(RunSettingCommand(MCpt));
	PrintFile("");
	EXPECT_EQ(64, PaperY) << "A4 portrait: 6.0 x 11.2 gives 67, less 3";

	ASSERT_TRUE(RunSettingCommand(MCs2));
	PrintFile("");
	EXPECT_EQ(78, PaperY) << "Legal portrait: 6.0 x 13.5 gives 81, less 3";

	ASSERT_TRUE(RunSettingCommand(MCs0));
	ASSERT_TRUE(RunSettingCommand(MCls));
	PrintFile("");
	EXPECT_EQ(37, PaperY) << "Executive landscape: 6.0 x 6.75 gives 40, less 3";

	// A printer command keeps the paper and the orientation.
	ASSERT_TRUE(RunSettingCommand(MPhp));
	PrintFile("");
	EXPECT_EQ(37, PaperY) << "Executive landscape after a printer command";
}

TEST_F(PreambleTest, OrientationCommandWhilePaperIsA4)
{
	// The same page, whichever of the two commands comes first.
	ASSERT_TRUE(RunSettingCommand(MCs3));
	ASSERT_TRUE(RunSettingCommand(MCls));
	PrintFile("");
	EXPECT_EQ(43, PaperY);
}

} // namespace
