// One table of how fast Quillon prints, every figure measured in this run
// (`make bench` builds in release mode and runs it):
//
// - the text page printer alone, in each filter mode, on real text from this
//   machine, against memcpy of the same bytes;
// - whole print jobs of the headless program on a 1 MB and a 200 MB file of
//   real text, to ./PrintFile, in each filter mode: wall time, CPU time and
//   peak resident memory, against `cat FILE > OUT` and
//   `pr -l 66 -e4 -F FILE > OUT`;
// - start to exit of a headless run that only closes the window, against
//   /bin/true.
//
// Each figure is the median of several runs; each job is a child process of
// its own, timed from fork to exit, its CPU time and peak memory taken from
// wait4.
//
//   build-bench/bench/speed_table [--engine] [DIRECTORY]
//
// With --engine only the text page printer is measured.
// The text files and outputs are made in DIRECTORY (default: $TMPDIR or /tmp)
// and removed at the end.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "LineBuffer.h"
#include "PrintJob.h"
#include "SettingsStore.h"
#include "TextPagePrinter.h"

#ifndef QUILLON_BINARY
#define QUILLON_BINARY "build-bench/app/quillon"
#endif
#ifndef SPEED_LAUNCH
#define SPEED_LAUNCH "build-bench/bench/speed_launch"
#endif

namespace {

// CPU time of this thread: the engine figures hold on a busy machine too.
double
ThreadNow()
{
	timespec now;
	clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
	return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

double
Median(std::vector<double> values)
{
	std::sort(values.begin(), values.end());
	size_t middle = values.size() / 2;
	return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

void
AppendStream(FILE* stream, std::string& text)
{
	char block[65536];
	size_t got;
	while ((got = fread(block, 1, sizeof(block), stream)) > 0)
		text.append(block, got);
}

bool
ReadWhole(const std::string& path, std::string& text)
{
	FILE* file = fopen(path.c_str(), "r");
	if (file == nullptr)
		return false;
	AppendStream(file, text);
	fclose(file);
	return true;
}

std::vector<std::string>
Entries(const std::string& directory)
{
	std::vector<std::string> names;
	if (DIR* dir = opendir(directory.c_str())) {
		while (dirent* entry = readdir(dir)) {
			if (entry->d_name[0] != '.')
				names.push_back(entry->d_name);
		}
		closedir(dir);
	}
	std::sort(names.begin(), names.end());
	return names;
}

bool
IsFile(const std::string& path)
{
	struct stat status;
	return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

// Real text from this machine: the common licences, the copyright files of
// the installed packages and, when those are few, manual pages as troff
// source. About 18 MB on a Debian 12 desktop with the build's packages.
std::string
MachineText()
{
	std::string text;
	for (const std::string& name : Entries("/usr/share/common-licenses"))
		ReadWhole("/usr/share/common-licenses/" + name, text);
	for (const std::string& name : Entries("/usr/share/doc")) {
		std::string path = "/usr/share/doc/" + name + "/copyright";
		if (IsFile(path))
			ReadWhole(path, text);
	}
	for (const std::string& name : Entries("/usr/share/man/man1")) {
		if (text.size() >= 16 * 1000 * 1000)
			break;
		if (name.size() < 3 || name.compare(name.size() - 3, 3, ".gz") != 0)
			continue;
		std::string command = "gzip -dc '/usr/share/man/man1/" + name + "' 2>/dev/null";
		if (FILE* pipe = popen(command.c_str(), "r")) {
			AppendStream(pipe, text);
			pclose(pipe);
		}
	}
	return text;
}

// The first `size` bytes of the text repeated without end.
bool
WriteTextFile(const std::string& path, const std::string& text, size_t size)
{
	FILE* file = fopen(path.c_str(), "w");
	if (file == nullptr)
		return false;
	size_t written = 0;
	while (written < size) {
		size_t count = std::min(text.size(), size - written);
		if (fwrite(text.data(), 1, count, file) != count)
			break;
		written += count;
	}
	return fclose(file) == 0 && written == size;
}

struct Mode {
	const char* name;    // as the table shows it
	const char* filter;  // FilterCodes
	const char* item;    // the printer menu item that chooses it
};

const Mode kModes[] = {
	{"raw", "NO", "All Raw Data"},
	{"line-end", "YES", "Pure ASCII"},
	{"full filter", "ALL", "Generic ASCII"},
};

// --- The text page printer alone ---------------------------------------------

// Seconds per pass of the text page printer over FileBuffer, the median of
// `runs`. The output stream has a 64 KB buffer, as the port's, and goes to
// /dev/null.
double
EngineSeconds(const char* filter, int runs)
{
	ApplyStartUpSettings();
	FilterCodes = filter;
	PaperY = 60;
	FILE* sink = fopen("/dev/null", "w");
	if (sink == nullptr)
		return 0;
	static char buffer[64 * 1024];
	setvbuf(sink, buffer, _IOFBF, sizeof(buffer));
	PrinterPort = sink;
	std::vector<double> times;
	for (int i = 0; i < runs + 2; i++) {
		double start = ThreadNow();
		PrintTextPages();
		if (i >= 2)
			times.push_back(ThreadNow() - start);
	}
	PrinterPort = nullptr;
	fclose(sink);
	return Median(times);
}

double
MemcpySeconds(int runs)
{
	std::vector<char> target(kFileBufferSize);
	std::vector<double> times;
	for (int i = 0; i < runs + 2; i++) {
		double start = ThreadNow();
		memcpy(target.data(), FileBuffer, static_cast<size_t>(FileLenght));
		asm volatile("" : : "r"(target.data()) : "memory");
		if (i >= 2)
			times.push_back(ThreadNow() - start);
	}
	return Median(times);
}

// --- Whole jobs in child processes -------------------------------------------

struct Run {
	double wall = 0;
	double cpu = 0;
	double peakMegabytes = 0;
	bool ok = true;
};

struct Child {
	std::vector<std::string> argv;
	std::string input;      // standard input, a file; /dev/null when empty
	std::string output;     // standard output, a file made anew; /dev/null when empty
	std::string directory;  // the working directory; this one's when empty
};

// Through the launcher, which times the child and reads its peak memory.
Run
RunOnce(const Child& child)
{
	Run run;
	std::vector<std::string> words = {SPEED_LAUNCH,
		child.input.empty() ? "/dev/null" : child.input,
		child.output.empty() ? "/dev/null" : child.output,
		child.directory.empty() ? "-" : child.directory};
	words.insert(words.end(), child.argv.begin(), child.argv.end());
	std::vector<char*> argv;
	for (const std::string& word : words)
		argv.push_back(const_cast<char*>(word.c_str()));
	argv.push_back(nullptr);

	int report[2];
	if (pipe(report) != 0) {
		run.ok = false;
		return run;
	}
	pid_t pid = fork();
	if (pid == 0) {
		close(report[0]);
		if (dup2(report[1], STDOUT_FILENO) < 0)
			_exit(126);
		execv(argv[0], argv.data());
		_exit(127);
	}
	close(report[1]);
	char line[256] = {};
	ssize_t got = pid > 0 ? read(report[0], line, sizeof(line) - 1) : -1;
	close(report[0]);
	int status = 0;
	if (pid > 0)
		waitpid(pid, &status, 0);
	long peakKilobytes = 0;
	int exitCode = -1;
	run.ok = got > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0
		&& sscanf(line, "%lf %lf %ld %d", &run.wall, &run.cpu, &peakKilobytes, &exitCode) == 4
		&& exitCode == 0;
	run.peakMegabytes = static_cast<double>(peakKilobytes) / 1024.0;
	return run;
}

// Medians of wall and CPU time, the highest peak.
Run
RunMedian(const Child& child, int runs)
{
	std::vector<double> walls, cpus;
	Run result;
	for (int i = 0; i < runs; i++) {
		Run run = RunOnce(child);
		if (!run.ok) {
			result.ok = false;
			return result;
		}
		walls.push_back(run.wall);
		cpus.push_back(run.cpu);
		result.peakMegabytes = std::max(result.peakMegabytes, run.peakMegabytes);
	}
	result.wall = Median(walls);
	result.cpu = Median(cpus);
	return result;
}

std::string
FindProgram(const char* name)
{
	for (const char* directory : {"/usr/bin/", "/bin/", "/usr/local/bin/"}) {
		std::string path = std::string(directory) + name;
		if (access(path.c_str(), X_OK) == 0)
			return path;
	}
	return name;
}

bool
WriteScript(const std::string& path, const std::string& text)
{
	FILE* file = fopen(path.c_str(), "w");
	if (file == nullptr)
		return false;
	fputs(text.c_str(), file);
	return fclose(file) == 0;
}

off_t
FileSize(const std::string& path)
{
	struct stat status;
	return stat(path.c_str(), &status) == 0 ? status.st_size : -1;
}

// --- The table ---------------------------------------------------------------

bool sGoalsMet = true;

void
Row(const std::string& what, const std::string& figure, const std::string& cpu,
	const std::string& peak, const std::string& against, const std::string& ratio,
	const std::string& goal)
{
	printf("%-22s %11s %9s %9s  %-22s %-36s %s\n", what.c_str(), figure.c_str(), cpu.c_str(),
		peak.c_str(), against.c_str(), ratio.c_str(), goal.c_str());
}

std::string
Format(const char* format, double value)
{
	char text[64];
	snprintf(text, sizeof(text), format, value);
	return text;
}

std::string
Goal(bool met, const char* text)
{
	sGoalsMet = sGoalsMet && met;
	return std::string(met ? "met " : "NOT met ") + text;
}

std::string
Seconds(double seconds)
{
	return seconds < 0.1 ? Format("%.2f ms", seconds * 1e3) : Format("%.3f s", seconds);
}

}  // namespace

int
main(int argc, char** argv)
{
	bool engineOnly = argc > 1 && strcmp(argv[1], "--engine") == 0;
	if (engineOnly) {
		argc--;
		argv++;
	}
	const char* base = argc > 1 ? argv[1] : getenv("TMPDIR");
	std::string pattern = std::string(base != nullptr && base[0] != '\0' ? base : "/tmp")
		+ "/quillon-speed-XXXXXX";
	std::vector<char> name(pattern.begin(), pattern.end());
	name.push_back('\0');
	if (mkdtemp(name.data()) == nullptr) {
		fprintf(stderr, "cannot make a directory from %s: %s\n", pattern.c_str(), strerror(errno));
		return 1;
	}
	const std::string directory = name.data();
	const std::string quillon = QUILLON_BINARY;
	setenv("QUILLON_PLATFORM", "headless", 1);

	std::string text = MachineText();
	if (text.size() < kFileBufferSize) {
		fprintf(stderr, "found only %zu bytes of text on this machine\n", text.size());
		return 1;
	}
	char load[64] = "?";
	if (FILE* file = fopen("/proc/loadavg", "r")) {
		if (fscanf(file, "%63s", load) != 1)
			strcpy(load, "?");
		fclose(file);
	}
	printf("Real text: %.1f MB from /usr/share/common-licenses, /usr/share/doc/*/copyright "
		   "and manual pages, repeated to size.\n"
		   "Medians of several runs. The printer's figures are bytes per second of its thread's "
		   "CPU time;\njobs are timed from fork to exit (wall), with their CPU time in the next "
		   "column. Load average %s on %ld CPUs.\n\n",
		static_cast<double>(text.size()) / 1e6, load, sysconf(_SC_NPROCESSORS_ONLN));
	Row("", "time", "CPU", "peak RSS", "against", "ratio", "goal");

	// The text page printer alone, on the first 999,999 bytes.
	memcpy(FileBuffer, text.data(), kFileBufferSize);
	FileLenght = kFileBufferSize;
	const int kEngineRuns = 41;
	double copy = MemcpySeconds(kEngineRuns);
	double megabytes = static_cast<double>(FileLenght) / 1e6;
	Row("engine memcpy", Format("%.2f GB/s", megabytes / 1e3 / copy), "", "", "", "", "");
	for (const Mode& mode : kModes) {
		double seconds = EngineSeconds(mode.filter, kEngineRuns);
		std::string goal = &mode == &kModes[0]
			? Goal(seconds <= 2 * copy, "(within 2x memcpy)")
			: Goal(megabytes / 1e3 / seconds >= 1.5, "(>= 1.5 GB/s)");
		Row(std::string("engine ") + mode.name, Format("%.2f GB/s", megabytes / 1e3 / seconds), "",
			"", "memcpy", Format("%.1fx its time", seconds / copy), goal);
	}

	if (engineOnly) {
		rmdir(directory.c_str());
		return 0;
	}

	// Whole jobs.
	const std::string cat = FindProgram("cat");
	const std::string pr = FindProgram("pr");
	const std::string file = directory + "/text.txt";
	const std::string output = directory + "/out";
	const std::string script = directory + "/script";
	struct Size {
		const char* label;
		size_t bytes;
		int runs;
		int prRuns;
	};
	const Size kSizes[] = {{"1 MB", 1000 * 1000, 21, 11}, {"200 MB", 200 * 1000 * 1000, 5, 3}};
	int status = 0;
	for (const Size& size : kSizes) {
		if (!WriteTextFile(file, text, size.bytes)) {
			fprintf(stderr, "cannot write %s\n", file.c_str());
			status = 1;
			break;
		}
		// Read once so that every run finds the file in the page cache.
		RunOnce({{cat, file}, "", "", ""});

		Run catRun = RunMedian({{cat, file}, "", output, ""}, size.runs);
		Run prRun = RunMedian({{pr, "-l", "66", "-e4", "-F", file}, "", output, ""},
			size.prRuns);
		unlink(output.c_str());
		if (!catRun.ok || !prRun.ok) {
			fprintf(stderr, "cat or pr failed on %s\n", file.c_str());
			status = 1;
			break;
		}
		std::string label = size.label;
		Row(label + " cat", Seconds(catRun.wall), Seconds(catRun.cpu),
			Format("%.1f MB", catRun.peakMegabytes), "", "", "");
		Row(label + " pr", Seconds(prRun.wall), Seconds(prRun.cpu),
			Format("%.1f MB", prRun.peakMegabytes), "", "", "");

		for (const Mode& mode : kModes) {
			WriteScript(script, std::string("menu \"") + mode.item + "\"\nmenu \"Printer File\"\n"
				+ "drop " + file + "\n");
			Run job = RunMedian({{quillon}, script, "", directory}, size.runs);
			std::string printed = directory + "/PrintFile";
			bool printedAll = FileSize(printed) >= static_cast<off_t>(size.bytes / 2);
			unlink(printed.c_str());
			if (!job.ok || !printedAll) {
				fprintf(stderr, "the %s job in %s mode failed\n", size.label, mode.name);
				status = 1;
				continue;
			}
			double toCat = job.wall / catRun.wall;
			double prToJob = prRun.wall / job.wall;
			bool big = size.bytes > 1000 * 1000;
			std::string goal = big
				? Goal(toCat <= 1.6 && prToJob >= 6 && job.peakMegabytes < 16,
					"(<= 1.6x cat, >= 6x pr, < 16 MB)")
				: Goal(toCat <= 2 && job.peakMegabytes < 16, "(<= 2x cat, < 16 MB)");
			Row(label + " job " + mode.name, Seconds(job.wall), Seconds(job.cpu),
				Format("%.1f MB", job.peakMegabytes), "cat / pr",
				Format("%.2fx cat", toCat) + Format(" (CPU %.1fx)", job.cpu / catRun.cpu)
					+ Format(", pr %.1fx it", prToJob),
				goal);
		}
		unlink(file.c_str());
	}

	// Start to exit of a run that only closes the window.
	if (WriteScript(script, "close\n")) {
		const int kIdleRuns = 41;
		Run idle = RunMedian({{quillon}, script, "", directory}, kIdleRuns);
		Run truth = RunMedian({{FindProgram("true")}, "", "", ""}, kIdleRuns);
		if (idle.ok && truth.ok) {
			Row("idle start to exit", Seconds(idle.wall), Seconds(idle.cpu),
				Format("%.1f MB", idle.peakMegabytes), "/bin/true " + Seconds(truth.wall),
				Format("%.1fx its time", idle.wall / truth.wall),
				Goal(idle.wall < 0.010, "(< 10 ms)"));
		} else {
			fprintf(stderr, "the idle run failed\n");
			status = 1;
		}
	}
	unlink(script.c_str());
	rmdir(directory.c_str());
	printf("\ngoals: %s\n", sGoalsMet ? "all met" : "NOT all met");
	return status;
}
