#include "FilterChoices.h"

#include <cstdlib>
#include <cstring>

// The PPD calls are marked deprecated by libcups, yet they are still how a
// filter reads the options of its queue's PPD.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <cups/cups.h>
#include <cups/ppd.h>

#include "CommandCodes.h"

namespace {

struct OptionChoice {
	const char* keyword;
	const char* choice;
	uint32_t command;
};

// The PPD options and the menu items their choices stand for.
const OptionChoice kPpdChoices[] = {
	{ "PageSize", "Executive", MCs0 },
	{ "PageSize", "Letter", MCs1 },
	{ "PageSize", "Legal", MCs2 },
	{ "PageSize", "A4", MCs3 },
	{ "PrintMode", "Text", MMtx },
	{ "PrintMode", "Graphic", MMgr },
	{ "PrintQuality", "Draft", MMdr },
	{ "PrintQuality", "NLQ", MMnl },
	{ "PrintQuality", "LQ", MMlq },
	{ "Spacing", "Proportional", MMps },
	{ "Spacing", "Fixed", MMfx },
	{ "PrinterLinewrap", "On", MClw },
	{ "PrinterLinewrap", "Off", MCtr },
	{ "Direction", "Unidirectional", MCud },
	{ "Direction", "Bidirectional", MCbd },
};

const struct {
	const char* value;
	uint32_t command;
} kPitches[] = {
	{ "10", MMnm }, { "12", MM12 }, { "15", MM15 }, { "17", MM17 }, { "20", MM20 },
};

uint32_t
CommandCode(const char* text)
{
	if (text == nullptr || strlen(text) != 4)
		return 0;
	return static_cast<uint32_t>(static_cast<uint8_t>(text[0])) << 24
		| static_cast<uint32_t>(static_cast<uint8_t>(text[1])) << 16
		| static_cast<uint32_t>(static_cast<uint8_t>(text[2])) << 8
		| static_cast<uint32_t>(static_cast<uint8_t>(text[3]));
}

// The marked choice of an option when it is not the PPD's default.
const char*
ChangedChoice(ppd_file_t* ppd, const char* keyword)
{
	ppd_option_t* option = ppdFindOption(ppd, keyword);
	ppd_choice_t* marked = ppdFindMarkedChoice(ppd, keyword);
	if (option == nullptr || marked == nullptr || strcmp(marked->choice, option->defchoice) == 0)
		return nullptr;
	return marked->choice;
}

}  // namespace

bool
ReadFilterChoices(const char* ppdPath, const char* options, FilterChoices* choices,
	std::string* problem)
{
	if (ppdPath == nullptr || ppdPath[0] == '\0') {
		*problem = "No PPD: the queue has no Quillon printer model.";
		return false;
	}
	ppd_file_t* ppd = ppdOpenFile(ppdPath);
	if (ppd == nullptr) {
		int line;
		ppd_status_t status = ppdLastError(&line);
		*problem = std::string("Cannot read the PPD ") + ppdPath + ": " + ppdErrorString(status)
			+ " (line " + std::to_string(line) + ").";
		return false;
	}
	ppd_attr_t* model = ppdFindAttr(ppd, "QuillonModel", nullptr);
	choices->model = CommandCode(model != nullptr ? model->value : nullptr);
	if (choices->model == 0) {
		*problem = std::string("The PPD ") + ppdPath + " names no Quillon printer model.";
		ppdClose(ppd);
		return false;
	}

	cups_option_t* parsed = nullptr;
	int count = cupsParseOptions(options, 0, &parsed);
	ppdMarkDefaults(ppd);
	cupsMarkOptions(ppd, count, parsed);

	for (const OptionChoice& entry : kPpdChoices) {
		const char* changed = ChangedChoice(ppd, entry.keyword);
		if (changed != nullptr && strcmp(changed, entry.choice) == 0)
			choices->commands.push_back(entry.command);
	}
	if (const char* set = ChangedChoice(ppd, "CharacterSet"))
		choices->characterSet = set;

	// The pitch and the orientation are options of the job, as for CUPS's
	// own text filters; the PPD starts at 10 CPI and portrait.
	if (const char* cpi = cupsGetOption("cpi", count, parsed)) {
		bool known = false;
		for (const auto& pitch : kPitches) {
			if (strcmp(cpi, pitch.value) == 0) {
				if (pitch.command != MMnm)
					choices->commands.push_back(pitch.command);
				known = true;
			}
		}
		if (!known)
			choices->notes.push_back(std::string("cpi=") + cpi
				+ " is not 10, 12, 15, 17 or 20; printed at 10 CPI");
	}
	const char* orientation = cupsGetOption("orientation-requested", count, parsed);
	bool landscape = cupsGetOption("landscape", count, parsed) != nullptr;
	if (orientation != nullptr) {
		int value = atoi(orientation);
		if (value == 4 || value == 5)
			landscape = true;
		else if (value == 3 || value == 6)
			landscape = false;
		else
			choices->notes.push_back(std::string("orientation-requested=") + orientation
				+ " is not 3 to 6; printed portrait");
	}
	if (landscape)
		choices->commands.push_back(MCls);

	cupsFreeOptions(count, parsed);
	ppdClose(ppd);
	return true;
}
#pragma GCC diagnostic pop
