// A thousand print jobs in one process on the real output, with setting
// commands, files that do not open or read, and alerts that wait while the
// window goes on working between them. Run under AddressSanitizer, the leak
// check at exit covers every job; the descriptors are counted here. Prints
// the resident memory and the open descriptors at jobs 100 and 1,000.
#include <dirent.h>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <KitPrivate.h>
#include <Menu.h>
#include <MenuBar.h>
#include <MenuItem.h>
#include <PrinterPorts.h>
#include <Window.h>

#include "CommandCodes.h"
#include "JobHarness.h"
#include "LineBuffer.h"
#include "SettingsStore.h"
#include "StoreState.h"

namespace {

int
OpenDescriptors()
{
	int count = 0;
	DIR* directory = opendir("/proc/self/fd");
	if (directory == nullptr)
		return -1;
	while (struct dirent* entry = readdir(directory)) {
		if (entry->d_name[0] != '.')
			count++;
	}
	closedir(directory);
	return count - 1;  // the directory's own
}

long
ResidentKilobytes()
{
	FILE* status = fopen("/proc/self/status", "r");
	if (status == nullptr)
		return -1;
	char line[256];
	long kilobytes = -1;
	while (fgets(line, sizeof(line), status) != nullptr) {
		if (strncmp(line, "VmRSS:", 6) == 0)
			kilobytes = strtol(line + 6, nullptr, 10);
	}
	fclose(status);
	return kilobytes;
}

std::string sOutput;

class Soak : public JobTest {};

TEST_F(Soak, ThousandJobsLeaveNothingOpenAndTheLastPrintsWhole)
{
	RecordingPort::UseRealPorts();
	sOutput = fDirectory.PathOf("out");
	WithStore([] { PrinterPath = sOutput.c_str(); });
	StoreImage start = SaveStore();

	std::string text;
	for (int line = 0; line < 150; line++)
		text += "line\t" + std::to_string(line) + " of a page and more\n";
	std::string good = fDirectory.Write("good", text);
	std::string missing = fDirectory.PathOf("missing");
	// Opens, claims a size, and fails every read (where it is there).
	std::string unreadable = "/sys/class/net/lo/speed";
	// Commands that change the printer and its modes; the output stays.
	std::vector<uint32_t> commands = { MPhp, MPed, MPpp, MMnm, MM12, MM15, MM17, MM20, MMdr, MMnl,
		MMlq, MMps, MMfx, MCs0, MCs1, MCs2, MCs3, MCpt, MCls, MClw, MCtr, MCud, MCbd, MM2p, MM1p,
		MMtr, MCrs };

	RunJob({ good });
	// The window's search for printers has ended, and with it what it had
	// open: the Setup menu lists what it found.
	BMenuBar* bar = fApplication->WindowAt(0)->KeyMenuBar();
	for (int wait = 0; wait < 500; wait++) {
		std::string first;
		{
			std::lock_guard<std::recursive_mutex> lock(KitPrivate::MenuTreeLock());
			first = bar->ItemAt(bar->CountItems() - 1)->Submenu()->ItemAt(0)->Label();
		}
		if (first != "Looking for Printers...")
			break;
		std::this_thread::sleep_for(std::chrono::milliseconds(10));
	}
	WaitForWindow();
	int descriptorsAtStart = OpenDescriptors();
	const int kJobs = 1000;
	for (int job = 1; job < kJobs; job++) {
		RunOnWindow(commands[static_cast<size_t>(job) % commands.size()]);
		switch (job % 10) {
			case 3:
				RunJob({ good, missing, good });
				break;
			case 5:
				RunJob({ unreadable, good });
				break;
			case 6:
				RunJob({ fDirectory.Path() });
				break;
			case 8:
				// The alert waits while the window takes a command, then is
				// answered.
				fAnswer = [&, jobThread = std::this_thread::get_id()](const AlertRecord&) {
					// A command's own alert, on the window's thread, is
					// answered at once.
					if (std::this_thread::get_id() == jobThread)
						RunOnWindow(commands[static_cast<size_t>(job / 10) % commands.size()]);
					return 0;
				};
				RunJob({ good, missing });
				fAnswer = [](const AlertRecord&) { return 0; };
				break;
			default:
				RunJob({ good });
				break;
		}
		if (job == 100) {
			printf("job 100: %ld kB resident, %d descriptors open (%d at the start)\n",
				ResidentKilobytes(), OpenDescriptors(), descriptorsAtStart);
			EXPECT_EQ(OpenDescriptors(), descriptorsAtStart) << "job " << job;
		}
	}
	WaitForWindow();
	WithStore([&] { RestoreStore(start); });
	RunJob({ good });
	printf("job 1000: %ld kB resident, %d descriptors open\n", ResidentKilobytes(),
		OpenDescriptors());
	EXPECT_EQ(OpenDescriptors(), descriptorsAtStart);

	std::string expected;
	for (const std::string& write : StartUpWrites({ text }))
		expected += write;
	std::string printed = ReadWholeFile(sOutput);
	EXPECT_TRUE(printed == expected) << Difference(printed, expected);
	EXPECT_GT(Alerts().size(), 300u);
}

}  // namespace
