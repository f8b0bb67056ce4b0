// The pass over a piece of a file in the form every processor runs: sixteen
// bytes at a time with SSE2, eight elsewhere.
#include "TextPagePass.h"

void
PassOverPiecePortable(const char* bytes, int32_t count)
{
	PassOverPieceHere(bytes, count);
}
