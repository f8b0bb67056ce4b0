// One file of a print job: preamble, page geometry and body.
#pragma once

#include <cstdint>
#include <string>

#include "TextPagePrinter.h"

const int32_t kFileBufferSize = 999999;

extern char FileBuffer[kFileBufferSize];
extern int32_t FileLenght;
// Nothing in the program reads PaperX; it is worked out for every file all
// the same, as the line width the file would be printed at.
extern int32_t PaperX;
extern int32_t PaperY;

// The printer character set of the job, when one is chosen: the code string
// that selects it on the printer, staged right after each file's preamble and
// sent in the same write, and the first byte of the upper half that the full
// filter keeps. Without a set they stay "" and 0x100, and nothing changes.
// Set by the job's own thread before its first file.
extern std::string CharacterSetSelection;
extern int32_t UpperHalfKeptFrom;

// What became of a file's body.
enum print_body {
	kBodyPrinted,       // its text pages went out
	kBodyGraphic        // graphic mode: only the preamble went out; the body
	                    // is the caller's to report
};

// Set-up and body of the file in FileBuffer, the rest of it read by
// nextPiece; the output must be open.
print_body StartPrinting(const file_piece_reader& nextPiece = nullptr);
print_body StartPrinting(const file_piece_source& nextPiece);
