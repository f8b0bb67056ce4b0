#include "JobCharacterSet.h"

#include <cstdlib>
#include <cstring>
#include <mutex>

#include "PrintJob.h"
#include "PrinterProfiles.h"
#include "SettingsStore.h"
#include "TextPagePrinter.h"

// A piece of the file is read raw at most this large, so that even when
// every byte turns into the longest stand-in the converted piece fits in
// FileBuffer.
static const size_t kRawPiece = kFileBufferSize / 16;

bool
JobCharacterSet::Choose(std::string* problem)
{
	fUnknown.clear();
	const char* value = getenv("QUILLON_CHARSET");
	if (value == NULL || value[0] == '\0') {
		fSet = nullptr;
		return true;
	}
	const CharacterSet* set = FindCharacterSet(value);
	if (set == nullptr) {
		*problem = std::string("QUILLON_CHARSET is \"") + value
			+ "\", which is no character set Quillon knows: use " + CharacterSetNames()
			+ ". Nothing was printed.";
		return false;
	}
	if (fSet != set || fConverter == nullptr)
		fConverter = std::make_unique<CharacterSetConverter>(*set);
	fSet = set;
	return true;
}

bool
JobCharacterSet::BeginFile()
{
	bool raw;
	std::string selection;
	if (fSet != nullptr) {
		std::lock_guard<std::mutex> lock(gStoreLock);
		// "All Raw Data" sends the file's bytes as they are, and leaves the
		// printer's table alone.
		raw = FilterSendsRawData(FilterCodes);
		if (!raw)
			selection = CharacterSetCode(PrintName, *fSet);
	}
	if (fSet == nullptr || raw) {
		CharacterSetSelection.clear();
		UpperHalfKeptFrom = 0x100;
		return false;
	}
	CharacterSetSelection = selection;
	UpperHalfKeptFrom = fSet->isoControls ? 0xA0 : 0x80;
	fConverter->Begin();
	fConverted.clear();
	fEnded = false;
	return true;
}

int32_t
JobCharacterSet::ReadPiece(const std::function<ssize_t(char*, size_t)>& read, bool* more)
{
	static char raw[kRawPiece];
	fConverted.clear();
	// A piece may convert to nothing (a byte-order mark, half a character):
	// read on until there is something to print or the file has ended.
	while (fConverted.empty() && !fEnded) {
		ssize_t count = read(raw, sizeof(raw));
		if (count > 0) {
			fConverter->Convert(raw, static_cast<size_t>(count), fConverted);
		} else {
			fConverter->Finish(fConverted);
			fEnded = true;
		}
	}
	memcpy(FileBuffer, fConverted.data(), fConverted.size());
	*more = !fEnded;
	return static_cast<int32_t>(fConverted.size());
}

void
JobCharacterSet::EndFile(const std::string& name)
{
	if (fConverter->Unknown() > 0)
		fUnknown.emplace_back(name, fConverter->Unknown());
}

std::string
JobCharacterSet::Report() const
{
	if (fUnknown.empty())
		return "";
	// "12 characters of notes.txt and 1 of old.txt have no equivalent in
	// CP850 and were printed as ?."
	std::string text;
	int64_t total = 0;
	for (size_t i = 0; i < fUnknown.size(); i++) {
		if (i > 0)
			text += i + 1 == fUnknown.size() ? " and " : ", ";
		text += std::to_string(fUnknown[i].second);
		if (i == 0)
			text += fUnknown[i].second == 1 ? " character" : " characters";
		text += " of " + fUnknown[i].first;
		total += fUnknown[i].second;
	}
	bool one = total == 1;
	text += std::string(one ? " has" : " have") + " no equivalent in " + fSet->label
		+ (one ? " and was" : " and were") + " printed as ?.";
	return text;
}
