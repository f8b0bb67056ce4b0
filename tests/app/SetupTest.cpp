// The Setup menu's files: settings kept with Remember Settings and replayed
// at the next start, and the ports file, as a user meets them across runs.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "QuillonRun.h"

namespace {

const char* const kOutputs[] = { "parallel1.out", "parallel2.out", "serial1.out", "serial2.out", "PrintFile" };

// What the job printed to each port, and what the view showed.
std::string
Printed(const ScratchDir& directory, const RunResult& result)
{
	std::string printed;
	for (const char* output : kOutputs)
		printed += std::string(output) + ":" + (directory.Exists(output) ? directory.Read(output) : "-") + "\n";
	for (const std::string& line : result.Events("text"))
		printed += line + "\n";
	return printed;
}

std::vector<std::string>
Statuses(const RunResult& result)
{
	std::vector<std::string> statuses;
	for (const std::string& line : result.Events("status"))
		statuses.push_back(line.substr(7));
	return statuses;
}

}  // namespace

// Chosen once with Remember Settings on, the commands make the next start
// print and show exactly what choosing them by hand does, with no alert;
// turned off, the start is the documented one again. Never turned on,
// nothing is written.
TEST(Setup, KeptSettingsReplayAsChosenByHand)
{
	const std::vector<std::vector<std::string>> kChoices = {
		{ "MPed", "MM15", "MMnl", "MCls" },
		{ "MPhp", "MM12", "MCs3", "MPpp", "MM17", "MPp2" },  // a second model resets the first one's
		{ "MPei", "MM2c", "MMps", "MCtr", "MPpf" },          // 2 columns answers not supported
	};
	const std::string job = "drop a.txt\ndraw\n";
	ScratchDir plain;
	plain.Write("a.txt", "one line\ttabbed\nand a second one\n");
	std::string fresh = Printed(plain, run_quillon(plain, job));
	for (const std::vector<std::string>& choices : kChoices) {
		std::string script;
		for (const std::string& command : choices)
			script += "menu " + command + (command == "MM2c" ? "\nanswer 0\n" : "\n");
		ScratchDir byHand, kept;
		for (const ScratchDir* directory : { &byHand, &kept })
			directory->Write("a.txt", "one line\ttabbed\nand a second one\n");
		std::string expected = Printed(byHand, run_quillon(byHand, script + job));
		EXPECT_FALSE(byHand.Exists("config")) << choices[0];
		EXPECT_NE(expected, fresh) << choices[0];

		run_quillon(kept, "menu \"Remember Settings\"\n" + script);
		RunResult replayed = run_quillon(kept, job);
		EXPECT_EQ(Printed(kept, replayed), expected) << choices[0] << replayed.Describe();
		EXPECT_TRUE(replayed.Events("alert").empty()) << choices[0] << replayed.Describe();
		EXPECT_TRUE(replayed.err.empty()) << choices[0] << replayed.err;

		run_quillon(kept, "menu \"Remember Settings\"\n");
		EXPECT_FALSE(kept.Exists("config/quillon/settings")) << choices[0];
		for (const char* output : kOutputs)
			unlink((kept / output).c_str());
		EXPECT_EQ(Printed(kept, run_quillon(kept, job)), fresh) << choices[0];
	}
}

// The environment wins over the ports file; a line that cannot be used is
// said once on standard error and in the status bar, and the others hold.
TEST(Setup, PortsFileLinesAndTheEnvironment)
{
	ScratchDir directory;
	directory.Write("a.txt", "x\n");
	mkdir((directory / "config").c_str(), 0700);
	mkdir((directory / "config/quillon").c_str(), 0700);
	directory.Write("config/quillon/ports",
		"QUILLON_PARALLEL1=from-file.out\n# the office printer\nQUILLON_PRINTFILE=print-file.out\n"
		"QUILLON_PRINTER=x\njust words\n");
	RunOptions options;
	options.environment = { { "QUILLON_STATUS_EVENTS", "1" } };
	RunResult result = run_quillon(directory, "drop a.txt\nmenu MPpf\ndrop a.txt\n", options);
	EXPECT_TRUE(directory.Exists("parallel1.out") && !directory.Exists("from-file.out")) << result.Describe();
	EXPECT_TRUE(directory.Exists("print-file.out") && !directory.Exists("PrintFile")) << result.Describe();
	std::string file = directory / "config/quillon/ports";
	EXPECT_EQ(result.err, "quillon: " + file + " line 4: QUILLON_PRINTER is no port variable\n"
		"quillon: " + file + " line 5: not NAME=VALUE\n");
	std::vector<std::string> statuses = Statuses(result);
	ASSERT_FALSE(statuses.empty());
	EXPECT_EQ(statuses[0], "Parallel Port 1 - " + (directory / "parallel1.out") + " - " + file
		+ " line 4: QUILLON_PRINTER is no port variable (and 1 more)");
}

// A device or file chosen by path points the port in use there at once and
// is kept in its line of the ports file, the other lines as they were; a
// full disk leaves the file whole and says why.
TEST(Setup, APortChosenByPathIsKept)
{
	ScratchDir directory;
	directory.Write("a.txt", "x\n");
	mkdir((directory / "config").c_str(), 0700);
	mkdir((directory / "config/quillon").c_str(), 0700);
	const std::string before = "# kept as written\nQUILLON_PRINTFILE=old.out\nQUILLON_SERIAL1_BAUD=19200\n";
	directory.Write("config/quillon/ports", before);
	const std::string choose = "menu MPpf\nmenu \"Device or File by Path...\"\nselect chosen.out\n";
	RunOptions full;
	full.environment = { { "QUILLON_STATUS_EVENTS", "1" } };
	full.fileSizeLimit = 16;
	RunResult refused = run_quillon(directory, choose, full);
	EXPECT_EQ(directory.Read("config/quillon/ports"), before);
	std::vector<std::string> statuses = Statuses(refused);
	ASSERT_FALSE(statuses.empty());
	EXPECT_EQ(statuses.back().rfind("Printer File - " + (directory / "chosen.out") + " - could not write ", 0), 0u)
		<< refused.Describe();
	DIR* folder = opendir((directory / "config/quillon").c_str());
	int entries = 0;
	while (folder != NULL && readdir(folder) != NULL)
		entries++;
	closedir(folder);
	EXPECT_EQ(entries, 3) << "only ports is left beside . and ..";

	RunResult chosen = run_quillon(directory, choose + "drop a.txt\n");
	EXPECT_TRUE(directory.Exists("chosen.out") && !directory.Exists("old.out")) << chosen.Describe();
	EXPECT_EQ(directory.Read("config/quillon/ports"),
		"# kept as written\nQUILLON_PRINTFILE=" + (directory / "chosen.out") + "\nQUILLON_SERIAL1_BAUD=19200\n");
	unlink((directory / "chosen.out").c_str());
	run_quillon(directory, "menu MPpf\ndrop a.txt\n");
	EXPECT_TRUE(directory.Exists("chosen.out"));
}
