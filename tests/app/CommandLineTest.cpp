// The options Quillon answers before the application starts, as GNU programs
// do: --help and --version on standard output with status 0, anything else
// that looks like an option refused in one line with status 2.

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "QuillonRun.h"

namespace {

struct OptionCase {
	std::vector<std::string> arguments;
	int exitCode;
	const char* out;  // a pattern the whole of standard output matches
	const char* err;  // the same for standard error
};

const OptionCase kCases[] = {
	{ { "--help" }, 0,
		"Usage: quillon [^\n]*\n(.*\n)*  --refs FILE[^\n]*\n  --help[^\n]*\n  --version[^\n]*\n(.*\n)*",
		"" },
	{ { "--version" }, 0, "quillon \\(Quillon\\) [0-9]+\\.[0-9]+\\.[0-9]+\nCopyright[^\n]*\n", "" },
	// The first option decides; words that are not options do not count.
	{ { "word", "--version", "--bogus" }, 0, "quillon \\(Quillon\\) .*\n(.*\n)*", "" },
	{ { "--bogus" }, 2, "", "quillon: unrecognized option '--bogus'[^\n]*\n" },
	{ { "-x", "--help" }, 2, "", "quillon: unrecognized option '-x'[^\n]*\n" },
	{ { "word", "-", "--refs", "a.txt" }, 2, "", "quillon: unrecognized option '-'[^\n]*\n" },
};

TEST(CommandLine, HelpVersionAndUnknownOptionsEndBeforeTheApplicationStarts)
{
	for (const OptionCase& option : kCases) {
		ScratchDir directory;
		RunOptions run;
		run.arguments = option.arguments;
		// Were the application to start, the script would draw the view.
		RunResult result = run_quillon(directory, "draw\n", run);
		std::string name = option.arguments.front() + " " + option.arguments.back();
		EXPECT_TRUE(result.exited) << name << result.Describe();
		EXPECT_EQ(result.exitCode, option.exitCode) << name << result.Describe();
		EXPECT_TRUE(std::regex_match(result.out, std::regex(option.out)))
			<< name << result.Describe();
		EXPECT_TRUE(std::regex_match(result.err, std::regex(option.err)))
			<< name << result.Describe();
	}
}

}  // namespace
