// The pass over a piece of a file built once more for processors with AVX2,
// where the scan takes thirty-two bytes at a time; the printer runs it only
// where the processor has AVX2. Only what is defined below the target line
// is built for AVX2: the headers before it, whose inline functions the whole
// program shares, keep the plain form, so no copy of them that the linker
// may keep needs AVX2.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <immintrin.h>

#include "JobProgress.h"
#include "LineBuffer.h"
#include "PrintJob.h"
#include "TextPage.h"

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2,bmi"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2,bmi")
#endif

#define QUILLON_SCAN_AVX2
#include "TextPagePass.h"

void
PassOverPieceAvx2(const char* bytes, int32_t count)
{
	PassOverPieceHere(bytes, count);
}

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif
