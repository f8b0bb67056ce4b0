#include "TextPagePrinter.h"

#include <cstring>
#include <mutex>

#include "LineBuffer.h"
#include "PrintJob.h"
#include "SettingsStore.h"

int32_t LineCount = 0;
file_piece_reader ReadNextFilePiece = nullptr;

enum filter_mode { kRawMode, kLineEndMode, kFullFilterMode };

// The settings a file is printed with, copied under the store's lock when the
// file begins: a command given meanwhile applies from the next file on.
static struct {
	filter_mode mode;
	int32_t topBlankLines;
	int32_t tabSize;
	CodeBytes loadPaper;
	CodeBytes newLine;
	CodeBytes ejectPaper;
} sPage;

static filter_mode
FilterMode(const char* filter)
{
	if (strcmp(filter, "YES") == 0 || strcmp(filter, "Yes") == 0)
		return kLineEndMode;
	if (strcmp(filter, "ALL") == 0 || strcmp(filter, "All") == 0)
		return kFullFilterMode;
	return kRawMode;
}

static void
TakePageSettings()
{
	const char* filter;
	const char* loadPaper;
	const char* newLine;
	const char* ejectPaper;
	{
		std::lock_guard<std::mutex> lock(gStoreLock);
		filter = FilterCodes;
		loadPaper = LoadPaper;
		newLine = NewLine;
		ejectPaper = EjectPaper;
		sPage.topBlankLines = TopBlankLines;
		sPage.tabSize = TabSize;
	}
	// The texts themselves are constant; only the pointers needed the lock.
	sPage.mode = FilterMode(filter);
	DecodeCodeString(loadPaper, sPage.loadPaper);
	DecodeCodeString(newLine, sPage.newLine);
	DecodeCodeString(ejectPaper, sPage.ejectPaper);
}

static void
StagePageStart()
{
	StageCode(sPage.loadPaper);
	for (int32_t i = 0; i < sPage.topBlankLines; i++)
		StageCode(sPage.newLine);
	LineCount = 0;
}

void
StartNewTextPage()
{
	TakePageSettings();
	StagePageStart();
}

static inline void
CheckPage()
{
	if (LineCount == PaperY) {
		StageCode(sPage.ejectPaper);
		StagePageStart();
	}
}

static inline void
EndLine()
{
	StageCode(sPage.newLine);
	PrintLineBuffer();
	LineCount++;
}

// A tab gives one space, then more up to the next multiple of the tab size;
// a tab size of 0 or less has no stops, and the tab gives the one space.
static void
ExpandTab()
{
	ASC = 0x20;
	int32_t spaces = 1;
	if (sPage.tabSize > 0) {
		int64_t column = StagedColumn() + 1;
		int64_t rest = column % sPage.tabSize;
		if (rest != 0)
			spaces += static_cast<int32_t>(sPage.tabSize - rest);
	}
	StageRepeated(' ', spaces);
}

// Length of the run at the start of bytes that the mode passes through
// unchanged. Within such a run no line ends, so the page check of its first
// byte holds for the others unless a page break precedes every byte.
static inline int32_t
PassThroughRun(const char* bytes, int32_t count, filter_mode mode)
{
	int32_t i = 0;
	switch (mode) {
		case kRawMode:
			return count;
		case kLineEndMode:
			while (i < count && bytes[i] != '\n' && bytes[i] != '\r')
				i++;
			return i;
		case kFullFilterMode:
			while (i < count && static_cast<int8_t>(bytes[i]) > 0x1F)
				i++;
			return i;
	}
	return i;
}

// Bytes that full-filter mode drops: controls other than tab and line ends,
// and 0x80 to 0xFF.
static inline int32_t
DroppedRun(const char* bytes, int32_t count)
{
	int32_t i = 0;
	while (i < count) {
		int8_t value = static_cast<int8_t>(bytes[i]);
		if (value > 0x1F || value == '\n' || value == '\r' || value == '\t')
			break;
		i++;
	}
	return i;
}

static void
PassOverPiece(const char* bytes, int32_t count)
{
	filter_mode mode = sPage.mode;
	int32_t position = 0;
	while (position < count) {
		CheckPage();
		const char* here = bytes + position;
		int32_t left = count - position;
		// With LineCount == PaperY again right after the check, a page break
		// comes before every byte, so take them one at a time.
		bool pageBreakEachByte = LineCount == PaperY;

		int32_t run = PassThroughRun(here, left, mode);
		if (run > 0) {
			if (pageBreakEachByte)
				run = 1;
			StageRun(here, run);
			position += run;
			continue;
		}

		ASC = static_cast<int8_t>(*here);
		if (ASC == '\n' || ASC == '\r') {
			EndLine();
			position++;
		} else if (ASC == '\t') {
			ExpandTab();
			position++;
		} else {
			int32_t dropped = pageBreakEachByte ? 1 : DroppedRun(here, left);
			ASC = static_cast<int8_t>(here[dropped - 1]);
			position += dropped;
		}
	}
}

void
PrintTextPages()
{
	StartNewTextPage();

	if (FileLenght > 0) {
		PassOverPiece(FileBuffer, FileLenght);
		while (ReadNextFilePiece != nullptr) {
			int32_t length = ReadNextFilePiece();
			if (length <= 0)
				break;
			FileLenght = length;
			PassOverPiece(FileBuffer, FileLenght);
		}
	}

	PrintLineBuffer();
	StageCode(sPage.ejectPaper);
	PrintLineBuffer();
}
