// Where a message is sent: the looper that receives it.
#pragma once

#include <cstddef>

class BLooper;

// Where a panel sends its message; without one it goes to the application.
class BMessenger {
public:
	BMessenger(BLooper* target = NULL) : fTarget(target) {}
	BLooper* Target() const { return fTarget; }

private:
	BLooper* fTarget;
};
