#include <Font.h>

#include <cstring>

static const BFont sPlainFont(B_PLAIN_FONT_KIND, 12.0f);
static const BFont sFixedFont(B_FIXED_FONT_KIND, 12.0f);

const BFont* be_plain_font = &sPlainFont;
const BFont* be_fixed_font = &sFixedFont;

float
BFont::StringWidth(const char* string) const
{
	return string != NULL ? static_cast<float>(strlen(string)) * fSize * 0.6f : 0.0f;
}
