// A deliberately plain text page printer used as an oracle for random input:
// one byte at a time, straight from the rules, with a staging buffer that
// never fills. It shares no code with the engine.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ReferencePrinter {
	// Settings, as the print job would find them.
	std::string filter;
	int32_t topBlankLines;
	int32_t tabSize;
	int32_t paperY;
	std::string loadPaper, newLine, ejectPaper;

	// State and output.
	std::string staged;
	std::vector<std::string> writes;
	int32_t asc = 0;
	int32_t lineCount = 0;

	void Print(const std::string& file);

private:
	void StageCode(const std::string& code);
	void Append() { staged += static_cast<char>(asc & 0xFF); }
	void Flush();
	void StartPage();
};
