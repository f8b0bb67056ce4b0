#include "PrintJob.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <mutex>

#include "LineBuffer.h"
#include "SettingsStore.h"
#include "TextPagePrinter.h"

char FileBuffer[kFileBufferSize];
int32_t FileLenght = 0;
int32_t PaperX = 0;
int32_t PaperY = 0;
std::string CharacterSetSelection;
int32_t UpperHalfKeptFrom = 0x100;

// The product of two floats, formed exactly in double precision and truncated
// toward zero.
static int32_t
TruncatedProduct(float a, float b)
{
	double product = std::trunc(static_cast<double>(a) * static_cast<double>(b));
	if (!(product >= std::numeric_limits<int32_t>::min()))
		return std::numeric_limits<int32_t>::min();
	if (product > std::numeric_limits<int32_t>::max())
		return std::numeric_limits<int32_t>::max();
	return static_cast<int32_t>(product);
}

print_body
StartPrinting(const file_piece_reader& nextPiece)
{
	return StartPrinting(PiecesAtBufferStart(nextPiece));
}

print_body
StartPrinting(const file_piece_source& nextPiece)
{
	// The preamble codes, the geometry and the page settings are copied under
	// the store's lock in one go, so the file never sees half of a command
	// given meanwhile.
	const char* reset;
	char preamble[7][kSettingTextSize];
	bool portrait;
	float cpi, lpi, width, height;
	int32_t topBlankLines;
	bool textMode;
	{
		std::lock_guard<std::mutex> lock(gStoreLock);
		reset = ResetPrinter;
		memcpy(preamble[0], PrintCPI, kSettingTextSize);
		memcpy(preamble[1], PrintQuality, kSettingTextSize);
		memcpy(preamble[2], PrintSpacing, kSettingTextSize);
		memcpy(preamble[3], PaperTray, kSettingTextSize);
		memcpy(preamble[4], PrintWrap, kSettingTextSize);
		memcpy(preamble[5], PrintDirection, kSettingTextSize);
		memcpy(preamble[6], PrintOrientation, kSettingTextSize);
		portrait = strcmp(PrintOrient, "Portrait") == 0;
		cpi = CPI;
		lpi = LPI;
		width = portrait ? PortraitX : LandscapeX;
		height = portrait ? PortraitY : LandscapeY;
		topBlankLines = TopBlankLines;
		textMode = strcmp(PrintMode, "Text") == 0;
		if (textMode)
			TakeTextPageSettings();
	}

	HexToBuffer(reset);
	for (auto& code : preamble) {
		code[kSettingTextSize - 1] = '\0';
		HexToBuffer(code);
	}
	HexToBuffer(CharacterSetSelection.c_str());
	PrintLineBuffer();

	PaperX = TruncatedProduct(cpi, width);
	PaperY = TruncatedProduct(lpi, height) - topBlankLines;

	if (!textMode)
		return kBodyGraphic;
	PrintTextPages(nextPiece);
	return kBodyPrinted;
}
