// A handler: what a looper hands each message to. A message the handler does
// not handle goes on to the next handler in its chain, if it has one, and
// ends there otherwise.
#pragma once

#include <Message.h>

class BHandler {
public:
	BHandler();
	virtual ~BHandler();

	// Hands the message to the next handler, or drops it when there is none.
	virtual void MessageReceived(BMessage* message);

	// Call with the looper that dispatches to this handler locked, or before
	// it runs.
	void SetNextHandler(BHandler* handler);

private:
	BHandler* fNextHandler;
};
