// The script reader on any bytes: every line is skipped, read as an action
// or refused with a reason, and the words of an action come back unchanged
// when each is written in quotes again.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include <ScriptUser.h>

namespace {

std::string
quoted(const std::string& word)
{
	std::string text = "\"";
	for (char c : word) {
		if (c == '"' || c == '\\')
			text += '\\';
		text += c;
	}
	return text + "\"";
}

void
check(bool condition)
{
	if (!condition)
		abort();
}

}  // namespace

extern "C" int
LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
	std::istringstream script(std::string(reinterpret_cast<const char*>(data), size));
	std::string line;
	while (std::getline(script, line)) {
		std::vector<std::string> words;
		std::string error;
		switch (read_script_line(line, words, error)) {
			case kScriptSkip:
				check(words.empty());
				break;
			case kScriptError:
				check(!error.empty() && words.empty());
				break;
			case kScriptAction:
			{
				check(!words.empty() && line.find('\0') == std::string::npos);
				std::string again;
				for (const std::string& word : words)
					again += quoted(word) + " ";
				std::vector<std::string> reread;
				check(read_script_line(again, reread, error) == kScriptAction);
				check(reread == words);
				break;
			}
		}
	}
	return 0;
}
