#include "JobHarness.h"

#include <PrinterPorts.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <fcntl.h>
#include <unistd.h>

#include <Application.h>
#include <Window.h>

#include "LineBuffer.h"
#include "PrintJob.h"
#include "PrinterProfiles.h"
#include "CommandCodes.h"
#include "SettingsStore.h"

namespace {

RecordingPort* sInstalledPort = nullptr;

const uint32 kMarker = 'Tmrk';

}  // namespace

std::string
Hex(const char* pairs)
{
	std::string bytes;
	std::istringstream in(pairs);
	std::string pair;
	while (in >> pair)
		bytes.push_back(static_cast<char>(std::stoul(pair, nullptr, 16)));
	return bytes;
}

std::string
Printable(const std::string& bytes)
{
	std::string text;
	char hex[8];
	for (unsigned char c : bytes) {
		if (c >= 0x20 && c < 0x7F && c != '\\') {
			text.push_back(static_cast<char>(c));
		} else {
			snprintf(hex, sizeof(hex), "\\x%02X", c);
			text += hex;
		}
	}
	return text;
}

// Where two outputs first differ, with some bytes around it.
std::string
Difference(const std::string& actual, const std::string& expected)
{
	if (actual == expected)
		return "";
	size_t at = 0;
	while (at < actual.size() && at < expected.size() && actual[at] == expected[at])
		at++;
	size_t from = at > 24 ? at - 24 : 0;
	return "sizes " + std::to_string(actual.size()) + " and " + std::to_string(expected.size())
		+ ", first difference at byte " + std::to_string(at) + ":\n  actual   ..."
		+ Printable(actual.substr(from, 48)) + "\n  expected ..." + Printable(expected.substr(from, 48));
}

// #pragma mark - RecordingPort

std::string
RecordedStream::Bytes() const
{
	std::string all;
	for (const std::string& write : writes)
		all += write;
	return all;
}

RecordingPort::RecordingPort()
{
}

RecordingPort::~RecordingPort()
{
	if (sInstalledPort == this)
		sInstalledPort = nullptr;
}

void
RecordingPort::Install()
{
	sInstalledPort = this;
}

void
RecordingPort::UseRealPorts()
{
	sInstalledPort = nullptr;
}

bool
RecordingPort::OpenInstalled(const char* path, FILE** opened)
{
	if (sInstalledPort == nullptr)
		return false;
	*opened = _Open(path);
	return true;
}

// The job's open of its port, wrapped (-Wl,--wrap) so that the installed
// recording output stands in for the port.
extern "C" FILE* __real__Z17open_printer_portPKcRKSt6vectorI10PortFileIdSaIS2_EEPm(const char* path,
	const std::vector<PortFileId>& inputs, size_t* input);

extern "C" FILE*
__wrap__Z17open_printer_portPKcRKSt6vectorI10PortFileIdSaIS2_EEPm(const char* path,
	const std::vector<PortFileId>& inputs, size_t* input)
{
	FILE* opened = nullptr;
	if (RecordingPort::OpenInstalled(path, &opened))
		return opened;
	return __real__Z17open_printer_portPKcRKSt6vectorI10PortFileIdSaIS2_EEPm(path, inputs, input);
}

FILE*
RecordingPort::_Open(const char* path)
{
	RecordingPort* port = sInstalledPort;
	if (port == nullptr)
		return nullptr;

	Cookie* cookie;
	{
		std::lock_guard<std::mutex> lock(port->fLock);
		auto stream = std::make_unique<RecordedStream>();
		stream->path = path != nullptr ? path : "";
		port->fStreams.push_back(std::move(stream));
		port->fCookies.push_back(std::make_unique<Cookie>(Cookie{ port, port->fStreams.size() - 1 }));
		cookie = port->fCookies.back().get();
	}

	cookie_io_functions_t functions = {};
	functions.write = _Write;
	functions.close = _Close;
	FILE* file = fopencookie(cookie, "w", functions);
	// Unbuffered, each fwrite of the job is one call of _Write.
	if (file != nullptr)
		setvbuf(file, nullptr, _IONBF, 0);
	return file;
}

ssize_t
RecordingPort::_Write(void* cookie, const char* bytes, size_t size)
{
	Cookie* self = static_cast<Cookie*>(cookie);
	RecordingPort* port = self->port;
	size_t count;
	bool fail;
	std::string written(bytes, size);
	{
		std::lock_guard<std::mutex> lock(port->fLock);
		RecordedStream& stream = *port->fStreams[self->index];
		if (stream.closes > 0)
			stream.writesAfterClose++;
		fail = port->failingWrite >= 0
			&& stream.writes.size() == static_cast<size_t>(port->failingWrite);
		stream.writes.push_back(fail ? std::string() : written);
		count = stream.writes.size();
	}
	if (port->onWrite)
		port->onWrite(count, written);
	if (fail) {
		errno = port->writeError;
		return -1;
	}
	return static_cast<ssize_t>(size);
}

int
RecordingPort::_Close(void* cookie)
{
	Cookie* self = static_cast<Cookie*>(cookie);
	RecordingPort* port = self->port;
	std::lock_guard<std::mutex> lock(port->fLock);
	RecordedStream& stream = *port->fStreams[self->index];
	stream.closes++;
	stream.closedOn = std::this_thread::get_id();
	if (port->closeError != 0) {
		errno = port->closeError;
		return -1;
	}
	return 0;
}

size_t
RecordingPort::OpenCount() const
{
	std::lock_guard<std::mutex> lock(fLock);
	return fStreams.size();
}

RecordedStream
RecordingPort::Stream(size_t index) const
{
	std::lock_guard<std::mutex> lock(fLock);
	if (index >= fStreams.size())
		return RecordedStream();
	return *fStreams[index];
}

RecordedStream
RecordingPort::Last() const
{
	std::lock_guard<std::mutex> lock(fLock);
	if (fStreams.empty())
		return RecordedStream();
	return *fStreams.back();
}

// #pragma mark - ScratchDirectory

ScratchDirectory::ScratchDirectory()
{
	const char* base = getenv("TMPDIR");
	std::string pattern = std::string(base != nullptr && base[0] != '\0' ? base : "/tmp")
		+ "/quillon-job-XXXXXX";
	std::vector<char> name(pattern.begin(), pattern.end());
	name.push_back('\0');
	if (mkdtemp(name.data()) != nullptr)
		fPath = name.data();
}

ScratchDirectory::~ScratchDirectory()
{
	if (!fPath.empty()) {
		std::error_code error;
		std::filesystem::remove_all(fPath, error);
	}
}

std::string
ScratchDirectory::PathOf(const std::string& name) const
{
	return fPath + "/" + name;
}

std::string
ScratchDirectory::Write(const std::string& name, const std::string& content) const
{
	std::string path = PathOf(name);
	std::ofstream out(path, std::ios::binary | std::ios::trunc);
	out.write(content.data(), static_cast<std::streamsize>(content.size()));
	return path;
}

std::string
ReadWholeFile(const std::string& path)
{
	std::ifstream in(path, std::ios::binary);
	std::ostringstream all;
	all << in.rdbuf();
	return all.str();
}

off_t
OpenFileSize()
{
	off_t size = -1;
	if (FileObject.GetSize(&size) != B_OK)
		return -1;
	return size;
}

// #pragma mark - ObservedApplication

void
ObservedApplication::MessageReceived(BMessage* message)
{
	if (message->what == kMarker) {
		fMarkerSeen = true;
		Quit();
		return;
	}
	QuillonApplication::MessageReceived(message);
}

bool
ObservedApplication::RunUntilQuitOrMarker()
{
	PostMessage(kMarker);
	Run();
	return !fMarkerSeen;
}

// #pragma mark - TextPrinterModel

PrinterCodes
EpsonDotMatrixCodes()
{
	PrinterCodes codes;
	codes.loadPaper = "";
	codes.newLine = Hex("0A 0D");
	codes.ejectPaper = Hex("0C");
	return codes;
}

PrinterCodes
HpDeskJetCodes()
{
	PrinterCodes codes;
	codes.loadPaper = Hex("1B 26 6C 31 48");
	codes.newLine = Hex("0D 0A");
	codes.ejectPaper = Hex("1B 26 6C 30 48");
	return codes;
}

std::string
StartUpPreamble()
{
	return Hex("1B 40 12 1B 50 1B 78 00 1B 70 00 1B 55 00");
}

TextPrinterModel::TextPrinterModel(const PrinterCodes& codes, int32_t paperY)
	:
	fCodes(codes),
	fPaperY(paperY)
{
}

void
TextPrinterModel::_Flush()
{
	fWrites.push_back(fStaged);
	fStaged.clear();
}

void
TextPrinterModel::_StartPage()
{
	fStaged += fCodes.loadPaper;
	for (int32_t i = 0; i < fCodes.topBlankLines; i++)
		fStaged += fCodes.newLine;
	fLineCount = 0;
}

void
TextPrinterModel::PrintFile(const std::string& preamble, const std::string& text)
{
	fStaged += preamble;
	_Flush();
	PrintBody(text);
}

void
TextPrinterModel::PrintBody(const std::string& text)
{
	enum { kRaw, kLineEnds, kAll } mode = kRaw;
	if (fCodes.filter == "YES" || fCodes.filter == "Yes")
		mode = kLineEnds;
	else if (fCodes.filter == "ALL" || fCodes.filter == "All")
		mode = kAll;

	_StartPage();
	for (char byte : text) {
		if (fLineCount == fPaperY) {
			fStaged += fCodes.ejectPaper;
			_StartPage();
		}
		int value = static_cast<signed char>(byte);
		if (mode == kRaw) {
			fStaged += byte;
		} else if (value == 0x0A || value == 0x0D) {
			fStaged += fCodes.newLine;
			_Flush();
			fLineCount++;
		} else if (mode == kLineEnds) {
			fStaged += byte;
		} else if (value == 0x09) {
			do
				fStaged += ' ';
			while (fStaged.size() % static_cast<size_t>(fCodes.tabSize) != 0);
		} else if (value > 0x1F) {
			fStaged += byte;
		}
	}
	_Flush();
	fStaged += fCodes.ejectPaper;
	_Flush();
}

std::vector<std::string>
TextPrinterModel::NonEmptyWrites() const
{
	std::vector<std::string> writes;
	for (const std::string& write : fWrites) {
		if (!write.empty())
			writes.push_back(write);
	}
	return writes;
}

std::string
TextPrinterModel::Bytes() const
{
	std::string all;
	for (const std::string& write : fWrites)
		all += write;
	return all;
}

std::vector<std::string>
StartUpWrites(const std::vector<std::string>& texts)
{
	TextPrinterModel model(EpsonDotMatrixCodes(), 60);
	for (const std::string& text : texts)
		model.PrintFile(StartUpPreamble(), text);
	return model.NonEmptyWrites();
}

// #pragma mark - StandardOutputCapture

StandardOutputCapture::StandardOutputCapture()
{
	fflush(stdout);
	char name[] = "/tmp/quillon-stdout-XXXXXX";
	int descriptor = mkstemp(name);
	if (descriptor < 0)
		return;
	fPath = name;
	fSaved = dup(STDOUT_FILENO);
	dup2(descriptor, STDOUT_FILENO);
	close(descriptor);
}

StandardOutputCapture::~StandardOutputCapture()
{
	Finish();
}

std::string
StandardOutputCapture::Finish()
{
	if (fFinished || fSaved < 0)
		return std::string();
	fFinished = true;
	fflush(stdout);
	dup2(fSaved, STDOUT_FILENO);
	close(fSaved);
	std::string captured = ReadWholeFile(fPath);
	unlink(fPath.c_str());
	return captured;
}

// #pragma mark - JobTest

void
JobTest::SetUp()
{
	ASSERT_FALSE(fDirectory.Path().empty());
	fAnswer = [](const AlertRecord&) { return 0; };
	fBackend.SetAnswerer([this](const AlertRecord& alert) {
		{
			std::lock_guard<std::mutex> lock(fAlertsLock);
			fAlerts.push_back(alert);
		}
		return fAnswer(alert);
	});
	// Every view draw ends with the print quality line; a finished draw tells
	// that the window has handled everything posted before it.
	fBackend.SetEventSink([this](const std::string& line) {
		if (line.rfind("text\t", 0) == 0 && line.find("\tPrint Quality: <") != std::string::npos) {
			std::lock_guard<std::mutex> lock(fDrawLock);
			fDraws++;
			fDrawn.notify_all();
		}
	});
	set_platform_backend(&fBackend);

	char* directory = getcwd(nullptr, 0);
	fSavedDirectory = directory != nullptr ? directory : "";
	free(directory);

	// Earlier tests in this process may have left another printer model
	// installed: start from the store's values at load, as a new run would.
	InstallPrinterProfile(*FindPrinterProfile(MPed));
	{
		std::lock_guard<std::mutex> lock(gStoreLock);
		PrinterPath = "/dev/parallel/parallel1";
	}

	fApplication = std::make_unique<ObservedApplication>();
	fPort.Install();
}

void
JobTest::TearDown()
{
	// A test may have pointed the output at a path of its own.
	{
		std::lock_guard<std::mutex> lock(gStoreLock);
		PrinterPath = "/dev/parallel/parallel1";
	}
	fApplication.reset();
	if (!fSavedDirectory.empty() && chdir(fSavedDirectory.c_str()) != 0)
		ADD_FAILURE() << "could not return to " << fSavedDirectory;
}

void
JobTest::PointOutputAt(const std::string& path)
{
	std::lock_guard<std::mutex> lock(gStoreLock);
	fOutputPath = path;
	PrinterPath = fOutputPath.c_str();
}

void
JobTest::RunJob(const std::vector<std::string>& paths)
{
	BMessage message(B_REFS_RECEIVED);
	for (const std::string& path : paths) {
		entry_ref ref(path.c_str());
		message.AddRef("refs", &ref);
	}
	fApplication->RefsReceived(&message);
}

void
JobTest::WaitForWindow()
{
	long before;
	{
		std::lock_guard<std::mutex> lock(fDrawLock);
		before = fDraws;
	}
	ASSERT_EQ(fBackend.Draw(), "");
	std::unique_lock<std::mutex> lock(fDrawLock);
	// Only a guard against a window that never answers.
	bool drawn = fDrawn.wait_for(lock, std::chrono::seconds(60), [&] { return fDraws > before; });
	ASSERT_TRUE(drawn) << "the window did not handle its messages";
}

void
JobTest::RunOnWindow(uint32_t command)
{
	BWindow* window = be_app->WindowAt(0);
	ASSERT_NE(window, nullptr);
	window->PostMessage(command);
	WaitForWindow();
}

void
JobTest::WithStore(const std::function<void()>& change)
{
	std::lock_guard<std::mutex> lock(gStoreLock);
	change();
}

std::vector<AlertRecord>
JobTest::Alerts() const
{
	std::lock_guard<std::mutex> lock(fAlertsLock);
	return fAlerts;
}

AlertRecord
UnopenedAlert(const std::string& name)
{
	return AlertRecord{ "Printer Alert",
		"Could not open " + name + "; it and the files after it were not printed.", { "OK" } };
}

AlertRecord
LostOutputAlert(const std::string& path, int error)
{
	// A port of the Printers menu is named with where it really leads.
	std::string target = printer_port_target(path.c_str());
	std::string port = target == path ? path : path + " (" + target + ")";
	return AlertRecord{ "Printer Alert",
		"Printing to " + port + " failed: " + strerror(error) + ". Part of the output was lost.",
		{ "OK" } };
}

bool
operator==(const AlertRecord& a, const AlertRecord& b)
{
	return a.title == b.title && a.text == b.text && a.buttons == b.buttons;
}

void
PrintTo(const AlertRecord& alert, std::ostream* os)
{
	*os << "{\"" << alert.title << "\", \"" << alert.text << "\",";
	for (const std::string& button : alert.buttons)
		*os << " \"" << button << "\"";
	*os << "}";
}
