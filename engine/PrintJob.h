// One file of a print job: preamble, page geometry and body.
#pragma once

#include <cstdint>

const int32_t kFileBufferSize = 999999;

extern char FileBuffer[kFileBufferSize];
extern int32_t FileLenght;
extern int32_t PaperX;
extern int32_t PaperY;

// Set-up and body of the file in FileBuffer; the output must be open.
void StartPrinting();

// The body of a file in graphic mode.
void PrintGraphicPages();
