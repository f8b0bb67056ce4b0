// Fonts: the kit knows the desktop's plain, bold and fixed fonts by size.
#pragma once

#include <SupportDefs.h>

const uint32 B_FONT_FAMILY_AND_STYLE = 0x00000001;
const uint32 B_FONT_SIZE = 0x00000002;
const uint32 B_FONT_ALL = 0x000000FF;

enum font_kind { B_PLAIN_FONT_KIND = 0, B_BOLD_FONT_KIND = 1, B_FIXED_FONT_KIND = 2 };

class BFont {
public:
	BFont(font_kind kind = B_PLAIN_FONT_KIND, float size = 12.0f) : fKind(kind), fSize(size) {}

	void SetSize(float size) { fSize = size; }
	float Size() const { return fSize; }
	font_kind Kind() const { return fKind; }
	// A width estimate for layout; the desktop measures the real glyphs.
	float StringWidth(const char* string) const;

private:
	font_kind fKind;
	float fSize;
};

extern const BFont* be_plain_font;
extern const BFont* be_fixed_font;
