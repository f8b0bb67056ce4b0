#include "CharacterSet.h"

#include <cerrno>
#include <cstring>

// clang-format off
static const CharacterSet kCharacterSets[] = {
	{ "cp437", "CP437", "CP437", false, { 1, 0 }, 437, "10U" },
	{ "cp850", "CP850", "CP850", false, { 3, 0 }, 850, "12U" },
	{ "cp858", "CP858", "CP858", false, { 44, 0 }, 858, "13U" },
	{ "latin1", "ISO 8859-1", "ISO-8859-1", true, { 29, 16 }, 819, "0N" },
	{ "latin9", "ISO 8859-15", "ISO-8859-15", true, { 29, 15 }, 923, "9N" },
};
// clang-format on

static const uint32_t kReplacement = 0xFFFD;

const CharacterSet*
FindCharacterSet(const char* value)
{
	for (const CharacterSet& set : kCharacterSets) {
		if (strcmp(set.name, value) == 0)
			return &set;
	}
	return NULL;
}

std::string
CharacterSetNames()
{
	std::string names;
	const size_t count = sizeof(kCharacterSets) / sizeof(kCharacterSets[0]);
	for (size_t i = 0; i < count; i++) {
		if (i > 0)
			names += i + 1 == count ? " or " : ", ";
		names += kCharacterSets[i].name;
	}
	return names;
}

// One character in, its bytes out; false when the converter has none for it.
static bool
ConvertOne(iconv_t converter, uint32_t codePoint, char* bytes, size_t room, size_t* length)
{
	char in[4] = { static_cast<char>(codePoint), static_cast<char>(codePoint >> 8),
		static_cast<char>(codePoint >> 16), static_cast<char>(codePoint >> 24) };
	char* inPointer = in;
	size_t inLeft = sizeof(in);
	char* outPointer = bytes;
	size_t outLeft = room;
	iconv(converter, NULL, NULL, NULL, NULL);
	if (iconv(converter, &inPointer, &inLeft, &outPointer, &outLeft) == static_cast<size_t>(-1))
		return false;
	*length = room - outLeft;
	return *length > 0;
}

CharacterSetConverter::CharacterSetConverter(const CharacterSet& set)
	:
	fSet(set),
	fBasic(0x10000)
{
	std::string standIn = std::string(set.converterName) + "//TRANSLIT";
	fExact = iconv_open(set.converterName, "UTF-32LE");
	fStandIn = iconv_open(standIn.c_str(), "UTF-32LE");

	// Older files are often Windows-1252: its characters for the bytes that
	// are not UTF-8, from the C library's table.
	iconv_t legacy = iconv_open("UTF-32LE", "CP1252");
	for (int byte = 0x80; byte <= 0xFF; byte++) {
		fLegacy[byte - 0x80] = kReplacement;
		if (legacy == reinterpret_cast<iconv_t>(-1))
			continue;
		char in = static_cast<char>(byte);
		char* inPointer = &in;
		size_t inLeft = 1;
		unsigned char out[4];
		char* outPointer = reinterpret_cast<char*>(out);
		size_t outLeft = sizeof(out);
		iconv(legacy, NULL, NULL, NULL, NULL);
		if (iconv(legacy, &inPointer, &inLeft, &outPointer, &outLeft) != static_cast<size_t>(-1)
			&& outLeft == 0) {
			fLegacy[byte - 0x80] = out[0] | out[1] << 8 | out[2] << 16
				| static_cast<uint32_t>(out[3]) << 24;
		}
	}
	if (legacy != reinterpret_cast<iconv_t>(-1))
		iconv_close(legacy);
}

CharacterSetConverter::~CharacterSetConverter()
{
	if (fExact != reinterpret_cast<iconv_t>(-1))
		iconv_close(fExact);
	if (fStandIn != reinterpret_cast<iconv_t>(-1))
		iconv_close(fStandIn);
}

void
CharacterSetConverter::Begin()
{
	fPendingCount = 0;
	fAtStart = true;
	fUnknown = 0;
}

CharacterSetConverter::Equivalent
CharacterSetConverter::_Ask(uint32_t codePoint)
{
	Equivalent equivalent;
	size_t length = 0;
	if (fExact != reinterpret_cast<iconv_t>(-1)
		&& ConvertOne(fExact, codePoint, equivalent.bytes, sizeof(equivalent.bytes), &length)) {
		equivalent.length = static_cast<uint8_t>(length);
		return equivalent;
	}
	if (fStandIn != reinterpret_cast<iconv_t>(-1)
		&& ConvertOne(fStandIn, codePoint, equivalent.bytes, sizeof(equivalent.bytes), &length)
		&& !(length == 1 && equivalent.bytes[0] == '?')) {
		equivalent.length = static_cast<uint8_t>(length);
		return equivalent;
	}
	equivalent.bytes[0] = '?';
	equivalent.length = 1;
	equivalent.unknown = true;
	return equivalent;
}

const CharacterSetConverter::Equivalent&
CharacterSetConverter::_Lookup(uint32_t codePoint)
{
	Equivalent& equivalent = codePoint < fBasic.size() ? fBasic[codePoint] : fOthers[codePoint];
	if (equivalent.length == 0)
		equivalent = _Ask(codePoint);
	return equivalent;
}

void
CharacterSetConverter::_Append(uint32_t codePoint, std::string& out)
{
	if (fAtStart) {
		fAtStart = false;
		if (codePoint == 0xFEFF)
			return;
	}
	const Equivalent& equivalent = _Lookup(codePoint);
	out.append(equivalent.bytes, equivalent.length);
	if (equivalent.unknown)
		fUnknown++;
}

// The length of the UTF-8 sequence a lead byte starts, and the range its
// second byte must lie in (which rules out overlong forms, surrogates and
// code points past U+10FFFF); 0 for a byte that starts none.
static int
SequenceLength(uint8_t lead, uint8_t* low, uint8_t* high)
{
	*low = 0x80;
	*high = 0xBF;
	if (lead >= 0xC2 && lead <= 0xDF)
		return 2;
	if (lead >= 0xE0 && lead <= 0xEF) {
		if (lead == 0xE0)
			*low = 0xA0;
		else if (lead == 0xED)
			*high = 0x9F;
		return 3;
	}
	if (lead >= 0xF0 && lead <= 0xF4) {
		if (lead == 0xF0)
			*low = 0x90;
		else if (lead == 0xF4)
			*high = 0x8F;
		return 4;
	}
	return 0;
}

// How many of the bytes after the lead byte continue its sequence.
static int
Continuing(const uint8_t* bytes, size_t count, int length, uint8_t low, uint8_t high)
{
	int valid = 0;
	for (int k = 1; k < length && static_cast<size_t>(k) < count; k++) {
		uint8_t byte = bytes[k];
		bool fits = k == 1 ? byte >= low && byte <= high : byte >= 0x80 && byte <= 0xBF;
		if (!fits)
			break;
		valid++;
	}
	return valid;
}

// Converts what it can of bytes; returns how many it used. Unless final, a
// sequence cut short by the end is left for the next piece.
size_t
CharacterSetConverter::_Decode(const uint8_t* bytes, size_t count, bool final, std::string& out)
{
	size_t i = 0;
	while (i < count) {
		if (bytes[i] < 0x80) {
			size_t end = i + 1;
			while (end < count && bytes[end] < 0x80)
				end++;
			out.append(reinterpret_cast<const char*>(bytes + i), end - i);
			fAtStart = false;
			i = end;
			continue;
		}
		uint8_t low, high;
		int length = SequenceLength(bytes[i], &low, &high);
		int valid = length > 0 ? Continuing(bytes + i, count - i, length, low, high) : 0;
		if (length > 0 && valid == length - 1) {
			uint32_t codePoint = bytes[i] & (0xFF >> (length + 1));
			for (int k = 1; k < length; k++)
				codePoint = codePoint << 6 | (bytes[i + k] & 0x3F);
			_Append(codePoint, out);
			i += length;
		} else if (length > 0 && !final && i + 1 + valid == count) {
			break;
		} else {
			_Append(fLegacy[bytes[i] - 0x80], out);
			i++;
		}
	}
	return i;
}

void
CharacterSetConverter::Convert(const char* bytes, size_t count, std::string& out)
{
	const uint8_t* in = reinterpret_cast<const uint8_t*>(bytes);
	if (fPendingCount > 0) {
		// The start of a character came at the end of the last piece.
		uint8_t joined[8];
		memcpy(joined, fPending, static_cast<size_t>(fPendingCount));
		size_t taken = count < 4 ? count : 4;
		memcpy(joined + fPendingCount, in, taken);
		size_t joinedCount = static_cast<size_t>(fPendingCount) + taken;
		size_t used = _Decode(joined, joinedCount, false, out);
		if (used < static_cast<size_t>(fPendingCount)) {
			// Still not whole: the piece was that short.
			memcpy(fPending, joined + used, joinedCount - used);
			fPendingCount = static_cast<int>(joinedCount - used);
			return;
		}
		in += used - static_cast<size_t>(fPendingCount);
		count -= used - static_cast<size_t>(fPendingCount);
		fPendingCount = 0;
	}
	size_t used = _Decode(in, count, false, out);
	fPendingCount = static_cast<int>(count - used);
	memcpy(fPending, in + used, static_cast<size_t>(fPendingCount));
}

void
CharacterSetConverter::Finish(std::string& out)
{
	_Decode(reinterpret_cast<const uint8_t*>(fPending), static_cast<size_t>(fPendingCount), true,
		out);
	fPendingCount = 0;
}
