// The real application on the headless backend, driven by any script: it
// must end (libFuzzer's -timeout catches a hang), report only the known
// events, and answer every line it cannot read, or whose action it does not
// know, with an error event. Each input is one run of a fresh application in
// a directory of its own with a few files to drop, four ports leading to
// files there and one leading nowhere.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include <HeadlessBackend.h>
#include <ScriptUser.h>

#include "QuillonApplication.h"

namespace {

void
check(bool condition)
{
	if (!condition)
		abort();
}

void
write_file(const char* name, const std::string& content)
{
	std::ofstream file(name, std::ios::binary | std::ios::trunc);
	file << content;
}

// The lines the program must refuse, whatever state it is in.
size_t
count_bad_lines(const std::string& script)
{
	static const std::set<std::string> kActions
		= { "menu", "key", "select", "cancel", "drop", "answer", "close", "draw", "help" };
	std::istringstream lines(script);
	std::string line;
	size_t bad = 0;
	while (std::getline(lines, line)) {
		std::vector<std::string> words;
		std::string error;
		script_line_kind kind = read_script_line(line, words, error);
		if (kind == kScriptError || (kind == kScriptAction && kActions.count(words[0]) == 0))
			bad++;
	}
	return bad;
}

}  // namespace

extern "C" int
LLVMFuzzerInitialize(int*, char***)
{
	char directory[] = "/tmp/quillon-fuzz-XXXXXX";
	if (mkdtemp(directory) == NULL || chdir(directory) != 0)
		abort();
	write_file("a.txt", "first line\n\tsecond\fthird\n");
	write_file("b.txt", std::string(3000, 'b') + "\n");
	write_file("empty.txt", "");
	write_file("long.txt", std::string(70000, 'x'));
	mkdir("dir", 0755);
	setenv("QUILLON_PARALLEL1", "parallel1.out", 1);
	setenv("QUILLON_PARALLEL2", "missing/port", 1);
	setenv("QUILLON_SERIAL1", "serial1.out", 1);
	setenv("QUILLON_SERIAL2", "serial2.out", 1);
	// The application's own lines ("Print Graphic Pages.") are not wanted
	// among libFuzzer's.
	int null = open("/dev/null", O_WRONLY);
	if (null >= 0)
		dup2(null, STDOUT_FILENO);
	return 0;
}

extern "C" int
LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
	std::string script(reinterpret_cast<const char*>(data), size);
	// Paths stay in the directory: a device or a file elsewhere is not this
	// target's business (and /dev/zero never ends).
	if (size > 4096 || script.find('/') != std::string::npos)
		return -1;

	HeadlessBackend* backend = new HeadlessBackend;
	set_platform_backend(backend);
	std::vector<std::string> events;
	// Emit calls the sink with the backend's lock held, one event at a time.
	backend->SetEventSink([&events](const std::string& line) { events.push_back(line); });
	{
		auto application = std::make_unique<QuillonApplication>();
		std::thread user([backend, &script] {
			std::istringstream input(script);
			run_script(backend, input);
		});
		application->Run();
		user.join();
	}
	delete backend;

	static const std::set<std::string> kEvents = { "alert", "panel", "text", "error", "help" };
	size_t errors = 0;
	for (const std::string& event : events) {
		std::string kind = event.substr(0, event.find('\t'));
		check(kEvents.count(kind) == 1);
		if (kind == "error")
			errors++;
	}
	check(errors >= count_bad_lines(script));
	return 0;
}
