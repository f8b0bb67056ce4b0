// quillon-render MODEL FILE.prn OUT.pdf: lays a printer stream out as the
// model's printer would and writes its sheets as a PDF, or as OUT-1.png ...
// when OUT ends in .png. The unknown codes are listed on standard error.
#include <cstdio>
#include <cstring>
#include <string>

#include "PaperPages.h"
#include "PrinterPaper.h"

int main(int argc, char* argv[])
{
	if (argc != 4) {
		fputs("Usage: quillon --render MODEL FILE.prn OUT.pdf|OUT.png\n", stderr);
		return 2;
	}
	paper_language language;
	if (!FindPaperLanguage(argv[1], &language)) {
		fprintf(stderr, "quillon: no printer model \"%s\"\n", argv[1]);
		return 2;
	}
	FILE* input = strcmp(argv[2], "-") == 0 ? stdin : fopen(argv[2], "rb");
	if (input == nullptr) {
		fprintf(stderr, "quillon: cannot read %s: %s\n", argv[2], strerror(errno));
		return 1;
	}
	std::string out = argv[3];
	bool png = out.size() > 4 && out.compare(out.size() - 4, 4, ".png") == 0;
	std::string stem = png ? out.substr(0, out.size() - 4) : out;
	PdfPages* pdf = nullptr;
	if (!png) {
		pdf = new PdfPages(out);
		if (!pdf->Ok()) {
			fprintf(stderr, "quillon: cannot write %s\n", out.c_str());
			delete pdf;
			return 1;
		}
	}
	bool written = true;
	PrinterPaper paper(language, [&](const PaperSheet& sheet) {
		if (pdf != nullptr)
			pdf->Add(sheet);
		else
			written = WritePngSheet(sheet, stem, 96) && written;
	});
	static char buffer[1 << 16];
	size_t count;
	while ((count = fread(buffer, 1, sizeof(buffer), input)) > 0)
		paper.Feed(buffer, count);
	paper.Finish();
	if (input != stdin)
		fclose(input);
	if (pdf != nullptr) {
		written = pdf->Close();
		delete pdf;
	}
	printf("%d sheets, %lld unknown codes\n", paper.Sheets(),
	       static_cast<long long>(paper.UnknownCount()));
	for (const UnknownCode& code : paper.Unknown())
		fprintf(stderr, "unknown code %s\n", DescribeUnknownCode(code).c_str());
	if (!written) {
		fprintf(stderr, "quillon: cannot write %s\n", out.c_str());
		return 1;
	}
	return 0;
}
