#include "TextPagePrinter.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "JobProgress.h"
#include "LineBuffer.h"
#include "PrintJob.h"
#include "SettingsStore.h"

int32_t LineCount = 0;
JobProgress gJobProgress;

// Bytes of the file in the pieces before the one being passed over.
static int64_t sPieceStart = 0;

// The full filter with a printer character set keeps the set's upper half as
// well: 0x80 (or 0xA0) to 0xFF.
enum filter_mode { kRawMode, kLineEndMode, kFullFilterMode, kFullFilterUpperMode };

// The settings a file is printed with, copied under the store's lock when the
// file begins: a command given meanwhile applies from the next file on.
static struct {
	filter_mode mode;
	int32_t upperKeptFrom;
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

bool
FilterSendsRawData(const char* filterCodes)
{
	return FilterMode(filterCodes) == kRawMode;
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
	sPage.upperKeptFrom = UpperHalfKeptFrom;
	if (sPage.mode == kFullFilterMode && sPage.upperKeptFrom < 0x100)
		sPage.mode = kFullFilterUpperMode;
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
	// One writer: a load and a store, no locked instruction.
	gJobProgress.pages.store(gJobProgress.pages.load(std::memory_order_relaxed) + 1,
		std::memory_order_relaxed);
}

void
StartNewTextPage()
{
	TakePageSettings();
	StagePageStart();
}

static inline void
CheckPage(int32_t position)
{
	if (LineCount == PaperY) {
		StageCode(sPage.ejectPaper);
		StagePageStart();
		gJobProgress.filePassed.store(sPieceStart + position, std::memory_order_relaxed);
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

// Whether the byte ends a run that the mode passes through unchanged: a line
// end in line-end mode; in full-filter mode any byte outside 0x20 to 0x7F, and
// with a character set any byte below 0x20 or in the upper half's controls.
static inline bool
EndsRun(char byte, filter_mode mode)
{
	if (mode == kLineEndMode)
		return byte == '\n' || byte == '\r';
	if (mode == kFullFilterUpperMode) {
		uint8_t value = static_cast<uint8_t>(byte);
		return value < 0x20 || (value >= 0x80 && value < sPage.upperKeptFrom);
	}
	return static_cast<int8_t>(byte) < 0x20;
}

// The scan looks at a block of bytes at a time, sixteen with SSE2 (which every
// x86-64 has) and eight elsewhere, so that a long stretch of plain text is
// passed over with one test per block.
#if defined(__SSE2__)

static const int32_t kBlock = 16;

// The position in the block of the first byte that ends the run, kBlock when
// none does.
static inline int32_t
FirstEnd(const char* bytes, filter_mode mode)
{
	__m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
	__m128i ends;
	if (mode == kLineEndMode) {
		ends = _mm_or_si128(_mm_cmpeq_epi8(block, _mm_set1_epi8('\n')),
			_mm_cmpeq_epi8(block, _mm_set1_epi8('\r')));
	} else if (mode == kFullFilterMode) {
		// A signed comparison: 0x80 to 0xFF lie below 0x20 as well.
		ends = _mm_cmplt_epi8(block, _mm_set1_epi8(0x20));
	} else {
		// Below 0x20, or from 0x80 to below the kept upper half: unsigned
		// comparisons, as the least of a byte and a bound.
		ends = _mm_cmpeq_epi8(_mm_min_epu8(block, _mm_set1_epi8(0x1F)), block);
		if (sPage.upperKeptFrom > 0x80) {
			__m128i upper = _mm_sub_epi8(block, _mm_set1_epi8(static_cast<char>(0x80)));
			__m128i bound = _mm_set1_epi8(static_cast<char>(sPage.upperKeptFrom - 0x81));
			ends = _mm_or_si128(ends, _mm_cmpeq_epi8(_mm_min_epu8(upper, bound), upper));
		}
	}
	uint32_t mask = static_cast<uint32_t>(_mm_movemask_epi8(ends));
	return __builtin_ctz(mask | (1u << kBlock));
}

#else

static const int32_t kBlock = 8;
static const uint64_t kEachByte = 0x0101010101010101ull;
static const uint64_t kHighBits = 0x8080808080808080ull;

static inline bool
HasZeroByte(uint64_t word)
{
	return ((word - kEachByte) & ~word & kHighBits) != 0;
}

// The word tells whether any of the eight bytes ends the run, in either byte
// order; the byte loop then finds which.
static inline int32_t
FirstEnd(const char* bytes, filter_mode mode)
{
	uint64_t word;
	memcpy(&word, bytes, sizeof(word));
	bool any;
	if (mode == kFullFilterUpperMode) {
		any = true;
	} else if (mode == kLineEndMode) {
		any = HasZeroByte(word ^ (0x0A * kEachByte)) || HasZeroByte(word ^ (0x0D * kEachByte));
	} else {
		// All bytes lie in 0x20 to 0x7F when the high bits are clear and the
		// other seven bits of each reach 0x20, which adding 0x60 carries
		// into the high bit (at most 0x7F + 0x60, so nothing spills over).
		uint64_t atLeast20 = (word & ~kHighBits) + 0x60 * kEachByte;
		any = (atLeast20 & ~word & kHighBits) != kHighBits;
	}
	if (!any)
		return kBlock;
	int32_t i = 0;
	while (!EndsRun(bytes[i], mode))
		i++;
	return i;
}

#endif

// Length of the run at the start of bytes that the mode passes through
// unchanged. Within such a run no line ends, so the page check of its first
// byte holds for the others unless a page break precedes every byte.
static inline int32_t
PassThroughRun(const char* bytes, int32_t count, filter_mode mode)
{
	if (mode == kRawMode)
		return count;
	int32_t i = 0;
	for (; i + kBlock <= count; i += kBlock) {
		int32_t end = FirstEnd(bytes + i, mode);
		if (end < kBlock)
			return i + end;
	}
	while (i < count && !EndsRun(bytes[i], mode))
		i++;
	return i;
}

// Stages the run at the start of bytes that the mode passes through unchanged
// and returns its length. While the staging buffer has room, each block is
// copied there as it is looked at, so that the run is read once; the bytes of
// the last block past the run's end are overwritten by what is staged next.
// The rest, near the end of the buffer or of the piece, is staged as a run.
static inline int32_t
StageThroughRun(const char* bytes, int32_t count, filter_mode mode)
{
	if (mode == kRawMode) {
		StageRun(bytes, count);
		return count;
	}
	int32_t limit = std::min(count, kLineBufferSize - LineLenght);
	char* staged = LineBuffer + LineLenght;
	int32_t i = 0;
	for (; i + kBlock <= limit; i += kBlock) {
		memcpy(staged + i, bytes + i, kBlock);
		int32_t end = FirstEnd(bytes + i, mode);
		if (end < kBlock) {
			i += end;
			if (i > 0) {
				LineLenght += i;
				ASC = static_cast<int8_t>(bytes[i - 1]);
			}
			return i;
		}
	}
	LineLenght += i;
	int32_t rest = PassThroughRun(bytes + i, count - i, mode);
	if (rest > 0)
		StageRun(bytes + i, rest);
	else if (i > 0)
		ASC = static_cast<int8_t>(bytes[i - 1]);
	return i + rest;
}

// Bytes that full-filter mode drops: controls other than tab and line ends,
// and the upper half it does not keep.
static inline int32_t
DroppedRun(const char* bytes, int32_t count, filter_mode mode)
{
	int32_t i = 0;
	while (i < count) {
		char value = bytes[i];
		if (!EndsRun(value, mode) || value == '\n' || value == '\r' || value == '\t')
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

// Built twice, and the one the processor can run is chosen at start-up: with
// AVX2 the scan's instructions take their VEX form, which some processors run
// at full speed after the library's own AVX copies where they stall on the
// older form (a third of the speed was lost so on one of two processors of
// the same machine).
#if defined(__x86_64__) && !defined(QUILLON_ONE_SCAN_FORM)
#define SCAN_FORMS __attribute__((target_clones("avx2", "default")))
#else
#define SCAN_FORMS
#endif

SCAN_FORMS static void
PassOverPiece(const char* bytes, int32_t count)
{
	filter_mode mode = sPage.mode;
	int32_t position = 0;
	while (position < count) {
		CheckPage(position);
		const char* here = bytes + position;
		// With LineCount == PaperY again right after the check, a page break
		// comes before every byte, so take them one at a time.
		int32_t left = LineCount == PaperY ? 1 : count - position;

		int32_t run = StageThroughRun(here, left, mode);
		if (run > 0) {
			position += run;
			if (run == left)
				continue;
			// The byte that ended the run needs no page check of its own:
			// the run ended no line, and no page break was due before it,
			// or left would have been 1.
			here += run;
			left -= run;
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
			int32_t dropped = DroppedRun(here, left, mode);
			ASC = static_cast<int8_t>(here[dropped - 1]);
			position += dropped;
		}
	}
}

// Each piece is passed over with the port held, and released for the read of
// the next: a read may wait (on a pipe), and Quit must then be able to close
// the output itself.
file_piece_source
PiecesAtBufferStart(const file_piece_reader& nextPiece)
{
	if (!nextPiece)
		return nullptr;
	return [nextPiece]() { return file_piece{FileBuffer, nextPiece()}; };
}

void
PrintTextPages(const file_piece_reader& nextPiece)
{
	PrintTextPages(PiecesAtBufferStart(nextPiece));
}

void
PrintTextPages(const file_piece_source& nextPiece)
{
	sPieceStart = 0;
	gJobProgress.filePassed.store(0, std::memory_order_relaxed);
	StartNewTextPage();

	if (FileLenght > 0) {
		{
			PrinterPortHold hold;
			PassOverPiece(FileBuffer, FileLenght);
		}
		while (nextPiece) {
			sPieceStart += FileLenght;
			gJobProgress.filePassed.store(sPieceStart, std::memory_order_relaxed);
			file_piece piece = nextPiece();
			if (piece.length <= 0)
				break;
			FileLenght = piece.length;
			PrinterPortHold hold;
			PassOverPiece(piece.bytes, FileLenght);
		}
		if (!nextPiece) {
			sPieceStart += FileLenght;
			gJobProgress.filePassed.store(sPieceStart, std::memory_order_relaxed);
		}
	}

	PrinterPortHold hold;
	PrintLineBuffer();
	StageCode(sPage.ejectPaper);
	PrintLineBuffer();
}
