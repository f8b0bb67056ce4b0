// The printer character sets a text file can be converted to. A file is read as
// UTF-8; each character goes out as the set's byte for it, as a plain-text
// stand-in where the set has none ("EUR", "..."), or as "?" when there is no
// stand-in either. The tables and the stand-ins are the C library's (iconv).
#pragma once

#include <cstdint>
#include <iconv.h>
#include <string>
#include <unordered_map>
#include <vector>

struct CharacterSet {
	const char* name;        // as QUILLON_CHARSET names it: "cp850"
	const char* label;       // as the user reads it: "CP850"
	const char* converterName;  // iconv's name for it
	bool isoControls;        // 0x80 to 0x9F are controls, not characters
	// How each printer family selects it.
	uint8_t escpTable[2];    // ESC ( t table number and its variant
	uint16_t codePage;       // IBM code page number
	const char* pclSymbolSet;  // "10U"
};

// The set QUILLON_CHARSET names, or NULL; value must not be empty.
const CharacterSet* FindCharacterSet(const char* value);

// "cp437, cp850, cp858, latin1 or latin9"
std::string CharacterSetNames();

// Converts one file at a time. Feed it the file in pieces of any size; a
// character cut in two by a piece boundary is put together again.
class CharacterSetConverter {
public:
	explicit CharacterSetConverter(const CharacterSet& set);
	~CharacterSetConverter();
	CharacterSetConverter(const CharacterSetConverter&) = delete;
	CharacterSetConverter& operator=(const CharacterSetConverter&) = delete;

	const CharacterSet& Set() const { return fSet; }

	// Starts a new file: a byte-order mark at its start is skipped, and the
	// count of characters without equivalent starts again.
	void Begin();
	// Appends the converted bytes of the next piece to out.
	void Convert(const char* bytes, size_t count, std::string& out);
	// The end of the file: what is still pending goes out.
	void Finish(std::string& out);

	// Characters of this file that had no equivalent and went out as "?".
	int64_t Unknown() const { return fUnknown; }

private:
	struct Equivalent {
		uint8_t length = 0;  // 0: not looked up yet
		bool unknown = false;
		char bytes[14];
	};

	void _Append(uint32_t codePoint, std::string& out);
	const Equivalent& _Lookup(uint32_t codePoint);
	Equivalent _Ask(uint32_t codePoint);
	size_t _Decode(const uint8_t* bytes, size_t count, bool final, std::string& out);

	const CharacterSet& fSet;
	iconv_t fExact;
	iconv_t fStandIn;
	uint32_t fLegacy[128];  // Windows-1252's characters for 0x80 to 0xFF
	std::vector<Equivalent> fBasic;  // the first 64 Ki code points
	std::unordered_map<uint32_t, Equivalent> fOthers;
	uint8_t fPending[8];
	int fPendingCount = 0;
	bool fAtStart = true;
	int64_t fUnknown = 0;
};
