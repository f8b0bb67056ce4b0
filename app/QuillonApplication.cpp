#include "QuillonApplication.h"

#include "PagePreview.h"
#include "PreviewWindow.h"
#include "QuillonJob.h"
#include "QuillonView.h"
#include "QuillonWindow.h"
#include "SettingsStore.h"

const char* APP_SIGNATURE = "application/x-vnd.Quillon";

// Process-wide, as the job's file has always been: it stays open on the last
// file read until the next job, and is destroyed after the application.
BFile FileObject;

QuillonApplication::QuillonApplication(int argc, char** argv)
	:
	BApplication(APP_SIGNATURE, argc, argv)
{
	ApplyStartUpSettings();

	QuillonWindow* window = new QuillonWindow(BRect(32.0f, 32.0f, 600.0f, 600.0f));
	window->Show();

	QuillonView* view = new QuillonView(BRect(0.0f, 19.0f, 599.0f, 599.0f), "Quillon_View_ID_Name");
	window->AddChild(view, NULL);
	window->Show();
}

QuillonApplication::~QuillonApplication()
{
}

void
QuillonApplication::MessageReceived(BMessage* message)
{
	switch (message->what) {
		case kPreviewFiles:
			preview_files(message, fReader);
			break;
		default:
			BApplication::MessageReceived(message);
			break;
	}
}

void
QuillonApplication::RefsReceived(BMessage* message)
{
	// Windows are deleted on this thread alone, so the window stays while
	// the job runs; its loop may end meanwhile, and then it takes no more.
	QuillonJob job(message, WindowAt(0), fReader);
	job.Run();
}
