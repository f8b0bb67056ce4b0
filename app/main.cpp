#include "QuillonApplication.h"

int
main()
{
	QuillonApplication application;
	application.Run();
	return 0;
}
