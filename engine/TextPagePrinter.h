// The text page printer: turns the bytes of one file into the byte stream of a
// text printer, in raw, line-end or full-filter mode.
#pragma once

#include <cstdint>
#include <functional>

// Stages the top-of-page sequence: LoadPaper, then NewLine once per top blank
// line; LineCount (TextPage.h) becomes 0.
void StartNewTextPage();

// A file larger than FileBuffer comes in pieces: when the pass reaches the end
// of the buffer it asks this reader, if given, for the next piece, which the
// reader puts in FileBuffer, returning its length (0 at the end of the file).
// The pass runs on across pieces, so the output is the same as if the whole
// file had fitted.
typedef std::function<int32_t()> file_piece_reader;

// A reader that reads ahead keeps several pieces in FileBuffer at once, each
// where it was read, and tells where the next one lies.
struct file_piece {
	const char* bytes;
	int32_t length;  // 0 at the end of the file
};
typedef std::function<file_piece()> file_piece_source;
// The source of a reader that puts each piece at the start of FileBuffer;
// none for none.
file_piece_source PiecesAtBufferStart(const file_piece_reader& nextPiece);

// Prints FileBuffer[0 .. FileLenght - 1], then the pieces nextPiece reads,
// and the page-eject code.
void PrintTextPages(const file_piece_reader& nextPiece = nullptr);
void PrintTextPages(const file_piece_source& nextPiece);

// Copies the settings the pages of the next file are printed with; the caller
// holds gStoreLock. The print job takes them together with the file's preamble,
// so that a command given meanwhile cannot leave the file with the preamble of
// one printer and the page codes of another. Without it PrintTextPages takes
// them itself when it begins.
void TakeTextPageSettings();

// Whether the filter setting ("NO", "YES", "ALL" and the like) sends a file's
// bytes as they are.
bool FilterSendsRawData(const char* filterCodes);
