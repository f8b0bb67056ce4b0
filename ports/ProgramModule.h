// The program's own modules, loaded only when they are needed: each lies in
// lib/quillon beside the bin directory once installed, and next to the
// program (or in a folder of the build tree) before.
#pragma once

#include <string>
#include <vector>

// Loads the module NAME from the first of those places that has it (the
// build tree's folder, such as "../cups/", last); NULL with why in error
// when none does or it does not load.
void* load_program_module(const char* name, const std::vector<std::string>& buildFolders, std::string* error);
