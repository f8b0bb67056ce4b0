#include <cerrno>

#include <fcntl.h>

#include "BackendChoice.h"
#include "CommandLine.h"
#include "QuillonApplication.h"
#include "QuitRequest.h"

// Standard input, output and error are there, on /dev/null when the caller
// closed one, so that no port or file the program opens takes their place
// and gets the events or messages meant for them.
static void
OpenStandardDescriptors()
{
	for (int descriptor = 0; descriptor <= 2; descriptor++) {
		if (fcntl(descriptor, F_GETFD) >= 0 || errno != EBADF)
			continue;
		// The lowest free number is this one.
		if (open("/dev/null", descriptor == 0 ? O_RDONLY : O_WRONLY) < 0)
			return;
	}
}

int
main(int argc, char* argv[])
{
	OpenStandardDescriptors();
	if (int status = answer_command_line(argc, argv); status >= 0)
		return status;
	QuitSignals signals;
	install_platform_backend();
	QuillonApplication application(argc, argv);
	signals.Watch();
	application.Run();
	return signals.ExitStatus();
}
