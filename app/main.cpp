#include "CommandLine.h"
#include "QuillonApplication.h"
#include "QuitRequest.h"

int
main(int argc, char* argv[])
{
	if (int status = answer_command_line(argc, argv); status >= 0)
		return status;
	QuitSignals signals;
	QuillonApplication application;
	signals.Watch();
	application.Run();
	return signals.ExitStatus();
}
