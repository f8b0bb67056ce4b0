#pragma once

#include <Application.h>
#include <File.h>

#include "JobFileReader.h"

// The application's signature, process-wide as the program has always kept
// it; only the application's constructor reads it.
extern const char* APP_SIGNATURE;

// The file each print job reads, one listed file after the other.
extern BFile FileObject;

class QuillonApplication : public BApplication {
public:
	// The arguments are main's: files after --refs are printed as one job.
	QuillonApplication(int argc = 0, char** argv = nullptr);
	virtual ~QuillonApplication();

	virtual void MessageReceived(BMessage* message);
	virtual void RefsReceived(BMessage* message);

private:
	JobFileReader fReader;
};
