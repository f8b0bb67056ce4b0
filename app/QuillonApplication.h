#pragma once

#include <Application.h>
#include <File.h>

extern const char* APP_SIGNATURE;

// The file each print job reads, one listed file after the other.
extern BFile FileObject;

class QuillonApplication : public BApplication {
public:
	QuillonApplication();
	virtual ~QuillonApplication();

	virtual void MessageReceived(BMessage* message);
	virtual void RefsReceived(BMessage* message);
};
