#include "TextPage.h"

int32_t LineCount = 0;

int64_t gPieceStart = 0;
page_settings gPage;

void
StagePageStart()
{
	StageCode(gPage.loadPaper);
	for (int32_t i = 0; i < gPage.topBlankLines; i++)
		StageCode(gPage.newLine);
	LineCount = 0;
	// One writer: a load and a store, no locked instruction.
	gJobProgress.pages.store(gJobProgress.pages.load(std::memory_order_relaxed) + 1,
		std::memory_order_relaxed);
}

// A run of tabs. The first gives one space, then more up to the next multiple
// of the tab size; it ends on a stop, so every further tab gives a full tab
// size of spaces. A tab size of 0 or less has no stops: each tab gives the one
// space.
void
ExpandTabs(int32_t tabs)
{
	ASC = 0x20;
	int64_t spaces = tabs;
	if (gPage.tabSize > 0) {
		int64_t rest = (StagedColumn() + 1) % gPage.tabSize;
		if (rest != 0)
			spaces += gPage.tabSize - rest;
		spaces += static_cast<int64_t>(tabs - 1) * (gPage.tabSize - 1);
	}
	const int64_t kPiece = 1 << 30;
	for (; spaces > kPiece; spaces -= kPiece)
		StageRepeated(' ', static_cast<int32_t>(kPiece));
	StageRepeated(' ', static_cast<int32_t>(spaces));
}
