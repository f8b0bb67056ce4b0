// The few options Quillon answers itself, before the application starts.
#pragma once

// Answers --help and --version on standard output and refuses an option it
// does not know with one line on standard error. Returns the exit status when
// the program ends here (0 or 2), or -1 to go on and start the application.
// Everything after --refs is a file, whatever it looks like.
int answer_command_line(int argc, char* argv[]);
