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

// The store's values for the next file, as TakeTextPageSettings copied them.
static struct {
	bool taken;
	const char* filter;
	const char* loadPaper;
	const char* newLine;
	const char* ejectPaper;
	int32_t topBlankLines;
	int32_t tabSize;
} sTaken;

void
TakeTextPageSettings()
{
	sTaken = {true, FilterCodes, LoadPaper, NewLine, EjectPaper, TopBlankLines, TabSize};
}

static void
TakePageSettings()
{
	if (!sTaken.taken) {
		std::lock_guard<std::mutex> lock(gStoreLock);
		TakeTextPageSettings();
	}
	sTaken.taken = false;
	// The texts themselves are constant; only the pointers needed the lock.
	sPage.mode = FilterMode(sTaken.filter);
	sPage.topBlankLines = sTaken.topBlankLines;
	sPage.tabSize = sTaken.tabSize;
	DecodeCodeString(sTaken.loadPaper, sPage.loadPaper);
	DecodeCodeString(sTaken.newLine, sPage.newLine);
	DecodeCodeString(sTaken.ejectPaper, sPage.ejectPaper);
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

// A run of tabs. The first gives one space, then more up to the next multiple
// of the tab size; it ends on a stop, so every further tab gives a full tab
// size of spaces. A tab size of 0 or less has no stops: each tab gives the one
// space.
static void
ExpandTabs(int32_t tabs)
{
	ASC = 0x20;
	int64_t spaces = tabs;
	if (sPage.tabSize > 0) {
		int64_t rest = (StagedColumn() + 1) % sPage.tabSize;
		if (rest != 0)
			spaces += sPage.tabSize - rest;
		spaces += static_cast<int64_t>(tabs - 1) * (sPage.tabSize - 1);
	}
	const int64_t kPiece = 1 << 30;
	for (; spaces > kPiece; spaces -= kPiece)
		StageRepeated(' ', static_cast<int32_t>(kPiece));
	StageRepeated(' ', static_cast<int32_t>(spaces));
}

// Eight bytes at a time, so that a long stretch of plain text is passed over
// with one test per word. The byte order of the word does not matter: a word
// only tells whether all of its bytes pass, the byte loop finds the first
// that does not.
static const uint64_t kEachByte = 0x0101010101010101ull;
static const uint64_t kHighBits = 0x8080808080808080ull;

static inline uint64_t
Word(const char* bytes)
{
	uint64_t word;
	memcpy(&word, bytes, sizeof(word));
	return word;
}

static inline bool
HasZeroByte(uint64_t word)
{
	return ((word - kEachByte) & ~word & kHighBits) != 0;
}

// No LF and no CR among the eight bytes.
static inline bool
NoLineEnd(uint64_t word)
{
	return !HasZeroByte(word ^ (0x0A * kEachByte)) && !HasZeroByte(word ^ (0x0D * kEachByte));
}

// All eight bytes lie in 0x20 to 0x7F: the high bit is clear and the other
// seven bits reach 0x20, which adding 0x60 carries into the high bit (at most
// 0x7F + 0x60, so nothing spills into the next byte).
static inline bool
AllKept(uint64_t word)
{
	uint64_t atLeast20 = (word & ~kHighBits) + 0x60 * kEachByte;
	return (atLeast20 & ~word & kHighBits) == kHighBits;
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
			while (i + 8 <= count && NoLineEnd(Word(bytes + i)))
				i += 8;
			while (i < count && bytes[i] != '\n' && bytes[i] != '\r')
				i++;
			return i;
		case kFullFilterMode:
			while (i + 8 <= count && AllKept(Word(bytes + i)))
				i += 8;
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

static inline int32_t
TabRun(const char* bytes, int32_t count)
{
	int32_t i = 0;
	while (i < count && bytes[i] == '\t')
		i++;
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
		// With LineCount == PaperY again right after the check, a page break
		// comes before every byte, so take them one at a time.
		int32_t left = LineCount == PaperY ? 1 : count - position;

		int32_t run = PassThroughRun(here, left, mode);
		if (run > 0) {
			StageRun(here, run);
			position += run;
			continue;
		}

		ASC = static_cast<int8_t>(*here);
		if (ASC == '\n' || ASC == '\r') {
			EndLine();
			position++;
		} else if (ASC == '\t') {
			int32_t tabs = TabRun(here, left);
			ExpandTabs(tabs);
			position += tabs;
		} else {
			int32_t dropped = DroppedRun(here, left);
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
