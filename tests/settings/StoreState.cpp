#include "StoreState.h"

#include <cstdio>
#include <cstring>
#include <deque>

#include "SettingsStore.h"

namespace {

enum class Kind { Text, Count, Float, Array };

struct StoreVariable
{
	const char* name;
	Kind kind;
	void* address;
	size_t size;
};

#define TEXT(v)                                                                                    \
	{                                                                                              \
#v, Kind::Text, &v, sizeof(v)                                                              \
	}
#define COUNT(v)                                                                                   \
	{                                                                                              \
#v, Kind::Count, &v, sizeof(v)                                                             \
	}
#define FLOAT(v)                                                                                   \
	{                                                                                              \
#v, Kind::Float, &v, sizeof(v)                                                             \
	}
#define ARRAY(v)                                                                                   \
	{                                                                                              \
#v, Kind::Array, v, sizeof(v)                                                              \
	}

const std::vector<StoreVariable>& Variables()
{
	static const std::vector<StoreVariable> variables = {
	    TEXT(PrinterPath),
	    TEXT(PrintName),
	    TEXT(PrintMode),
	    TEXT(FilterCodes),
	    TEXT(LineMode),

	    TEXT(ResetPrinter),
	    TEXT(SelfTest),
	    TEXT(LoadPaper),
	    TEXT(EjectPaper),
	    TEXT(CR_LF_FF),
	    TEXT(NewLine),
	    TEXT(Alarm),
	    TEXT(CPI10),
	    TEXT(CPI12),
	    TEXT(CPI15),
	    TEXT(CPI17),
	    TEXT(CPI20),
	    TEXT(DraftMode),
	    TEXT(NLQ_Mode),
	    TEXT(LQ_Mode),
	    TEXT(PS_ModeOn),
	    TEXT(PS_ModeOff),
	    TEXT(SelectExec),
	    TEXT(SelectLetter),
	    TEXT(SelectLegal),
	    TEXT(SelectA4),
	    TEXT(PortraitPage),
	    TEXT(LandscapePage),
	    TEXT(EnableEOLWrap),
	    TEXT(DisableEOLWrap),
	    TEXT(Unidirectional),
	    TEXT(Bidirectional),
	    TEXT(UnderlineOn),
	    TEXT(UnderlineOff),
	    TEXT(BoldOn),
	    TEXT(BoldOff),
	    TEXT(ItalicsOn),
	    TEXT(ItalicsOff),
	    TEXT(Superscript),
	    TEXT(Subscript),
	    TEXT(NormalScript),

	    COUNT(TopBlankLines),
	    COUNT(BottomBlankLines),
	    COUNT(TabSize),
	    COUNT(PagesPerSheet),
	    COUNT(ColumnsPerPage),

	    FLOAT(CPI),
	    FLOAT(LPI),
	    FLOAT(CPI_10),
	    FLOAT(CPI_12),
	    FLOAT(CPI_15),
	    FLOAT(CPI_17),
	    FLOAT(CPI_20),

	    FLOAT(PortraitExecX),
	    FLOAT(PortraitExecY),
	    FLOAT(LandscapeExecX),
	    FLOAT(LandscapeExecY),
	    FLOAT(PortraitLetterX),
	    FLOAT(PortraitLetterY),
	    FLOAT(LandscapeLetterX),
	    FLOAT(LandscapeLetterY),
	    FLOAT(PortraitLegalX),
	    FLOAT(PortraitLegalY),
	    FLOAT(LandscapeLegalX),
	    FLOAT(LandscapeLegalY),
	    FLOAT(PortraitA4X),
	    FLOAT(PortraitA4Y),
	    FLOAT(LandscapeA4X),
	    FLOAT(LandscapeA4Y),

	    FLOAT(PortraitX),
	    FLOAT(PortraitY),
	    FLOAT(LandscapeX),
	    FLOAT(LandscapeY),

	    ARRAY(PrintCPI),
	    ARRAY(PrintQuality),
	    ARRAY(PrintSpacing),
	    ARRAY(PaperTray),
	    ARRAY(PrintOrientation),
	    ARRAY(PrintWrap),
	    ARRAY(PrintDirection),

	    ARRAY(PrintLQ),
	    ARRAY(PrintSpace),
	    ARRAY(PaperSource),
	    ARRAY(PrintOrient),
	    ARRAY(PrintWRAP),
	    ARRAY(PrintDir),
	};
	return variables;
}

#undef TEXT
#undef COUNT
#undef FLOAT
#undef ARRAY

const StoreVariable& Find(const std::string& name)
{
	for (const StoreVariable& variable : Variables()) {
		if (name == variable.name)
			return variable;
	}
	ADD_FAILURE() << "no store variable " << name;
	static const StoreVariable none = {"", Kind::Count, nullptr, 0};
	return none;
}

std::string Unquoted(const std::string& rendered)
{
	if (rendered.size() >= 2 && rendered.front() == '"' && rendered.back() == '"')
		return rendered.substr(1, rendered.size() - 2);
	ADD_FAILURE() << "not a quoted text: " << rendered;
	return rendered;
}

// Texts handed to the store as pointers must outlive every test.
const char* KeepText(const std::string& text)
{
	static std::deque<std::string> texts;
	texts.push_back(text);
	return texts.back().c_str();
}

// Taken while the program loads: every store variable is constant-initialized,
// so this sees the values written into the program.
const StoreImage sAtLoad = SaveStore();

} // namespace

std::string Quoted(const char* text)
{
	if (text == nullptr)
		return "(null)";
	return std::string("\"") + text + "\"";
}

std::string Count(int32_t value)
{
	return std::to_string(value);
}

std::string Float(float value)
{
	char text[32];
	snprintf(text, sizeof(text), "%.9g", static_cast<double>(value));
	return text;
}

StoreView ViewStore()
{
	StoreView view;
	for (const StoreVariable& variable : Variables()) {
		std::string& value = view[variable.name];
		switch (variable.kind) {
			case Kind::Text:
				value = Quoted(*static_cast<const char**>(variable.address));
				break;
			case Kind::Count:
				value = Count(*static_cast<int32_t*>(variable.address));
				break;
			case Kind::Float:
				value = Float(*static_cast<float*>(variable.address));
				break;
			case Kind::Array: {
				const char* array = static_cast<const char*>(variable.address);
				if (memchr(array, '\0', variable.size) == nullptr)
					value = "(unterminated)";
				else
					value = Quoted(array);
				break;
			}
		}
	}
	return view;
}

std::vector<std::string> StoreVariableNames()
{
	std::vector<std::string> names;
	for (const StoreVariable& variable : Variables())
		names.push_back(variable.name);
	return names;
}

void SetStoreVariable(const std::string& name, const std::string& rendered)
{
	const StoreVariable& variable = Find(name);
	if (variable.address == nullptr)
		return;
	switch (variable.kind) {
		case Kind::Text:
			*static_cast<const char**>(variable.address) = KeepText(Unquoted(rendered));
			break;
		case Kind::Count:
			*static_cast<int32_t*>(variable.address) = std::stoi(rendered);
			break;
		case Kind::Float:
			*static_cast<float*>(variable.address) = std::stof(rendered);
			break;
		case Kind::Array: {
			std::string text = Unquoted(rendered);
			ASSERT_LT(text.size(), variable.size);
			memcpy(variable.address, text.c_str(), text.size() + 1);
			break;
		}
	}
}

std::string DescribeDifferences(const StoreView& expected, const StoreView& actual)
{
	std::string differences;
	for (const auto& [name, value] : expected) {
		auto found = actual.find(name);
		std::string actualValue = found == actual.end() ? "(missing)" : found->second;
		if (actualValue != value)
			differences += name + ": expected " + value + ", found " + actualValue + "\n";
	}
	for (const auto& [name, value] : actual) {
		if (expected.find(name) == expected.end())
			differences += name + ": not expected, found " + value + "\n";
	}
	return differences;
}

StoreImage SaveStore()
{
	StoreImage image;
	for (const StoreVariable& variable : Variables()) {
		const unsigned char* start = static_cast<const unsigned char*>(variable.address);
		image.bytes.emplace_back(start, start + variable.size);
	}
	return image;
}

void RestoreStore(const StoreImage& image)
{
	const std::vector<StoreVariable>& variables = Variables();
	for (size_t i = 0; i < variables.size() && i < image.bytes.size(); i++)
		memcpy(variables[i].address, image.bytes[i].data(), variables[i].size);
}

const StoreImage& StoreAtLoad()
{
	return sAtLoad;
}

void SettingsTest::SetUp()
{
	RestoreStore(StoreAtLoad());
	ApplyStartUpSettings();
}

void SettingsTest::TearDown()
{
	RestoreStore(StoreAtLoad());
}
