// Shared ground for the engine tests: an output stream that records every
// write call made to it, a fixture that puts the process-wide engine state and
// settings back to their load values before each test, and hex helpers.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

// An unbuffered memory stream. Each fwrite made on it is recorded as one entry
// of Writes() with the bytes the caller handed over (also when it hands none);
// Received() holds what the stream accepted.
class RecordingStream {
public:
	RecordingStream();
	~RecordingStream();

	FILE* Stream() const { return fStream; }
	const std::vector<std::string>& Writes() const { return fWrites; }
	const std::string& Received() const { return fReceived; }
	size_t LastResult() const { return fLastResult; }  // what fwrite returned
	void Forget();

	// From now on the stream accepts only this many more bytes; past them
	// every write fails, as a printer that went off line.
	void AcceptOnly(size_t bytes) { fBudget = bytes; }

	// Runs after each write is recorded, with the number of writes so far.
	std::function<void(size_t writes)> onWrite;

	// Called by the fwrite wrapper.
	static void Record(FILE* stream, const void* data, size_t bytes, size_t result);

private:
	static ssize_t Accept(void* cookie, const char* data, size_t size);

	FILE* fStream;
	std::vector<std::string> fWrites;
	std::string fReceived;
	size_t fLastResult;
	size_t fBudget;
};

// "0A 0D 61" -> the three bytes; the notation the printer codes are given in.
std::string Hex(const char* pairs);
// The reverse, for readable failure messages: "0A 0D 61", "" for no bytes.
std::string ToHex(const std::string& bytes);
std::vector<std::string> ToHex(const std::vector<std::string>& writes);

// Whether the actual writes carry the expected ones byte for byte, in order,
// where a write longer than the staging buffer may arrive as several writes
// but every other one arrives as exactly one.
::testing::AssertionResult SameWritesAllowingSplits(
	const std::vector<std::string>& actual, const std::vector<std::string>& expected);

// The settings a text page is printed with.
struct PageSettings {
	const char* filter = "All";
	int32_t topBlankLines = 3;
	int32_t tabSize = 4;
	int32_t paperY = 60;
	const char* loadPaper = "";
	const char* newLine = "0A 0D";
	const char* ejectPaper = "0C";
};

class EngineTest : public ::testing::Test {
protected:
	void SetUp() override;
	void TearDown() override;

	// Puts the settings into the store (and PaperY), as a print job would
	// find them.
	void Use(const PageSettings& settings);

	// Runs the text page printer on the file and returns its writes.
	const std::vector<std::string>& PrintText(const std::string& file);

	std::string Staged() const;  // LineBuffer[0 .. LineLenght - 1]
	void ForgetStaged();         // empties the buffer; its write is not recorded

	RecordingStream fOutput;
};

// Puts every variable of the settings store back to the value it had when
// the program was loaded, before any test ran.
void RestoreLoadedSettings();
