#include "JobStatus.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include <Message.h>
#include <PortDiagnosis.h>
#include <PortStream.h>
#include <PortWatch.h>
#include <StatusBar.h>
#include <Window.h>

#include "JobFileReader.h"
#include "JobProgress.h"
#include "LineBuffer.h"
#include "MenuTable.h"
#include "PrinterProfiles.h"

namespace {

// How often the ticker looks, and how long a write waits before the bar says
// the printer keeps it waiting.
const auto kTick = std::chrono::milliseconds(250);
const double kWaitShownAfter = 1.0;  // seconds
// How long the wait stays said once bytes go through again.
const auto kWaitKeptFor = std::chrono::seconds(3);

std::string
Counted(int32 count, const char* one, const char* many)
{
	return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace

std::string
port_label(const char* path)
{
	for (const PrinterPortPath& port : kPrinterPorts) {
		if (path == NULL || std::string(port.path) != path)
			continue;
		for (const MenuTable& menu : kMenus) {
			for (int i = 0; i < menu.count; i++) {
				if (menu.rows[i].label != NULL && menu.rows[i].command == port.command)
					return menu.rows[i].label;
			}
		}
	}
	return path != NULL ? path : "";
}

JobStatusLine
idle_status(const char* path)
{
	PortTargetView view = describe_printer_port(path);
	JobStatusLine line;
	line.label = port_label(path);
	line.trailing = view.target;
	if (!view.problem.empty())
		line.trailing += " - " + view.problem;
	return line;
}

std::string
byte_amount(int64_t bytes)
{
	char text[32];
	if (bytes < 1024)
		snprintf(text, sizeof(text), "%lld bytes", static_cast<long long>(bytes));
	else if (bytes < 1024 * 1024)
		snprintf(text, sizeof(text), "%lld KB", static_cast<long long>(bytes / 1024));
	else
		snprintf(text, sizeof(text), "%.1f MB", static_cast<double>(bytes) / (1024.0 * 1024.0));
	return text;
}

std::string
printed_summary(int32 files, int32 pages, const std::string& target)
{
	return "Printed " + Counted(files, "file", "files") + ", " + Counted(pages, "page", "pages")
		+ " to " + target;
}

void
show_status(BStatusBar* bar, const JobStatusLine& line)
{
	bar->Reset(line.label.c_str());
	bar->SetMaxValue(1000.0f);
	bar->Update(static_cast<float>(line.filled), NULL, line.trailing.c_str());
}

void
post_status(BWindow* window, const JobStatusLine& line, bool jobRuns)
{
	if (window == NULL)
		return;
	BMessage message(kShowStatus);
	message.AddString("label", line.label.c_str());
	message.AddString("trailing", line.trailing.c_str());
	message.AddInt32("filled", line.filled);
	message.AddInt32("job", jobRuns ? 1 : 0);
	window->PostMessage(&message);
}

// #pragma mark - JobTicker

JobTicker::JobTicker(BWindow* window, int32 files, const JobFileReader* reader)
	:
	fWindow(window),
	fFiles(files),
	fReader(reader),
	fPagesBefore(gJobProgress.pages.load(std::memory_order_relaxed))
{
	fThread = std::thread([this] { _Run(); });
}

JobTicker::~JobTicker()
{
	Stop();
}

void
JobTicker::BeginFile(int32 index, const std::string& name, int64_t size)
{
	// What the job sent before this file: what the port took, and what
	// still waits in the stream's buffer (this thread is the one that fills
	// it).
	PortCounts counts = port_stream_counts();
	int64_t before = counts.handed >= 0
		? counts.handed + static_cast<int64_t>(PrinterPortPending()) : 0;
	std::lock_guard<std::mutex> lock(fLock);
	fIndex = index;
	fName = name;
	fSize = size;
	fOutputBefore = before;
	fFilePagesBefore = gJobProgress.pages.load(std::memory_order_relaxed);
}

int32
JobTicker::Pages() const
{
	return gJobProgress.pages.load(std::memory_order_relaxed) - fPagesBefore;
}

void
JobTicker::Stop()
{
	{
		std::lock_guard<std::mutex> lock(fLock);
		fStopping = true;
	}
	fWake.notify_all();
	if (fThread.joinable())
		fThread.join();
}

JobStatusLine
JobTicker::_Line()
{
	int32 index;
	std::string name;
	int64_t size;
	int32 pagesBefore;
	int64_t outputBefore;
	{
		std::lock_guard<std::mutex> lock(fLock);
		index = fIndex;
		name = fName;
		size = fSize;
		pagesBefore = fFilePagesBefore;
		outputBefore = fOutputBefore;
	}
	JobStatusLine line;
	if (index == 0)
		return line;
	// The bytes passed over, but no more than have left the program: what
	// waits in a buffer of ours has not been printed.
	int64_t passed = gJobProgress.filePassed.load(std::memory_order_relaxed);
	PortCounts counts = port_stream_counts();
	if (counts.delivered >= 0)
		passed = std::min(passed, std::max<int64_t>(counts.delivered - outputBefore, 0));
	if (size > 0) {
		// Converted text may come to more bytes than the file holds.
		passed = std::min(passed, size);
		line.filled = static_cast<int32>(passed * 1000 / size);
	} else if (fReader != NULL) {
		passed = fReader->FileBytesRead();
	}
	auto now = std::chrono::steady_clock::now();
	PortWait wait = port_stream_wait();
	if (wait.seconds > kWaitShownAfter) {
		fWaited = true;
		fWaitSeen = now;
		fWaitReason = wait.reason;
	}
	line.label = "File " + std::to_string(index) + " of " + std::to_string(fFiles) + ": " + name;
	line.trailing = byte_amount(passed);
	if (size > 0)
		line.trailing += " of " + byte_amount(size);
	int32 page = gJobProgress.pages.load(std::memory_order_relaxed) - pagesBefore;
	if (page > 0)
		line.trailing += ", page " + std::to_string(page);
	if (fWaited && now - fWaitSeen < kWaitKeptFor) {
		line.trailing += " - waiting for the printer";
		if (!fWaitReason.empty())
			line.trailing += ": " + fWaitReason;
	}
	return line;
}

void
JobTicker::_Run()
{
	JobStatusLine shown;
	std::unique_lock<std::mutex> lock(fLock);
	while (!fWake.wait_for(lock, kTick, [this] { return fStopping; })) {
		lock.unlock();
		JobStatusLine line = _Line();
		if (!line.label.empty()
			&& (line.label != shown.label || line.trailing != shown.trailing
				|| line.filled / 10 != shown.filled / 10)) {
			post_status(fWindow, line, true);
			shown = line;
		}
		lock.lock();
	}
}
