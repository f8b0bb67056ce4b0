// What a CUPS job asks of the printer, as the menu items Quillon has for it:
// the model the queue's PPD names, then the items its options choose.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct FilterChoices {
	uint32_t model = 0;              // a printer model's command code
	std::vector<uint32_t> commands;  // menu items, in the order they are run
	std::string characterSet;        // QUILLON_CHARSET's value, "" for none
	std::vector<std::string> notes;  // options that were given and not used
};

// Reads the queue's PPD (its defaults and the options the job marks) and the
// options of the job itself (cpi, landscape, orientation-requested). A choice
// left at the PPD's default runs no command: the defaults are what Quillon
// sends after start-up and the model's command. False when the PPD cannot be
// read or names no model; problem then says why.
bool ReadFilterChoices(const char* ppdPath, const char* options, FilterChoices* choices,
	std::string* problem);
