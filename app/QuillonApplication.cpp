#include "QuillonApplication.h"

#include <cstring>
#include <string>

#include <PrinterPorts.h>

#include "Alerts.h"
#include "LineBuffer.h"
#include "PrintJob.h"
#include "QuillonView.h"
#include "QuillonWindow.h"
#include "SettingsStore.h"
#include "TextPagePrinter.h"

const char* APP_SIGNATURE = "application/x-vnd.Quillon";

BFile FileObject;

// Bytes of the current file still to be read after the piece in FileBuffer;
// negative when its size is unknown.
static off_t sFileLeft = 0;

QuillonApplication::QuillonApplication()
	:
	BApplication(APP_SIGNATURE)
{
	PrinterPortOpener = open_printer_port;
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
	BApplication::MessageReceived(message);
}

// Reads the next piece of a file too large for FileBuffer.
static int32_t
ReadNextPiece()
{
	if (sFileLeft == 0)
		return 0;
	size_t count = kFileBufferSize;
	if (sFileLeft > 0 && sFileLeft < static_cast<off_t>(count))
		count = static_cast<size_t>(sFileLeft);
	ssize_t read = FileObject.Read(FileBuffer, count);
	if (read <= 0) {
		sFileLeft = 0;
		return 0;
	}
	if (sFileLeft > 0)
		sFileLeft -= read;
	return static_cast<int32_t>(read);
}

// Reads the first piece of the file into FileBuffer: the whole file when it
// fits. What does not fit is read by the text page printer as it goes on.
static void
ReadFile()
{
	off_t size = -1;
	if (FileObject.GetSize(&size) != B_OK)
		size = -1;
	size_t count = kFileBufferSize;
	if (size >= 0 && size < static_cast<off_t>(count))
		count = static_cast<size_t>(size);

	ssize_t read = FileObject.Read(FileBuffer, count);
	FileLenght = static_cast<int32_t>(read);
	if (read <= 0)
		sFileLeft = 0;
	else if (size < 0)
		sFileLeft = read == static_cast<ssize_t>(count) ? -1 : 0;
	else
		sFileLeft = size - read;
	ReadNextFilePiece = sFileLeft != 0 ? ReadNextPiece : NULL;
}

void
QuillonApplication::RefsReceived(BMessage* message)
{
	const char* path;
	{
		std::lock_guard<std::mutex> lock(gStoreLock);
		path = PrinterPath;
	}
	if (!OpenPrinterPort(path)) {
		if (RunAlert("PrinterAlert", "Port failed", "OK", "Quit") == 1)
			be_app->PostMessage(B_QUIT_REQUESTED);
		// With no output there is nothing to print the files to.
		return;
	}

	std::string unopened;
	entry_ref ref;
	for (int32 index = 0; message->FindRef("refs", index, &ref) == B_OK; index++) {
		if (FileObject.SetTo(&ref, B_READ_ONLY) != B_OK) {
			unopened = ref.name != NULL ? ref.name : ref.Path();
			break;
		}
		ReadFile();
		StartPrinting();
		ReadNextFilePiece = NULL;
		// Quit closed the output: the application is on its way out.
		if (PrinterPortClosedByQuit())
			break;
	}

	ClosePrinterPort();

	// Nothing is lost without a word: a file that did not open, and output
	// that did not reach the printer, are told after the output is closed.
	if (!unopened.empty()) {
		std::string text = "Could not open " + unopened
			+ "; it and the files after it were not printed.";
		RunAlert("Printer Alert", text.c_str(), "OK");
	}
	if (int error = PrinterPortError()) {
		std::string text = std::string("Printing to ") + path + " failed: " + strerror(error)
			+ ". Part of the output was lost.";
		RunAlert("Printer Alert", text.c_str(), "OK");
	}
}
