// The code-string parser: any text, as a setting or a printer profile could
// hold it. Staging it pair by pair (HexToBuffer) and decoding it once to
// stage the copy (DecodeCodeString, StageCode) must give the same bytes and
// leave the same last value; neither may read past the terminator.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "LineBuffer.h"

extern "C" int
LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
	// Longer texts only repeat what these cover; the buffer holds the
	// staged bytes of these without a flush.
	if (size > 4096)
		return 0;
	// Exactly as long as the text and its terminator, so that a read past
	// it is caught.
	std::unique_ptr<char[]> text(new char[size + 1]);
	memcpy(text.get(), data, size);
	text[size] = '\0';
	PrinterPort = nullptr;

	LineLenght = 0;
	ASC = -1;
	HexToBuffer(text.get());
	std::string staged(LineBuffer, static_cast<size_t>(LineLenght));
	int32_t stagedLast = ASC;

	LineLenght = 0;
	ASC = -1;
	CodeBytes code;
	DecodeCodeString(text.get(), code);
	StageCode(code);
	std::string decoded(LineBuffer, static_cast<size_t>(LineLenght));
	LineLenght = 0;

	if (staged != decoded || stagedLast != ASC)
		abort();
	return 0;
}
