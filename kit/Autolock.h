// Holds a looper's lock for the life of the object.
#pragma once

#include <Looper.h>

class BAutolock {
public:
	BAutolock(BLooper* looper) : fLooper(looper), fLocked(looper != NULL && looper->Lock()) {}
	BAutolock(BLooper& looper) : BAutolock(&looper) {}
	~BAutolock()
	{
		if (fLocked)
			fLooper->Unlock();
	}
	bool IsLocked() const { return fLocked; }

private:
	BLooper* fLooper;
	bool fLocked;
};
