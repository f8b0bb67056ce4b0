// What a printer character set costs: converting a megabyte of mixed-language
// UTF-8 text (French, German, Spanish, Nordic, box drawing, typographic
// punctuation, a little that no set has) to each set, against memcpy of the
// same bytes; and the text page printer's full filter over the same file, as
// read (no set chosen) and converted to CP850 on the way, as a job does it.
//
//   build/bench/charset_bench
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>

#include "LineBuffer.h"
#include "PrintJob.h"
#include "SettingsStore.h"
#include "TextPagePrinter.h"

#include "CharacterSet.h"

namespace {

std::string
MixedText()
{
	static const char* const kLines[] = {
		"Ça a été une journée très réussie, à la française.",
		"Größere Übungen fördern die Qualität der Arbeit.",
		"¿Dónde está el señor Muñoz? Mañana, en la estación.",
		"Smørrebrød på Ærø, og kaffe på Åland i løbet af året.",
		"┌──────────┬──────────┐ │ Summe    │ 12,50 €  │",
		"“Quoted” text – with dashes… and ‘single’ quotes.",
		"Plain ASCII lines are the most common of all in a printout.",
		"int main(void) { return printf(\"%d\\n\", 42); }",
		"漢字 and ★ have no place on any of these pages.",
	};
	std::mt19937 random(7);
	std::string text;
	while (text.size() < 1000 * 1000) {
		text += kLines[random() % 9];
		text += '\n';
	}
	return text;
}

const std::string kText = MixedText();

void
Conversion(benchmark::State& state, const char* setName)
{
	CharacterSetConverter converter(*FindCharacterSet(setName));
	std::string out;
	out.reserve(kText.size() * 2);
	for (auto _ : state) {
		out.clear();
		converter.Begin();
		// In the pieces the job reads a file in.
		for (size_t at = 0; at < kText.size(); at += 65536)
			converter.Convert(kText.data() + at, std::min<size_t>(65536, kText.size() - at), out);
		converter.Finish(out);
		benchmark::DoNotOptimize(out.data());
	}
	state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kText.size()));
}

void
Memcpy(benchmark::State& state)
{
	std::string out(kText.size(), '\0');
	for (auto _ : state) {
		memcpy(out.data(), kText.data(), kText.size());
		benchmark::DoNotOptimize(out.data());
	}
	state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kText.size()));
}

// The file in the job's pieces, converted or not, through the full filter.
CharacterSetConverter* sConverter;
size_t sOffset;

int32_t
NextPiece()
{
	std::string converted;
	while (converted.empty() && sOffset < kText.size()) {
		size_t piece = std::min<size_t>(65536, kText.size() - sOffset);
		if (sConverter == nullptr) {
			converted.assign(kText, sOffset, piece);
		} else {
			sConverter->Convert(kText.data() + sOffset, piece, converted);
			if (sOffset + piece == kText.size())
				sConverter->Finish(converted);
		}
		sOffset += piece;
	}
	memcpy(FileBuffer, converted.data(), converted.size());
	return static_cast<int32_t>(converted.size());
}

void
Printing(benchmark::State& state, const char* setName)
{
	ApplyStartUpSettings();
	FilterCodes = "All";
	PaperY = 60;
	std::unique_ptr<CharacterSetConverter> converter;
	if (setName != nullptr)
		converter = std::make_unique<CharacterSetConverter>(*FindCharacterSet(setName));
	sConverter = converter.get();
	UpperHalfKeptFrom = converter != nullptr ? 0x80 : 0x100;
	FILE* sink = fopen("/dev/null", "w");
	PrinterPort = sink;
	for (auto _ : state) {
		if (sConverter != nullptr)
			sConverter->Begin();
		sOffset = 0;
		FileLenght = NextPiece();
		PrintTextPages(NextPiece);
	}
	state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kText.size()));
	PrinterPort = nullptr;
	UpperHalfKeptFrom = 0x100;
	fclose(sink);
}

BENCHMARK_CAPTURE(Printing, as_read, nullptr)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Printing, converted_to_cp850, "cp850")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Conversion, cp437, "cp437");
BENCHMARK_CAPTURE(Conversion, cp850, "cp850");
BENCHMARK_CAPTURE(Conversion, latin9, "latin9");
BENCHMARK(Memcpy);

}  // namespace

BENCHMARK_MAIN();
