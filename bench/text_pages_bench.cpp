// Throughput of the text page printer in each filter mode, on realistic text
// and on inputs that hit one path as hard as they can, with memcpy of the same
// number of bytes as the yardstick. Output goes to /dev/null through stdio.
//
//   build/bench/text_pages_bench [--benchmark_filter=...]
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "LineBuffer.h"
#include "PrintJob.h"
#include "SettingsStore.h"
#include "TextPagePrinter.h"

namespace {

const size_t kWholeBuffer = sizeof(FileBuffer);

// About a megabyte of what people print: source code indented with tabs,
// prose in paragraphs, and a part with CR LF line ends.
std::string
RealisticText()
{
	static const char* const kWords[] = {"the", "printer", "page", "of", "and", "a", "line",
		"paper", "to", "with", "characters", "inch", "is", "for", "quality", "draft", "text",
		"margin", "in", "this", "file", "sheet", "feeds", "each", "column"};
	static const char* const kCode[] = {"if (count > limit)", "return value;",
		"for (int32 i = 0; i < length; i++)", "{", "}", "buffer[i] = source[i];",
		"status = Write(port, bytes, size);", "// keep the printer fed in whole lines",
		"case B_CONTROL_KEY:", "break;"};
	std::mt19937 random(1);
	std::string text;
	while (text.size() < kWholeBuffer) {
		int kind = static_cast<int>(random() % 3);
		const char* lineEnd = kind == 2 ? "\r\n" : "\n";
		for (int line = 0; line < 40; line++) {
			std::string row;
			if (kind == 0) {
				row.append(random() % 5, '\t');
				row += kCode[random() % 10];
				if (random() % 4 == 0)
					row += "\t\t// note";
			} else if (random() % 8 != 0) {
				while (row.size() < 60 + random() % 15) {
					row += kWords[random() % 25];
					row += random() % 9 == 0 ? ". " : " ";
				}
			}
			text += row + lineEnd;
		}
	}
	text.resize(kWholeBuffer);
	return text;
}

struct Input {
	const char* name;
	std::string bytes;
};

std::vector<Input>
Inputs()
{
	std::vector<Input> inputs;
	inputs.push_back({"realistic_1MB", RealisticText()});
	inputs.push_back({"all_tabs_1MB", std::string(kWholeBuffer, '\t')});
	inputs.push_back({"all_line_ends_1MB", std::string(kWholeBuffer, '\n')});
	std::string line(5 * 1000 * 1000, ' ');
	for (size_t i = 0; i < line.size(); i++)
		line[i] = static_cast<char>(0x21 + i * 7 % 90);
	inputs.push_back({"one_5MB_line", line});
	std::string high(kWholeBuffer, '\0');
	for (size_t i = 0; i < high.size(); i++)
		high[i] = static_cast<char>(0x80 + i % 128);
	inputs.push_back({"bytes_80_FF_1MB", high});
	return inputs;
}

// Files larger than FileBuffer come through the piece reader, as the print
// job hands them over; the copies into FileBuffer are then part of the time.
const std::string* sFile;
size_t sOffset;

int32_t
NextPiece()
{
	size_t piece = std::min(sFile->size() - sOffset, kWholeBuffer);
	memcpy(FileBuffer, sFile->data() + sOffset, piece);
	sOffset += piece;
	return static_cast<int32_t>(piece);
}

void
PrintPages(benchmark::State& state, const Input* input, const char* filter)
{
	ApplyStartUpSettings();
	FilterCodes = filter;
	PaperY = 60;
	FILE* sink = fopen("/dev/null", "w");
	PrinterPort = sink;
	sFile = &input->bytes;
	bool pieces = input->bytes.size() > kWholeBuffer;
	file_piece_reader nextPiece = pieces ? file_piece_reader(NextPiece) : nullptr;
	if (!pieces) {
		memcpy(FileBuffer, input->bytes.data(), input->bytes.size());
		FileLenght = static_cast<int32_t>(input->bytes.size());
	}

	for (auto _ : state) {
		if (pieces) {
			sOffset = 0;
			FileLenght = NextPiece();
		}
		PrintTextPages(nextPiece);
	}

	state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
		static_cast<int64_t>(input->bytes.size()));
	PrinterPort = nullptr;
	fclose(sink);
}

void
CopyBytes(benchmark::State& state, const Input* input)
{
	std::vector<char> target(input->bytes.size());
	for (auto _ : state) {
		memcpy(target.data(), input->bytes.data(), input->bytes.size());
		benchmark::DoNotOptimize(target.data());
		benchmark::ClobberMemory();
	}
	state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
		static_cast<int64_t>(input->bytes.size()));
}

}  // namespace

int
main(int argc, char** argv)
{
	static const std::vector<Input> inputs = Inputs();
	for (const Input& input : inputs) {
		std::string name = input.name;
		benchmark::RegisterBenchmark((name + "/memcpy").c_str(), CopyBytes, &input)
			->Unit(benchmark::kMicrosecond);
		for (const char* filter : {"NO", "YES", "All"}) {
			benchmark::RegisterBenchmark((name + "/" + filter).c_str(), PrintPages, &input, filter)
				->Unit(benchmark::kMicrosecond);
		}
	}
	benchmark::Initialize(&argc, argv);
	if (benchmark::ReportUnrecognizedArguments(argc, argv))
		return 1;
	benchmark::RunSpecifiedBenchmarks();
	benchmark::Shutdown();
	return 0;
}
