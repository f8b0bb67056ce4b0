// Where each port leads, as the user set it. The port variables
// (QUILLON_PARALLEL1, QUILLON_SERIAL1_BAUD...) come from three places: a
// choice made in the window, which holds for the rest of the run; else the
// environment; else the ports file, $XDG_CONFIG_HOME/quillon/ports
// (~/.config/quillon/ports), one NAME=VALUE line a variable, which keeps the
// window's choices from run to run and may be edited by hand.
#pragma once

#include <string>
#include <vector>

// The variable's value, from the first place that sets it (an empty value
// sets nothing); "" when none does.
std::string port_variable_value(const char* variable);

// "$XDG_CONFIG_HOME/quillon/NAME", else "$HOME/.config/quillon/NAME"; ""
// when neither is set.
std::string config_file_path(const char* name);

// Replaces the file with text: written to a new file beside it, flushed to
// the disk and renamed into place, so the old text stays whole until the new
// one is there (a full disk leaves it as it was). Makes the folder, for the
// user alone, when it is missing. False with why in error.
bool write_file_atomically(const std::string& path, const std::string& text, std::string* error);

// Reads the ports file, if there is one. Each line that cannot be used comes
// back as one problem ("line 3: FOO is no port variable"); the lines around it
// still count. A file that cannot be read is one problem. Only the names the
// ports know (isPortVariable) are taken.
std::vector<std::string> load_port_choices(bool (*isPortVariable)(const std::string& name));

// The window's choice: the variable leads to value from now on, and the
// ports file keeps it (its other lines stay as they were). False with why
// in error when the file could not be written; the choice holds anyway.
bool choose_port(const char* variable, const std::string& value, std::string* error);
