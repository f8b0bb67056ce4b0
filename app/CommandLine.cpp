#include "CommandLine.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include <unistd.h>

#include "PreviewPort.h"

#ifndef QUILLON_VERSION
#error "the build defines QUILLON_VERSION"
#endif

namespace {

const char kHelp[]
	= "Usage: quillon [--refs FILE...]\n"
	  "  or:  quillon --render MODEL FILE.prn OUT.pdf\n"
	  "Print plain text files straight to a printer port, with the printer\n"
	  "model's own control codes.\n"
	  "\n"
	  "  --refs FILE...  print the files as one job once the application runs\n"
	  "  --help          display this help and exit\n"
	  "  --version       output version information and exit\n"
	  "  --render MODEL FILE.prn OUT.pdf\n"
	  "                  lay out a printer stream as the model's printer would,\n"
	  "                  as a PDF (or OUT-1.png ... when OUT ends in .png)\n"
	  "\n"
	  "With an X display Quillon opens its window. Without one, or with\n"
	  "QUILLON_PLATFORM=headless, it reads a script of user actions from\n"
	  "standard input and writes events to standard output.\n"
	  "\n"
	  "Full documentation: man quillon\n";

const char kVersion[]
	= "quillon (Quillon) " QUILLON_VERSION "\n"
	  "Copyright (C) 2026 Quillon maintainers.\n";

// The renderer is a program of its own beside this one (see PreviewPort.h):
// only it links cairo, and the application starts without it.
int
run_renderer(char* argv[])
{
	std::string path = preview_renderer_path();
	argv[0] = const_cast<char*>(path.c_str());
	execv(path.c_str(), argv);
	fprintf(stderr, "quillon: cannot run %s: %s\n", path.c_str(), strerror(errno));
	return 1;
}

}  // namespace

int
answer_command_line(int argc, char* argv[])
{
	for (int index = 1; index < argc; index++) {
		const char* word = argv[index];
		if (strcmp(word, "--refs") == 0)
			break;
		if (index == 1 && strcmp(word, "--render") == 0) {
			// The words after it are the renderer's.
			argv[1] = argv[0];
			return run_renderer(argv + 1);
		}
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
