#include "QuillonJob.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <sys/stat.h>

#include <Activity.h>
#include <AppDefs.h>
#include <Application.h>
#include <Message.h>
#include <PortDiagnosis.h>
#include <PortStream.h>
#include <PreviewPort.h>
#include <PrinterPorts.h>

#include "Alerts.h"
#include "CupsQueuePort.h"
#include "JobFileReader.h"
#include "JobStatus.h"
#include "LineBuffer.h"
#include "PrintJob.h"
#include "SettingsStore.h"

namespace {

// The files of the job, as the output is compared with them before it is cut.
std::vector<PortFileId>
InputsOf(const std::vector<entry_ref>& files)
{
	std::vector<PortFileId> inputs;
	for (const entry_ref& ref : files) {
		struct stat info;
		if (ref.Path() != NULL && stat(ref.Path(), &info) == 0)
			inputs.push_back({ info.st_dev, info.st_ino });
		else
			inputs.push_back({ 0, 0 });
	}
	return inputs;
}

std::string
NameOf(const entry_ref& ref)
{
	return ref.name != NULL ? ref.name : ref.Path() != NULL ? ref.Path() : "";
}

// The size the file claims, 0 when it claims none (a pipe).
int64_t
SizeOf(const entry_ref& ref)
{
	struct stat info;
	if (ref.Path() == NULL || stat(ref.Path(), &info) != 0 || !S_ISREG(info.st_mode))
		return 0;
	return info.st_size;
}

// The port and where it really leads, when they differ: a port of the
// Printers menu pointed at a device or a network printer.
std::string
PortWithTarget(const char* path)
{
	std::string target = printer_port_target(path);
	if (target == path)
		return path;
	return std::string(path) + " (" + target + ")";
}

// The status bar's last word on a job, on the window the job began with.
void
ShowJobEnd(BWindow* window, const std::string& label, const std::string& trailing = "",
	int32 filled = 0)
{
	JobStatusLine line;
	line.label = label;
	line.trailing = trailing;
	line.filled = filled;
	post_status(window, line, false);
}

// Why a file of the job did not open, in a few words.
std::string
UnopenedWords(int error)
{
	switch (error) {
		case ENOENT:
		case ENOTDIR:
			return "not there";
		case EACCES:
		case EPERM:
			return "no permission";
		case EISDIR:
			return "a folder";
		default:
			return strerror(error);
	}
}

// "Reading notes.txt failed: Input/output error. The rest of it was not
// printed."; several files in one text, each with its reason when they
// differ.
std::string
UnreadText(const std::vector<std::pair<std::string, int>>& unread)
{
	if (unread.size() == 1) {
		return "Reading " + unread[0].first + " failed: " + strerror(unread[0].second)
			+ ". The rest of it was not printed.";
	}
	bool alike = std::all_of(unread.begin(), unread.end(),
		[&unread](const auto& file) { return file.second == unread[0].second; });
	std::string names;
	for (size_t i = 0; i < unread.size(); i++) {
		if (i > 0)
			names += i + 1 == unread.size() ? " and " : ", ";
		names += unread[i].first;
		if (!alike)
			names += std::string(" (") + strerror(unread[i].second) + ")";
	}
	return "Reading " + names + " failed" + (alike ? std::string(": ") + strerror(unread[0].second) : "")
		+ ". The rest of each was not printed.";
}

// A CUPS queue's job is titled with the file names.
std::string
Title(const std::vector<entry_ref>& files)
{
	std::string title;
	for (const entry_ref& ref : files)
		title += (title.empty() ? "" : " ") + NameOf(ref);
	return title;
}

// The output of a job kept in memory: the stream appends to the string.
ssize_t
CaptureWrite(void* cookie, const char* bytes, size_t count)
{
	static_cast<std::string*>(cookie)->append(bytes, count);
	return static_cast<ssize_t>(count);
}

FILE*
OpenCapture(std::string* captured)
{
	cookie_io_functions_t functions = {};
	functions.write = CaptureWrite;
	return fopencookie(captured, "w", functions);
}

// Graphic mode prints no body: the user is told, on standard output and in
// an alert, for each file.
void
PrintGraphicPages()
{
	printf("Print Graphic Pages.\n");
	RunAlert("Printer Alert", "Graphic Printing is not supported yet.", "OK");
}

}  // namespace

QuillonJob::QuillonJob(BMessage* refs, BWindow* window, JobFileReader& reader)
	:
	fWindow(window),
	fReader(reader)
{
	entry_ref ref;
	for (int32 index = 0; refs->FindRef("refs", index, &ref) == B_OK; index++)
		fFiles.push_back(ref);
	std::lock_guard<std::mutex> lock(gStoreLock);
	fPath = PrinterPath;
}

QuillonJob::QuillonJob(BMessage* refs, JobFileReader& reader, std::string* captured)
	:
	QuillonJob(refs, NULL, reader)
{
	fCaptured = captured;
	fCaptured->clear();
}

void
QuillonJob::Run()
{
	if (!_Begin())
		return;
	{
		// The bar goes on through the close: a network printer's job ends
		// only once the printer has all of it.
		JobTicker ticker(fWindow, static_cast<int32>(fFiles.size()), &fReader);
		// From here to the end of the close the user may cancel it.
		activity_stoppable_begin();
		_PrintFiles(ticker);
		ClosePrinterPort();
		activity_stoppable_end();
		ticker.Stop();
		fPages = PrinterPortAbandoned() ? ticker.PagesUpTo(PagesWhenPortAbandoned()) : ticker.Pages();
	}
	fCompleted = !PrinterPortAbandoned() && PrinterPortError() == 0;
	_Report();
}

bool
QuillonJob::_Begin()
{
	std::string problem;
	if (!fReader.BeginJob(&problem)) {
		ShowJobEnd(fWindow, "Nothing was printed", problem);
		RunAlert("Printer Alert", problem.c_str(), "OK");
		return false;
	}
	// The output is compared with the files before it is cut: printing a
	// file onto itself would cut it before it is read.
	size_t input = fFiles.size();
	// A port leads to a device, a file or a network printer, to a print
	// service's queue, or to a preview rendered in place of the printing.
	const bool queue = is_cups_queue_port(fPath.c_str());
	const std::string target = printer_port_target(fPath.c_str());
	PortFailure queueFailure;
	FILE* output;
	if (fCaptured != NULL)
		output = OpenCapture(fCaptured);
	else if (queue)
		output = open_cups_queue_port(fPath.c_str(), Title(fFiles), &queueFailure);
	else if (is_preview_port(target))
		output = open_preview_port(target);
	else
		output = open_printer_port(fPath.c_str(), InputsOf(fFiles), &input);
	int openError = output == NULL ? errno : 0;
	if (UsePrinterPort(output, abandon_port_stream))
		return true;
	if (fCaptured != NULL) {
		RunAlert("Printer Alert", "The preview could not be made.", "OK");
		return false;
	}
	if (input < fFiles.size()) {
		std::string name = NameOf(fFiles[input]);
		std::string text = name + " is the printer output itself; nothing was printed.";
		ShowJobEnd(fWindow, "Nothing was printed", name + " is the printer output itself");
		RunAlert("Printer Alert", text.c_str(), "OK");
		return false;
	}
	// The alert keeps its words; the status bar and standard error say why,
	// and what may mend it.
	PortFailure failure = queue ? queueFailure : describe_port_failure(fPath.c_str(), openError);
	std::string said = "quillon: port failed: " + failure.reason;
	if (!failure.hint.empty())
		said += " (" + failure.hint + ")";
	fprintf(stderr, "%s\n", said.c_str());
	ShowJobEnd(fWindow, failure.reason, failure.hint);
	if (RunAlert("PrinterAlert", "Port failed", "OK", "Quit") == 1)
		be_app->PostMessage(B_QUIT_REQUESTED);
	// With no output there is nothing to print the files to.
	return false;
}

void
QuillonJob::_PrintFiles(JobTicker& ticker)
{
	for (size_t index = 0; index < fFiles.size(); index++) {
		const entry_ref& ref = fFiles[index];
		if (!fReader.Open(ref)) {
			fStoppedAtOpen = true;
			fUnopened = NameOf(ref);
			break;
		}
		ticker.BeginFile(static_cast<int32>(index + 1), NameOf(ref), SizeOf(ref));
		fPrinted++;
		if (StartPrinting(fReader.ReadFirstPiece()) == kBodyGraphic)
			PrintGraphicPages();
		std::string failed = fReader.EndFile(NameOf(ref));
		if (!failed.empty())
			fUnread.emplace_back(failed, fReader.FileReadError());
		// Quit closed the output (the application is on its way out), or
		// the user cancelled the job.
		if (PrinterPortAbandoned())
			break;
	}
}

void
QuillonJob::_Report()
{
	// Quit abandoned the job: the application is on its way out, and nobody
	// is to be kept by an alert about what was not printed.
	if (PrinterPortClosedByQuit()) {
		ShowJobEnd(fWindow, "Printing stopped: the program quits");
		return;
	}
	if (fCaptured != NULL && PrinterPortAbandoned()) {
		fprintf(stderr, "quillon: preview cancelled\n");
		return;
	}
	const char* path = fPath.c_str();
	std::string target = describe_printer_port(path).target;
	std::string summary = printed_summary(fPrinted, fPages, target);
	// Cancelled: what was printed until then is all the user is told.
	if (PrinterPortAbandoned()) {
		fprintf(stderr, "quillon: printing cancelled; %s\n", summary.c_str());
		ShowJobEnd(fWindow, "Cancelled", summary);
		return;
	}
	std::string whyUnopened = fStoppedAtOpen ? UnopenedWords(fReader.OpenError()) : "";
	if (fStoppedAtOpen)
		fprintf(stderr, "quillon: could not open %s: %s\n", fUnopened.c_str(), whyUnopened.c_str());
	// A job that failed shows an empty bar.
	if (int error = PrinterPortError())
		ShowJobEnd(fWindow, "Printing to " + target + " failed", strerror(error));
	else if (fStoppedAtOpen)
		ShowJobEnd(fWindow, summary, "could not open " + fUnopened + ": " + whyUnopened);
	else if (!fUnread.empty())
		ShowJobEnd(fWindow, summary, "reading " + fUnread.front().first + " failed");
	else
		ShowJobEnd(fWindow, summary, is_cups_queue_port(path) ? cups_queue_note() : "", 1000);

	// Nothing is lost without a word: a file that did not open, and output
	// that did not reach the printer, are told after the output is closed.
	if (fStoppedAtOpen) {
		std::string text = "Could not open " + fUnopened + "; it and the files after it were not printed.";
		RunAlert("Printer Alert", text.c_str(), "OK");
	}
	if (!fUnread.empty()) {
		std::string text = UnreadText(fUnread);
		RunAlert("Printer Alert", text.c_str(), "OK");
	}
	if (int error = PrinterPortError()) {
		std::string text = "Printing to " + PortWithTarget(path) + " failed: " + strerror(error)
			+ ". Part of the output was lost.";
		RunAlert("Printer Alert", text.c_str(), "OK");
	}
	std::string unconverted = fReader.CharacterSetReport();
	if (!unconverted.empty())
		RunAlert("Printer Alert", unconverted.c_str(), "OK");
}
