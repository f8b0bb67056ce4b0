#include "QuillonApplication.h"
#include "QuitRequest.h"

int
main()
{
	QuitSignals signals;
	QuillonApplication application;
	signals.Watch();
	application.Run();
	return signals.ExitStatus();
}
