// The text page printer's pass over a piece of a file, shared by the two
// files it is built in: the portable form (TextPagePass.cpp) and the form
// built for processors with AVX2 (TextPagePassAvx2.cpp), between which the
// printer chooses at start-up. Everything here is the printer's own; nothing
// outside the engine includes it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

#if defined(QUILLON_SCAN_AVX2)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "LineBuffer.h"
#include "PrintJob.h"
#include "TextPage.h"

// The pass in the form every processor runs, with SSE2 where it has it.
void PassOverPiecePortable(const char* bytes, int32_t count);
// The pass in the form built for AVX2.
void PassOverPieceAvx2(const char* bytes, int32_t count);

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
		return value < 0x20 || (value >= 0x80 && value < gPage.upperKeptFrom);
	}
	return static_cast<int8_t>(byte) < 0x20;
}

// The scan looks at a block of bytes at a time: thirty-two where the
// processor has AVX2 (this file is built for it once more), sixteen with SSE2
// (which every x86-64 has) and eight elsewhere, so that a long stretch of
// plain text is passed over with one test per block.
#if defined(QUILLON_SCAN_AVX2)

static const int32_t kBlock = 32;

// One bit for each of the thirty-two bytes that ends the run.
static inline uint32_t
EndsMask(const char* bytes, filter_mode mode)
{
	__m256i block = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes));
	__m256i ends;
	if (mode == kLineEndMode) {
		ends = _mm256_or_si256(_mm256_cmpeq_epi8(block, _mm256_set1_epi8('\n')),
			_mm256_cmpeq_epi8(block, _mm256_set1_epi8('\r')));
	} else if (mode == kFullFilterMode) {
		// A signed comparison: 0x80 to 0xFF lie below 0x20 as well.
		ends = _mm256_cmpgt_epi8(_mm256_set1_epi8(0x20), block);
	} else {
		// Below 0x20, or from 0x80 to below the kept upper half: unsigned
		// comparisons, as the least of a byte and a bound.
		ends = _mm256_cmpeq_epi8(_mm256_min_epu8(block, _mm256_set1_epi8(0x1F)), block);
		if (gPage.upperKeptFrom > 0x80) {
			__m256i upper = _mm256_sub_epi8(block, _mm256_set1_epi8(static_cast<char>(0x80)));
			__m256i bound = _mm256_set1_epi8(static_cast<char>(gPage.upperKeptFrom - 0x81));
			ends = _mm256_or_si256(ends, _mm256_cmpeq_epi8(_mm256_min_epu8(upper, bound), upper));
		}
	}
	return static_cast<uint32_t>(_mm256_movemask_epi8(ends));
}

// The position in the block of the first byte that ends the run, kBlock when
// none does.
static inline int32_t
FirstEnd(const char* bytes, filter_mode mode)
{
	uint32_t mask = EndsMask(bytes, mode);
	return mask == 0 ? kBlock : __builtin_ctz(mask);
}

// Nearly every line of text is shorter than this, so that its end is found
// by the first look, which has no branch that depends on the line's length:
// a line end then costs no mispredicted branch.
static const int32_t kFirstLook = 128;

// The position of the first byte among kFirstLook that ends the run,
// kFirstLook when none does. A count of trailing zeros of nothing is the
// width of the word.
static inline int32_t
FirstEndInLook(const char* bytes, filter_mode mode)
{
	uint64_t low = EndsMask(bytes, mode) | static_cast<uint64_t>(EndsMask(bytes + 32, mode)) << 32;
	uint64_t high = EndsMask(bytes + 64, mode)
		| static_cast<uint64_t>(EndsMask(bytes + 96, mode)) << 32;
	int32_t end = static_cast<int32_t>(_tzcnt_u64(low));
	int32_t past = static_cast<int32_t>(_tzcnt_u64(high));
	return end + (low == 0 ? past : 0);
}

#elif defined(__SSE2__)

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
		if (gPage.upperKeptFrom > 0x80) {
			__m128i upper = _mm_sub_epi8(block, _mm_set1_epi8(static_cast<char>(0x80)));
			__m128i bound = _mm_set1_epi8(static_cast<char>(gPage.upperKeptFrom - 0x81));
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
// and returns its length; a run that ends before count leaves ASC to the
// caller, who takes the byte that ended it. While the staging buffer has
// room, each block is copied there as it is looked at, so that the run is
// read once; the bytes of the last block past the run's end are overwritten
// by what is staged next. The rest, near the end of the buffer or of the
// piece, is staged as a run.
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
#if defined(QUILLON_SCAN_AVX2)
	if (limit >= kFirstLook) {
		memcpy(staged, bytes, kFirstLook);
		int32_t end = FirstEndInLook(bytes, mode);
		if (end < kFirstLook) {
			LineLenght += end;
			return end;
		}
		i = kFirstLook;
	}
#endif
	for (; i + kBlock <= limit; i += kBlock) {
		memcpy(staged + i, bytes + i, kBlock);
		int32_t end = FirstEnd(bytes + i, mode);
		if (end < kBlock) {
			LineLenght += i + end;
			return i + end;
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

#if defined(QUILLON_SCAN_AVX2)
// Passes over whole lines, from the start of bytes, as long as each ends in
// a line end at most kFirstLook bytes on, fits the staging buffer with the
// code after it, and comes with no page break due: the common case. The line
// ends are found sixty-four bytes at a time, wherever the lines begin, so
// that finding the next one waits for nothing the line before it did.
// Returns how far it got; the rest, from the first line that is not such a
// line, is the general pass's.
static inline int32_t
PassOverShortLines(const char* bytes, int32_t count, filter_mode mode)
{
	const int32_t kWindow = 64;
	// Room for the look, copied whole, and the longest code after it.
	const int32_t kRoom = kLineBufferSize - kFirstLook
		- static_cast<int32_t>(sizeof(CodeBytes::bytes));
	int32_t lineStart = 0;
	for (int32_t window = 0; window + kWindow <= count; window += kWindow) {
		// Every end found before lies in an earlier window, so every end
		// of this one lies past lineStart.
		uint64_t ends = EndsMask(bytes + window, mode)
			| static_cast<uint64_t>(EndsMask(bytes + window + 32, mode)) << 32;
		while (ends != 0) {
			int32_t end = window + static_cast<int32_t>(_tzcnt_u64(ends));
			ends &= ends - 1;
			char byte = bytes[end];
			if ((byte != '\n' && byte != '\r') || end - lineStart > kFirstLook
				|| lineStart > count - kFirstLook || LineCount == PaperY || LineLenght > kRoom)
				return lineStart;
			memcpy(LineBuffer + LineLenght, bytes + lineStart, kFirstLook);
			LineLenght += end - lineStart;
			ASC = byte;
			EndLine();
			lineStart = end + 1;
		}
		if (window + kWindow - lineStart >= kFirstLook)
			return lineStart;
	}
	return lineStart;
}
#endif

// The pass over one piece of a file, in the form of the scan this file is
// built with.
static inline void
PassOverPieceHere(const char* bytes, int32_t count)
{
	filter_mode mode = gPage.mode;
	int32_t position = 0;
	while (position < count) {
#if defined(QUILLON_SCAN_AVX2)
		if (mode != kRawMode) {
			position += PassOverShortLines(bytes + position, count - position, mode);
			if (position == count)
				break;
		}
#endif
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
