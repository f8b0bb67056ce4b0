#include "CommandLine.h"
#include "QuillonApplication.h"

int
main(int argc, char* argv[])
{
	if (int status = answer_command_line(argc, argv); status >= 0)
		return status;
	QuillonApplication application;
	application.Run();
	return 0;
}
