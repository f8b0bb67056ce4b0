#include "CommandLine.h"

#include <cstdio>
#include <cstring>

#ifndef QUILLON_VERSION
#error "the build defines QUILLON_VERSION"
#endif

namespace {

const char kHelp[]
	= "Usage: quillon [--refs FILE...]\n"
	  "Print plain text files straight to a printer port, with the printer\n"
	  "model's own control codes.\n"
	  "\n"
	  "  --refs FILE...  print the files as one job once the application runs\n"
	  "  --help          display this help and exit\n"
	  "  --version       output version information and exit\n"
	  "\n"
	  "With an X display Quillon opens its window. Without one, or with\n"
	  "QUILLON_PLATFORM=headless, it reads a script of user actions from\n"
	  "standard input and writes events to standard output.\n"
	  "\n"
	  "Full documentation: man quillon\n";

const char kVersion[]
	= "quillon (Quillon) " QUILLON_VERSION "\n"
	  "Copyright (C) 2026 Quillon maintainers.\n";

}  // namespace

int
answer_command_line(int argc, char* argv[])
{
	for (int index = 1; index < argc; index++) {
		const char* word = argv[index];
		if (strcmp(word, "--refs") == 0)
			break;
		if (strcmp(word, "--help") == 0) {
			fputs(kHelp, stdout);
			return 0;
		}
		if (strcmp(word, "--version") == 0) {
			fputs(kVersion, stdout);
			return 0;
		}
		if (word[0] == '-') {
			fprintf(stderr, "quillon: unrecognized option '%s' (try 'quillon --help')\n", word);
			return 2;
		}
	}
	return -1;
}
