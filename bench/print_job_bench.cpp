// A whole print job, from opening the output to closing it, for a 1 MB and a
// 200 MB text file in full-filter mode, against `cat` of the same file to the
// same kind of output in the same run. Each run is a child process of its
// own, so its peak resident memory is the job's alone.
//
//   build/bench/print_job_bench [DIRECTORY]
//
// The files are made in DIRECTORY (default: $TMPDIR or /tmp) and removed at
// the end. Goals: a job within 3x the time of cat, and under 16 MB peak
// resident memory whatever the size of the file.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <HeadlessBackend.h>

#include "QuillonApplication.h"
#include "SettingsStore.h"

namespace {

struct Measure {
	double seconds = 0;
	long peakKilobytes = 0;
	bool ok = false;
};

double
Now()
{
	using namespace std::chrono;
	return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// What people print: tab-indented code, prose, some CR LF line ends, now and
// then a form feed or a byte above 0x7F that full filtering drops.
bool
MakeTextFile(const std::string& path, size_t size)
{
	static const char* const kWords[] = { "the", "printer", "page", "of", "and", "a", "line",
		"paper", "to", "with", "characters", "inch", "is", "for", "quality", "draft", "text",
		"margin", "in", "this", "file", "sheet", "feeds", "each", "column", "caf\xE9" };
	static const char* const kCode[] = { "if (count > limit)", "return value;",
		"for (int32 i = 0; i < length; i++)", "{", "}", "buffer[i] = source[i];",
		"status = Write(port, bytes, size);", "// keep the printer fed in whole lines" };
	FILE* file = fopen(path.c_str(), "w");
	if (file == NULL)
		return false;
	std::mt19937 random(1);
	std::string block;
	size_t written = 0;
	while (written < size) {
		block.clear();
		while (block.size() < (1 << 20)) {
			int kind = static_cast<int>(random() % 3);
			const char* lineEnd = kind == 2 ? "\r\n" : "\n";
			for (int line = 0; line < 40; line++) {
				if (kind == 0) {
					block.append(random() % 4, '\t');
					block += kCode[random() % 8];
				} else {
					size_t length = 50 + random() % 25;
					size_t start = block.size();
					while (block.size() - start < length) {
						block += kWords[random() % 26];
						block += random() % 9 == 0 ? ". " : " ";
					}
				}
				block += lineEnd;
			}
			if (random() % 50 == 0)
				block += '\f';
		}
		size_t count = std::min(block.size(), size - written);
		if (fwrite(block.data(), 1, count, file) != count) {
			fclose(file);
			return false;
		}
		written += count;
	}
	return fclose(file) == 0;
}

// Answers every alert of the job at once and notes that there was one: a job
// that alerts has not printed what was measured.
class AlertNotingBackend : public HeadlessBackend {
public:
	virtual int32 RunAlert(BAlert*)
	{
		alerted = true;
		return 0;
	}

	bool alerted = false;
};

// Runs the print job for the file in a child process; the child reports the
// job's time and its own peak resident memory.
Measure
MeasureJob(const std::string& file, const std::string& output)
{
	Measure measure;
	int report[2];
	if (pipe(report) != 0)
		return measure;
	pid_t child = fork();
	if (child < 0)
		return measure;
	if (child == 0) {
		close(report[0]);
		AlertNotingBackend backend;
		set_platform_backend(&backend);
		double seconds;
		{
			QuillonApplication application;
			{
				std::lock_guard<std::mutex> lock(gStoreLock);
				PrinterPath = output.c_str();
			}
			BMessage message(B_REFS_RECEIVED);
			entry_ref ref(file.c_str());
			message.AddRef("refs", &ref);

			double start = Now();
			application.RefsReceived(&message);
			seconds = Now() - start;
		}
		struct rusage usage;
		getrusage(RUSAGE_SELF, &usage);
		Measure result;
		result.seconds = seconds;
		result.peakKilobytes = usage.ru_maxrss;
		result.ok = !backend.alerted;
		ssize_t sent = write(report[1], &result, sizeof(result));
		_exit(sent == static_cast<ssize_t>(sizeof(result)) ? 0 : 1);
	}
	close(report[1]);
	ssize_t got = read(report[0], &measure, sizeof(measure));
	close(report[0]);
	int status = 0;
	waitpid(child, &status, 0);
	if (got != static_cast<ssize_t>(sizeof(measure)) || !WIFEXITED(status)
		|| WEXITSTATUS(status) != 0)
		measure.ok = false;
	return measure;
}

// cat FILE > OUTPUT, timed from fork to exit.
Measure
MeasureCat(const std::string& file, const std::string& output)
{
	Measure measure;
	double start = Now();
	pid_t child = fork();
	if (child < 0)
		return measure;
	if (child == 0) {
		int descriptor = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
		if (descriptor < 0 || dup2(descriptor, STDOUT_FILENO) < 0)
			_exit(127);
		close(descriptor);
		execlp("cat", "cat", file.c_str(), static_cast<char*>(NULL));
		_exit(127);
	}
	int status = 0;
	struct rusage usage;
	if (wait4(child, &status, 0, &usage) != child)
		return measure;
	measure.seconds = Now() - start;
	measure.peakKilobytes = usage.ru_maxrss;
	measure.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
	return measure;
}

// The best time and the highest peak of several runs.
template<typename Run>
Measure
Best(int runs, Run run)
{
	Measure best;
	for (int i = 0; i < runs; i++) {
		Measure one = run();
		if (!one.ok)
			return one;
		if (!best.ok || one.seconds < best.seconds)
			best.seconds = one.seconds;
		best.peakKilobytes = std::max(best.peakKilobytes, one.peakKilobytes);
		best.ok = true;
	}
	return best;
}

}  // namespace

int
main(int argc, char** argv)
{
	const char* base = argc > 1 ? argv[1] : getenv("TMPDIR");
	std::string pattern = std::string(base != NULL && base[0] != '\0' ? base : "/tmp")
		+ "/print-job-bench-XXXXXX";
	std::vector<char> name(pattern.begin(), pattern.end());
	name.push_back('\0');
	if (mkdtemp(name.data()) == NULL) {
		fprintf(stderr, "cannot make a directory from %s: %s\n", pattern.c_str(), strerror(errno));
		return 1;
	}
	std::string directory = name.data();

	struct Size {
		const char* label;
		size_t bytes;
		int runs;
	};
	const Size kSizes[] = { { "1 MB", 1000000, 7 }, { "200 MB", 200000000, 3 } };
	const char* kOutputs[] = { "/dev/null", "plain file" };

	printf("%-7s %-11s %10s %10s %7s %9s %13s %13s\n", "file", "output", "job s", "cat s",
		"ratio", "job MB/s", "job peak RSS", "cat peak RSS");
	bool allOk = true;
	bool goalsMet = true;
	for (const Size& size : kSizes) {
		std::string file = directory + "/input.txt";
		if (!MakeTextFile(file, size.bytes)) {
			fprintf(stderr, "cannot write %s\n", file.c_str());
			allOk = false;
			break;
		}
		// Both read the file from the page cache.
		MeasureCat(file, "/dev/null");

		for (const char* kind : kOutputs) {
			bool plain = strcmp(kind, "/dev/null") != 0;
			std::string output = plain ? directory + "/output" : "/dev/null";
			Measure job = Best(size.runs, [&] { return MeasureJob(file, output); });
			Measure cat = Best(size.runs, [&] { return MeasureCat(file, output); });
			if (plain)
				unlink(output.c_str());
			if (!job.ok || !cat.ok) {
				printf("%-7s %-11s failed (%s)\n", size.label, kind, job.ok ? "cat" : "job");
				allOk = false;
				continue;
			}
			double ratio = job.seconds / cat.seconds;
			printf("%-7s %-11s %10.4f %10.4f %6.2fx %9.0f %10.1f MB %10.1f MB\n", size.label, kind,
				job.seconds, cat.seconds, ratio, static_cast<double>(size.bytes) / 1e6 / job.seconds,
				static_cast<double>(job.peakKilobytes) / 1024.0,
				static_cast<double>(cat.peakKilobytes) / 1024.0);
			goalsMet = goalsMet && ratio <= 3.0 && job.peakKilobytes < 16 * 1024;
		}
		unlink(file.c_str());
	}
	rmdir(directory.c_str());
	printf("goals (within 3x of cat, under 16 MB): %s\n", goalsMet ? "met" : "NOT met");
	return allOk ? 0 : 1;
}
