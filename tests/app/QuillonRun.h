// Runs the built quillon binary as a user would: a script on its standard
// input, the headless platform, a directory of its own as the working
// directory, and a time limit so that a hang fails the test instead of
// blocking it.
#pragma once

#include <string>
#include <utility>
#include <vector>

// A fresh, empty directory that is removed with everything in it.
class ScratchDir {
public:
	ScratchDir();
	~ScratchDir();
	ScratchDir(const ScratchDir&) = delete;
	ScratchDir& operator=(const ScratchDir&) = delete;

	const std::string& Path() const { return fPath; }
	std::string operator/(const std::string& name) const { return fPath + "/" + name; }

	// Writes a file below the directory and returns its full path.
	std::string Write(const std::string& name, const std::string& content) const;
	bool Exists(const std::string& name) const;
	std::string Read(const std::string& name) const;

private:
	std::string fPath;
};

struct RunOptions {
	// Arguments after the program name.
	std::vector<std::string> arguments;
	// Set in the program's environment, on top of QUILLON_PLATFORM=headless
	// and of the four ports leading to the files parallel1.out,
	// parallel2.out, serial1.out and serial2.out in the directory.
	std::vector<std::pair<std::string, std::string>> environment;
	// Keep standard input open after the script: the program then cannot
	// take the end of its input as a reason to leave.
	bool keepInputOpen = false;
	int timeoutMilliseconds = 30000;
	// Sends this signal to the program once it has run this long (0: none).
	int signalNumber = 0;
	int signalAfterMilliseconds = 0;
	// More of the script, written once the program has run this long.
	std::string laterScript;
	int laterAfterMilliseconds = 0;
	// Run by root, the program runs as the user nobody, whom permissions hold.
	bool unprivileged = false;
	// No file the program writes may grow past this many bytes (0: no
	// limit), as if the disk were full.
	long fileSizeLimit = 0;
};

struct RunResult {
	bool started = false;
	bool timedOut = false;
	bool exited = false;    // ended by returning or exit(), not by a signal
	int exitCode = -1;
	int signal = 0;
	std::string out;        // standard output, as written
	std::string err;
	std::vector<std::string> lines;  // standard output split at line ends
	// From the signal of RunOptions to the program's end; -1 when none was sent.
	long millisecondsAfterSignal = -1;

	// The lines that are events of the given kind (the first TAB-separated
	// word), e.g. "text", "alert", "error".
	std::vector<std::string> Events(const std::string& kind) const;
	// A description for failure messages.
	std::string Describe() const;
};

// The binary under test: $QUILLON_BINARY.
std::string quillon_binary();

// Runs the binary in the directory with the script as its standard input.
RunResult run_quillon(const ScratchDir& directory, const std::string& script,
	const RunOptions& options = RunOptions());

// The TAB-separated words of an event line.
std::vector<std::string> split_event(const std::string& line);

// A script word in double quotes, with \" and \\ escaped, as the script
// reader wants a word that holds spaces.
std::string quote_word(const std::string& word);

// The bytes of space-separated hexadecimal pairs: "1B 40" -> "\x1b\x40".
std::string hex_bytes(const std::string& pairs);
// The other way round, for failure messages.
std::string printable(const std::string& bytes);
