// The page a file's text is printed on: the settings the file was begun
// with, the lines on the current page and what a page break and a line end
// stage. Both forms of the pass (TextPagePass.h) build on it.
#pragma once

#include <atomic>
#include <cstdint>

#include "JobProgress.h"
#include "LineBuffer.h"
#include "PrintJob.h"

// Lines printed on the current page.
extern int32_t LineCount;

// The full filter with a printer character set keeps the set's upper half as
// well: 0x80 (or 0xA0) to 0xFF.
enum filter_mode { kRawMode, kLineEndMode, kFullFilterMode, kFullFilterUpperMode };

// The settings a file is printed with, copied under the store's lock when the
// file begins: a command given meanwhile applies from the next file on.
struct page_settings {
	filter_mode mode;
	int32_t upperKeptFrom;
	int32_t topBlankLines;
	int32_t tabSize;
	CodeBytes loadPaper;
	CodeBytes newLine;
	CodeBytes ejectPaper;
};
extern page_settings gPage;

// Bytes of the file in the pieces before the one being passed over.
extern int64_t gPieceStart;

// Stages the top-of-page sequence with the file's settings; counts the page.
void StagePageStart();
// Stages the spaces of a run of tabs.
void ExpandTabs(int32_t tabs);

static inline void
CheckPage(int32_t position)
{
	if (LineCount == PaperY) {
		StageCode(gPage.ejectPaper);
		StagePageStart();
		gJobProgress.filePassed.store(gPieceStart + position, std::memory_order_relaxed);
	}
}

static inline void
EndLine()
{
	StageCode(gPage.newLine);
	PrintLineBuffer();
	LineCount++;
}
