#include "TextPagePrinter.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "SettingsStore.h"
#include "TextPagePass.h"

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
	gPage.mode = FilterMode(sTaken.filter);
	gPage.upperKeptFrom = UpperHalfKeptFrom;
	if (gPage.mode == kFullFilterMode && gPage.upperKeptFrom < 0x100)
		gPage.mode = kFullFilterUpperMode;
	gPage.topBlankLines = sTaken.topBlankLines;
	gPage.tabSize = sTaken.tabSize;
	DecodeCodeString(sTaken.loadPaper, gPage.loadPaper);
	DecodeCodeString(sTaken.newLine, gPage.newLine);
	DecodeCodeString(sTaken.ejectPaper, gPage.ejectPaper);
}

void
StartNewTextPage()
{
	TakePageSettings();
	StagePageStart();
}

// The form of the pass this processor runs best, found at the first piece.
static void
PassOverPiece(const char* bytes, int32_t count)
{
#if defined(QUILLON_AVX2_FORM)
	static const bool sHasAvx2 = []() {
		__builtin_cpu_init();
		return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi");
	}();
	if (sHasAvx2) {
		PassOverPieceAvx2(bytes, count);
		return;
	}
#endif
	PassOverPiecePortable(bytes, count);
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
	gPieceStart = 0;
	gJobProgress.filePassed.store(0, std::memory_order_relaxed);
	StartNewTextPage();

	if (FileLenght > 0) {
		{
			PrinterPortHold hold;
			PassOverPiece(FileBuffer, FileLenght);
		}
		while (nextPiece) {
			gPieceStart += FileLenght;
			gJobProgress.filePassed.store(gPieceStart, std::memory_order_relaxed);
			file_piece piece = nextPiece();
			if (piece.length <= 0)
				break;
			FileLenght = piece.length;
			PrinterPortHold hold;
			PassOverPiece(piece.bytes, FileLenght);
		}
		if (!nextPiece) {
			gPieceStart += FileLenght;
			gJobProgress.filePassed.store(gPieceStart, std::memory_order_relaxed);
		}
	}

	PrinterPortHold hold;
	PrintLineBuffer();
	StageCode(gPage.ejectPaper);
	PrintLineBuffer();
}
