// The printer character set a job converts its files to, when
// QUILLON_CHARSET names one. Without it files go to the printer as read.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>
#include <sys/types.h>

#include "CharacterSet.h"

class JobCharacterSet {
public:
	// Reads QUILLON_CHARSET at the start of a job. False when it names no set
	// this program knows; problem then holds the alert's text.
	bool Choose(std::string* problem);

	// Before each file: whether it is converted (a set is chosen and the
	// filter is not raw), and the engine told what the printer is sent.
	bool BeginFile();
	// Reads the next converted piece into FileBuffer; read gives the file's
	// raw bytes (0 at its end, negative on failure). more becomes false once
	// nothing is left.
	int32_t ReadPiece(const std::function<ssize_t(char*, size_t)>& read, bool* more);
	// After each converted file: counts what had no equivalent in it.
	void EndFile(const std::string& name);

	// What the job could not print as it was, for one alert; "" when nothing.
	std::string Report() const;

private:
	const CharacterSet* fSet = nullptr;
	std::unique_ptr<CharacterSetConverter> fConverter;
	std::string fConverted;
	bool fEnded = false;
	std::vector<std::pair<std::string, int64_t>> fUnknown;
};
