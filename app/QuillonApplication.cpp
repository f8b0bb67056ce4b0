#include "QuillonApplication.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <sys/stat.h>

#include <PortDiagnosis.h>
#include <PortStream.h>
#include <PreviewPort.h>
#include <PrinterPorts.h>

#include "Alerts.h"
#include "JobStatus.h"
#include "LineBuffer.h"
#include "PrintJob.h"
#include "QuillonView.h"
#include "QuillonWindow.h"
#include "SettingsStore.h"
#include "TextPagePrinter.h"

const char* APP_SIGNATURE = "application/x-vnd.Quillon";

BFile FileObject;

// The files of the job about to open its output, and which of them the
// output turned out to be.
static std::vector<PortFileId> sJobInputs;
const size_t kNoInput = static_cast<size_t>(-1);
static size_t sOutputInput = kNoInput;
// Why the output did not open, as an errno value.
static int sOpenError = 0;

static FILE*
OpenJobOutput(const char* path)
{
	if (std::string target = printer_port_target(path); is_preview_port(target)) {
		// A port pointed at "preview:PATH.pdf" renders the job there instead.
		FILE* output = open_preview_port(target);
		sOpenError = output == NULL ? errno : 0;
		return output;
	}
	FILE* output = open_printer_port(path, sJobInputs, &sOutputInput);
	sOpenError = output == NULL ? errno : 0;
	return output;
}

QuillonApplication::QuillonApplication(int argc, char** argv)
	:
	BApplication(APP_SIGNATURE, argc, argv)
{
	PrinterPortOpener = OpenJobOutput;
	PrinterPortAbandoner = abandon_port_stream;
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

// Graphic mode prints no body: the user is told, on standard output and in
// an alert, for each file.
static void
PrintGraphicPages()
{
	printf("Print Graphic Pages.\n");
	RunAlert("Printer Alert", "Graphic Printing is not supported yet.", "OK");
}

// The files of the job, as the output is compared with them before it is cut.
static std::vector<PortFileId>
InputsOf(BMessage* message)
{
	std::vector<PortFileId> inputs;
	entry_ref ref;
	for (int32 index = 0; message->FindRef("refs", index, &ref) == B_OK; index++) {
		struct stat info;
		if (ref.Path() != NULL && stat(ref.Path(), &info) == 0)
			inputs.push_back({ info.st_dev, info.st_ino });
		else
			inputs.push_back({ 0, 0 });
	}
	return inputs;
}

static std::string
NameOf(const entry_ref& ref)
{
	return ref.name != NULL ? ref.name : ref.Path() != NULL ? ref.Path() : "";
}

static int32
CountRefs(BMessage* message)
{
	return message->CountEntries("refs");
}

// The size the file claims, 0 when it claims none (a pipe).
static int64_t
SizeOf(const entry_ref& ref)
{
	struct stat info;
	if (ref.Path() == NULL || stat(ref.Path(), &info) != 0 || !S_ISREG(info.st_mode))
		return 0;
	return info.st_size;
}

// The port and where it really leads, when they differ: a port of the
// Printers menu pointed at a device or a network printer.
static std::string
PortWithTarget(const char* path)
{
	std::string target = printer_port_target(path);
	if (target == path)
		return path;
	return std::string(path) + " (" + target + ")";
}

// The status bar's last word on a job, on the window the job began with.
static void
ShowJobEnd(BWindow* window, const std::string& label, const std::string& trailing = "",
	int32 filled = 0)
{
	JobStatusLine line;
	line.label = label;
	line.trailing = trailing;
	line.filled = filled;
	post_status(window, line, false);
}

void
QuillonApplication::RefsReceived(BMessage* message)
{
	const char* path;
	{
		std::lock_guard<std::mutex> lock(gStoreLock);
		path = PrinterPath;
	}
	// Windows are deleted on this thread alone, so the window stays while
	// the job runs; its loop may end meanwhile, and then it takes no more.
	BWindow* window = WindowAt(0);
	std::string problem;
	if (!fReader.BeginJob(&problem)) {
		ShowJobEnd(window, "Nothing was printed", problem);
		RunAlert("Printer Alert", problem.c_str(), "OK");
		return;
	}
	sJobInputs = InputsOf(message);
	sOutputInput = kNoInput;
	bool opened = OpenPrinterPort(path);
	bool outputIsInput = !opened && sOutputInput < sJobInputs.size();
	sJobInputs.clear();
	if (outputIsInput) {
		// Printing a file onto itself would cut it before it is read.
		entry_ref ref;
		message->FindRef("refs", static_cast<int32>(sOutputInput), &ref);
		std::string text = NameOf(ref) + " is the printer output itself; nothing was printed.";
		ShowJobEnd(window, "Nothing was printed", NameOf(ref) + " is the printer output itself");
		RunAlert("Printer Alert", text.c_str(), "OK");
		return;
	}
	if (!opened) {
		// The alert keeps its words; the status bar and standard error say
		// why, and what may mend it.
		PortFailure failure = describe_port_failure(path, sOpenError);
		std::string said = "quillon: port failed: " + failure.reason;
		if (!failure.hint.empty())
			said += " (" + failure.hint + ")";
		fprintf(stderr, "%s\n", said.c_str());
		ShowJobEnd(window, failure.reason, failure.hint);
		if (RunAlert("PrinterAlert", "Port failed", "OK", "Quit") == 1)
			be_app->PostMessage(B_QUIT_REQUESTED);
		// With no output there is nothing to print the files to.
		return;
	}

	std::string unopened;
	std::string unread;
	entry_ref ref;
	int32 printed = 0;
	JobTicker ticker(window, CountRefs(message));
	for (int32 index = 0; message->FindRef("refs", index, &ref) == B_OK; index++) {
		if (!fReader.Open(ref)) {
			unopened = NameOf(ref);
			break;
		}
		ticker.BeginFile(index + 1, NameOf(ref), SizeOf(ref));
		printed++;
		if (StartPrinting(fReader.ReadFirstPiece()) == kBodyGraphic)
			PrintGraphicPages();
		std::string failed = fReader.EndFile(NameOf(ref));
		if (!failed.empty())
			unread = failed;
		// Quit closed the output: the application is on its way out.
		if (PrinterPortClosedByQuit())
			break;
	}

	ClosePrinterPort();
	ticker.Stop();
	// Quit abandoned the job: the application is on its way out, and nobody
	// is to be kept by an alert about what was not printed.
	if (PrinterPortClosedByQuit()) {
		ShowJobEnd(window, "Printing stopped: the program quits");
		return;
	}
	std::string target = describe_printer_port(path).target;
	if (int error = PrinterPortError())
		ShowJobEnd(window, "Printing to " + target + " failed", strerror(error));
	else if (!unopened.empty())
		ShowJobEnd(window, printed_summary(printed, ticker.Pages(), target),
			"could not open " + unopened, 1000);
	else
		ShowJobEnd(window, printed_summary(printed, ticker.Pages(), target), "", 1000);

	// Nothing is lost without a word: a file that did not open, and output
	// that did not reach the printer, are told after the output is closed.
	if (!unopened.empty()) {
		std::string text = "Could not open " + unopened
			+ "; it and the files after it were not printed.";
		RunAlert("Printer Alert", text.c_str(), "OK");
	}
	if (!unread.empty()) {
		std::string text = "Reading " + unread + " failed: " + strerror(fReader.ReadError())
			+ ". The rest of it was not printed.";
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
