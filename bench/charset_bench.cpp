// What a printer character set costs: converting a megabyte of mixed-language
// UTF-8 text (French, German, Spanish, Nordic, box drawing, typographic
// punctuation, a little that no set has) to each set, against memcpy of the
// same bytes. Without a set chosen nothing is converted and the file goes to
// the text page printer as it was read.
//
//   build/bench/charset_bench
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <string>

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

BENCHMARK_CAPTURE(Conversion, cp437, "cp437");
BENCHMARK_CAPTURE(Conversion, cp850, "cp850");
BENCHMARK_CAPTURE(Conversion, latin9, "latin9");
BENCHMARK(Memcpy);

}  // namespace

BENCHMARK_MAIN();
