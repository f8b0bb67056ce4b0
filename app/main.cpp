#include "BackendChoice.h"
#include "CommandLine.h"
#include "QuillonApplication.h"
#include "QuitRequest.h"

int
main(int argc, char* argv[])
{
	if (int status = answer_command_line(argc, argv); status >= 0)
		return status;
	QuitSignals signals;
	install_platform_backend();
	QuillonApplication application(argc, argv);
	signals.Watch();
	application.Run();
	return signals.ExitStatus();
}
