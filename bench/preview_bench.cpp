// The preview's figures: a job of N pages read by the printer of paper, and
// drawn into a PDF, for each language; the time and the peak memory of each,
// measured in a process of its own so that one run's memory is not the next's.
#include <chrono>
#include <cstdio>
#include <string>
#include <unistd.h>

#include <sys/resource.h>
#include <sys/wait.h>

#include "PaperPages.h"
#include "PrinterPaper.h"

namespace {

// A job as the models are sent it: the reset and pitch, then pages of three
// blank lines, sixty lines of text and the page's eject. Made a page at a
// time, so that the job's own size is not in the figures.
std::string Preamble(paper_language language)
{
	return language == kPcl ? "\x1b"
	                          "E\x1b(s10H\x1b(s1Q\x1b&l2A"
	                        : "\x1b@\x12\x1bP";
}

std::string Page(paper_language language, int page)
{
	std::string stream;
	const std::string newLine = language == kPcl ? "\r\n" : "\n\r";
	const std::string eject = language == kPcl ? "\x1b&l0H" : "\f";
	{
		for (int blank = 0; blank < 3; blank++)
			stream += newLine;
		for (int line = 0; line < 60; line++) {
			std::string text =
			    "Page " + std::to_string(page + 1) + " line " + std::to_string(line + 1) +
			    ": the quick brown fox jumps over the lazy dog, and the ribbon runs on";
			stream += text.substr(0, static_cast<size_t>(20 + (line * 7) % 60)) + newLine;
		}
		stream += eject;
	}
	return stream;
}

struct Figure
{
	double seconds;
	long peakKilobytes;
	int sheets;
};

Figure Measure(paper_language language, int pages, bool pdf)
{
	int ends[2];
	if (pipe(ends) != 0)
		return {};
	pid_t child = fork();
	if (child == 0) {
		close(ends[0]);
		std::string path = "/tmp/quillon-preview-bench-" + std::to_string(getpid()) + ".pdf";
		auto start = std::chrono::steady_clock::now();
		PdfPages* pages_ = pdf ? new PdfPages(path) : nullptr;
		PrinterPaper paper(language, [&](const PaperSheet& sheet) {
			if (pages_ != nullptr)
				pages_->Add(sheet);
		});
		// The stream arrives in pieces, as from the port's pipe.
		std::string piece = Preamble(language);
		paper.Feed(piece.data(), piece.size());
		for (int page = 0; page < pages; page++) {
			piece = Page(language, page);
			paper.Feed(piece.data(), piece.size());
		}
		paper.Finish();
		if (pages_ != nullptr) {
			pages_->Close();
			delete pages_;
			unlink(path.c_str());
		}
		double seconds =
		    std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
		struct rusage usage;
		getrusage(RUSAGE_SELF, &usage);
		Figure figure = {seconds, usage.ru_maxrss, paper.Sheets()};
		ssize_t written = write(ends[1], &figure, sizeof(figure));
		_exit(written == sizeof(figure) ? 0 : 1);
	}
	close(ends[1]);
	Figure figure = {};
	ssize_t got = read(ends[0], &figure, sizeof(figure));
	close(ends[0]);
	waitpid(child, nullptr, 0);
	if (got != sizeof(figure))
		figure = {};
	return figure;
}

} // namespace

int main()
{
	printf("%-10s %-12s %6s %7s %10s %12s\n", "language", "output", "pages", "sheets", "seconds",
	       "peak KiB");
	const struct
	{
		const char* name;
		paper_language language;
	} languages[] = {{"PCL", kPcl}, {"ESC/P", kEscP}};
	for (const auto& language : languages) {
		for (bool pdf : {false, true}) {
			for (int pages : {100, 1000}) {
				Figure figure = Measure(language.language, pages, pdf);
				printf("%-10s %-12s %6d %7d %10.3f %12ld\n", language.name,
				       pdf ? "PDF" : "sheets only", pages, figure.sheets, figure.seconds,
				       figure.peakKilobytes);
			}
		}
	}
	return 0;
}
