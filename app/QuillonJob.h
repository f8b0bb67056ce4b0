// One print job: the files of one refs message, printed one after the other
// to the output the settings name, and what the user is told about it: on
// standard error and the window's status bar as it goes, and in alerts once
// the output is closed. The application makes one for each refs message and
// runs it on its own thread, inside the handling of the message; the reader
// is the application's, kept from job to job.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include <Entry.h>
#include <SupportDefs.h>

class BMessage;
class BWindow;
class JobFileReader;
class JobTicker;

class QuillonJob {
public:
	QuillonJob(BMessage* refs, BWindow* window, JobFileReader& reader);
	// A job whose output is kept in captured instead of going to the port:
	// the same bytes, for a preview. Nothing is said on the status bar.
	QuillonJob(BMessage* refs, JobFileReader& reader, std::string* captured);

	void Run();
	// The output was closed at the job's end, not taken away by a cancel or
	// a quit, and not lost to a failed write.
	bool Completed() const { return fCompleted; }

private:
	// Opens the output on PrinterPath; false, with the user told why, when
	// nothing can be printed.
	bool _Begin();
	void _PrintFiles(JobTicker& ticker);
	// The status bar's last word and the alerts of what went wrong.
	void _Report();

	std::vector<entry_ref> fFiles;
	BWindow* fWindow;
	JobFileReader& fReader;
	std::string fPath;  // PrinterPath when the job began
	std::string* fCaptured = NULL;
	bool fCompleted = false;

	int32 fPrinted = 0;
	int32 fPages = 0;
	bool fStoppedAtOpen = false;  // a file did not open: it and the rest were not printed
	std::string fUnopened;
	std::vector<std::pair<std::string, int>> fUnread;  // each file whose read failed, and why
};
