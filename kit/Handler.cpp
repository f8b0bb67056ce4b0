#include <Handler.h>

BHandler::BHandler()
	:
	fNextHandler(NULL)
{
}

BHandler::~BHandler()
{
}

void
BHandler::MessageReceived(BMessage* message)
{
	if (fNextHandler != NULL)
		fNextHandler->MessageReceived(message);
}

void
BHandler::SetNextHandler(BHandler* handler)
{
	fNextHandler = handler;
}
