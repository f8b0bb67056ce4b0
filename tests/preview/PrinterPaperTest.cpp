// Streams made by Quillon for each model and a table of settings, read by
// the printer of paper: the sheets, their lines and characters, and where
// they lie, against what the printer's own line width, pitch and sheet give.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>

#include <sys/wait.h>

#include "PrinterPaper.h"
#include "QuillonRun.h"

namespace {

std::string Utf8(const std::u32string& text)
{
	std::string out;
	for (char32_t c : text) {
		if (c < 0x80) {
			out += static_cast<char>(c);
		} else if (c < 0x800) {
			out += static_cast<char>(0xC0 | c >> 6);
			out += static_cast<char>(0x80 | (c & 0x3F));
		} else {
			out += static_cast<char>(0xE0 | c >> 12);
			out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
			out += static_cast<char>(0x80 | (c & 0x3F));
		}
	}
	return out;
}

// Characters of a UTF-8 line (the test texts hold two-byte ones at most).
size_t Length(const std::string& line)
{
	size_t count = 0;
	for (unsigned char byte : line)
		count += (byte & 0xC0) != 0x80;
	return count;
}

std::string Characters(const std::string& line, size_t from, size_t count)
{
	std::string out;
	size_t index = 0;
	for (size_t i = 0; i < line.size(); i++) {
		unsigned char byte = static_cast<unsigned char>(line[i]);
		if ((byte & 0xC0) != 0x80)
			index++;
		if (index > from && index <= from + count)
			out += line[i];
	}
	return out;
}

// A text of lines of many lengths: short ones, ones just under, at and over
// each line width, and ones that need three printer lines.
std::string SampleText(int lines, bool accented)
{
	const char* words[] = {"quill", "ink",      "ribbon",  "platen", "form",
	                       "sheet", "carriage", "tractor", "pin",    "feed"};
	const char* accentedWords[] = {"café", "Müller", "façade", "Straße", "Ärger", "señor"};
	const int lengths[] = {12,  79,  80,  81,  95,  96, 97,  104, 106, 119,
	                       121, 136, 138, 159, 161, 30, 250, 45,  7,   60};
	std::string text;
	for (int i = 0; i < lines; i++) {
		int length = lengths[i % 20];
		std::string line = "L" + std::to_string(1000 + i);
		for (int w = 0; Length(line) < static_cast<size_t>(length); w++) {
			line += ' ';
			line += accented && w % 3 == 1 ? accentedWords[(i + w) % 6] : words[(i * 7 + w) % 10];
		}
		text += Characters(line, 0, static_cast<size_t>(length)) + "\n";
	}
	return text;
}

// What a printer does with the settings below: its pitch in units, its line
// width and whether it wraps, the sheet and its text area.
struct Printer
{
	int64_t pitch;     // units a character
	int64_t lineWidth; // units
	bool wraps;
	int64_t left;       // from the sheet's edge
	int64_t top;        // of the text area
	int64_t textLength; // lines of 1/6 inch from the top of the text area
	bool continuous;    // a form that runs on over the perforation
	print_quality quality;
};

struct Row
{
	const char* model; // command code
	paper_language language;
	std::vector<const char*> menu; // items chosen after the model
	const char* charset;           // QUILLON_CHARSET, or nullptr
	Printer printer;
	int pageLines; // lines a page the job sends (with the three blank ones)
};

const int64_t U = kUnitsPerInch;
// The carriage of the dot matrix and plain text printers: eight inches on an
// eleven-inch form; PCL's logical page on each sheet, half an inch down.
Printer Carriage(int64_t pitch, print_quality quality = kDraftQuality)
{
	return {pitch, 8 * U, true, U / 4, 0, 66, true, quality};
}
Printer Pcl(int64_t pitch, double line, double sheetWidth, double sheetLength, bool wraps,
            print_quality quality = kDraftQuality)
{
	return {pitch, static_cast<int64_t>(line * U + 0.5),
	        wraps, static_cast<int64_t>((sheetWidth - line) / 2 * U + 0.5),
	        U / 2, static_cast<int64_t>((sheetLength - 0.5) * 6 + 1e-6),
	        false, quality};
}

const std::vector<const char*> kClean = {"MMfx", "MCbd"};

std::vector<const char*> With(std::initializer_list<const char*> items)
{
	std::vector<const char*> menu = kClean;
	menu.insert(menu.end(), items);
	return menu;
}

// clang-format off
const Row kRows[] = {
	// Epson Dot Matrix: every pitch (17 and 20 are condensed 10 and 12),
	// every quality (ESC x 2 is no quality: the draft of the reset stays).
	{ "MPed", kEscP, With({ "MMnm" }), nullptr, Carriage(216), 63 },
	{ "MPed", kEscP, With({ "MM12" }), nullptr, Carriage(180), 63 },
	{ "MPed", kEscP, With({ "MM15" }), nullptr, Carriage(144), 63 },
	{ "MPed", kEscP, With({ "MM17" }), nullptr, Carriage(126), 63 },
	{ "MPed", kEscP, With({ "MM20" }), nullptr, Carriage(108), 63 },
	{ "MPed", kEscP, With({ "MMnl" }), nullptr, Carriage(216, kNearLetterQuality), 63 },
	{ "MPed", kEscP, With({ "MMlq" }), nullptr, Carriage(216), 63 },
	{ "MPed", kEscP, With({ "MCs0" }), nullptr, Carriage(216), 60 },
	{ "MPed", kEscP, With({ "MCs2" }), nullptr, Carriage(216), 81 },
	{ "MPed", kEscP, With({ "MCs3" }), nullptr, Carriage(216), 67 },
	{ "MPed", kEscP, With({ "MCls" }), nullptr, Carriage(216), 48 },
	{ "MPed", kEscP, With({ "MCtr" }), nullptr, Carriage(216), 63 },
	{ "MPed", kEscP, With({ "MM12" }), "cp850", Carriage(180), 63 },
	{ "MPed", kEscP, With({ "MMnl" }), "latin1", Carriage(216, kNearLetterQuality), 63 },
	{ "MPed", kEscP, With({}), "latin9", Carriage(216), 63 },
	{ "MPed", kEscP, With({}), "cp437", Carriage(216), 63 },
	{ "MPed", kEscP, With({}), "cp858", Carriage(216), 63 },
	// Epson Stylus: no pitch, quality or paper codes; the character tables.
	{ "MPei", kEscP, With({ "MM15" }), nullptr, Carriage(216), 63 },
	{ "MPei", kEscP, With({ "MMlq", "MCs3" }), "cp850", Carriage(216), 67 },
	{ "MPei", kEscP, With({}), "latin1", Carriage(216), 63 },
	// HP DeskJet: 10 cpi is the only pitch it is sent (12 cpi goes out as a
	// height of 12 points, which leaves a fixed pitch as it is); every paper
	// in both orientations; its wrap off (the reset's) and on.
	{ "MPhp", kPcl, With({ "MMnm" }), nullptr, Pcl(216, 8.0, 8.5, 11, false), 63 },
	{ "MPhp", kPcl, With({ "MM12" }), nullptr, Pcl(216, 8.0, 8.5, 11, false), 63 },
	{ "MPhp", kPcl, With({ "MM20" }), nullptr, Pcl(216, 8.0, 8.5, 11, false), 63 },
	{ "MPhp", kPcl, With({ "MMnl" }), nullptr, Pcl(216, 8.0, 8.5, 11, false, kLetterQuality), 63 },
	{ "MPhp", kPcl, With({ "MMlq" }), nullptr, Pcl(216, 8.0, 8.5, 11, false, kLetterQuality), 63 },
	{ "MPhp", kPcl, With({ "MCs0" }), nullptr, Pcl(216, 6.75, 7.25, 10.5, false), 60 },
	{ "MPhp", kPcl, With({ "MCs2" }), nullptr, Pcl(216, 8.0, 8.5, 14, false), 81 },
	{ "MPhp", kPcl, With({ "MCs3" }), nullptr, Pcl(216, 7.8, 8.27, 11.69, false), 67 },
	{ "MPhp", kPcl, With({ "MCls" }), nullptr, Pcl(216, 10.5, 11, 8.5, false), 48 },
	{ "MPhp", kPcl, With({ "MCs0", "MCls" }), nullptr, Pcl(216, 10.0, 10.5, 7.25, false), 40 },
	{ "MPhp", kPcl, With({ "MCs2", "MCls" }), nullptr, Pcl(216, 13.5, 14, 8.5, false), 48 },
	{ "MPhp", kPcl, With({ "MCs3", "MCls", "MClw" }), nullptr, Pcl(216, 11.2, 11.69, 8.27, true), 46 },
	{ "MPhp", kPcl, With({ "MClw" }), nullptr, Pcl(216, 8.0, 8.5, 11, true), 63 },
	{ "MPhp", kPcl, With({ "MClw", "MCtr" }), nullptr, Pcl(216, 8.0, 8.5, 11, false), 63 },
	{ "MPhp", kPcl, With({}), "cp850", Pcl(216, 8.0, 8.5, 11, false), 63 },
	{ "MPhp", kPcl, With({ "MClw" }), "latin9", Pcl(216, 8.0, 8.5, 11, true), 63 },
	{ "MPhp", kPcl, With({}), "cp437", Pcl(216, 8.0, 8.5, 11, false), 63 },
	// IBM Proprinter: 10, 12 and condensed; 15 and 20 have no code and the
	// reset's 10 stays; its NLQ and LQ codes select a typeface, not a quality.
	{ "MPpp", kProprinter, With({ "MMnm" }), nullptr, Carriage(216), 63 },
	{ "MPpp", kProprinter, With({ "MM12" }), nullptr, Carriage(180), 63 },
	{ "MPpp", kProprinter, With({ "MM15" }), nullptr, Carriage(216), 63 },
	{ "MPpp", kProprinter, With({ "MM17" }), nullptr, Carriage(126), 63 },
	{ "MPpp", kProprinter, With({ "MMnl" }), nullptr, Carriage(216), 63 },
	{ "MPpp", kProprinter, With({ "MCs2" }), nullptr, Carriage(216), 81 },
	{ "MPpp", kProprinter, With({}), "cp850", Carriage(216), 63 },
	{ "MPpp", kProprinter, With({ "MM12" }), "latin1", Carriage(180), 63 },
	{ "MPpp", kProprinter, With({}), "cp858", Carriage(216), 63 },
	// The plain models: text and line ends only.
	// All Raw Data sends the file as it is, one page: its own line ends
	// (CR LF here: a lone LF would only feed the paper) and no page ejects
	// but the last, so the form's eleven inches make the sheets.
	{ "MPrw", kPlainText, With({ "MM12" }), nullptr, Carriage(216), 100000 },
	{ "MPas", kPlainText, With({ "MCs3" }), nullptr, Carriage(216), 67 },
	{ "MPgn", kPlainText, With({ "MCls" }), "cp437", Carriage(216), 48 },
};
// clang-format on

std::string Script(const Row& row)
{
	std::string script = std::string("menu ") + row.model + "\nmenu MPpf\n";
	for (const char* item : row.menu)
		script += std::string("menu ") + item + "\n";
	return script + "drop text.txt\n";
}

std::string Describe(const Row& row)
{
	std::string text = row.model;
	for (const char* item : row.menu)
		text += std::string(" ") + item;
	if (row.charset != nullptr)
		text += std::string(" ") + row.charset;
	return text;
}

void PrintTo(const Row& row, std::ostream* out)
{
	*out << Describe(row);
}

// A printed line on a sheet: its text and its row from the top of the text area.
struct ExpectedLine
{
	std::string text;
	int64_t row;
};

// The sheets the printer ejects for the text: the job sends pages of three
// blank lines and then its lines; each line is wrapped or cut at the
// printer's width; a page that runs past the sheet's text area goes on to
// the next sheet.
std::vector<std::vector<ExpectedLine>> ExpectedSheets(const std::string& text, const Row& row)
{
	const Printer& printer = row.printer;
	const size_t columns = static_cast<size_t>(printer.lineWidth / printer.pitch);
	std::vector<std::string> lines;
	std::istringstream in(text);
	for (std::string line; std::getline(in, line);)
		lines.push_back(line);

	std::vector<std::vector<ExpectedLine>> sheets(1);
	int64_t row0 = 0;
	auto advance = [&]() {
		row0++;
		if (row0 >= printer.textLength) {
			sheets.emplace_back();
			row0 = 0;
		}
	};
	const size_t perPage = static_cast<size_t>(row.pageLines - 3);
	for (size_t start = 0; start < lines.size(); start += perPage) {
		for (int blank = 0; blank < 3; blank++)
			advance();
		for (size_t i = start; i < std::min(lines.size(), start + perPage); i++) {
			const std::string& line = lines[i];
			size_t length = Length(line);
			for (size_t from = 0; from == 0 || (printer.wraps && from < length); from += columns) {
				if (from > 0)
					advance();
				sheets.back().push_back({Characters(line, from, columns), row0});
			}
			advance();
		}
		// The eject at the page's end: a form feed always goes on to the
		// next form; PCL ejects a page only when it was printed or moved on.
		if (printer.continuous || row0 != 0 || !sheets.back().empty())
			sheets.emplace_back();
		row0 = 0;
	}
	if (sheets.back().empty())
		sheets.pop_back();
	return sheets;
}

struct ReadSheet
{
	std::vector<PaperRun> runs;
	std::vector<std::u32string> lines;
};

std::vector<ReadSheet> Read(paper_language language, const std::string& stream, size_t piece,
                            PrinterPaper** keep = nullptr)
{
	std::vector<ReadSheet> sheets;
	auto* paper = new PrinterPaper(language, [&](const PaperSheet& sheet) {
		sheets.push_back({sheet.runs, sheet.Lines()});
	});
	for (size_t i = 0; i < stream.size(); i += piece)
		paper->Feed(stream.data() + i, std::min(piece, stream.size() - i));
	paper->Finish();
	if (keep != nullptr)
		*keep = paper;
	else
		delete paper;
	return sheets;
}

class PreviewTable : public testing::TestWithParam<Row>
{
};

TEST_P(PreviewTable, SheetsLinesAndPositionsFollowTheCodes)
{
	const Row& row = GetParam();
	ScratchDir directory;
	std::string text = SampleText(150, row.charset != nullptr);
	if (strcmp(row.model, "MPrw") == 0) {
		std::string crlf;
		for (char c : text)
			crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
		directory.Write("text.txt", crlf);
	} else {
		directory.Write("text.txt", text);
	}
	RunOptions options;
	if (row.charset != nullptr)
		options.environment.push_back({"QUILLON_CHARSET", row.charset});
	RunResult result = run_quillon(directory, Script(row), options);
	ASSERT_TRUE(result.exited && result.exitCode == 0) << result.Describe();
	std::string stream = directory.Read("PrintFile");
	ASSERT_FALSE(stream.empty());

	PrinterPaper* paper = nullptr;
	std::vector<ReadSheet> sheets = Read(row.language, stream, stream.size(), &paper);
	std::unique_ptr<PrinterPaper> owned(paper);
	EXPECT_EQ(paper->UnknownCount(), 0)
	    << Describe(row) << ": "
	    << (paper->Unknown().empty() ? "" : DescribeUnknownCode(paper->Unknown()[0]));
	EXPECT_EQ(paper->Sheets(), static_cast<int32_t>(sheets.size()));

	std::vector<std::vector<ExpectedLine>> expected = ExpectedSheets(text, row);
	ASSERT_EQ(sheets.size(), expected.size()) << Describe(row);
	for (size_t s = 0; s < sheets.size(); s++) {
		ASSERT_EQ(sheets[s].lines.size(), expected[s].size())
		    << Describe(row) << " sheet " << s + 1;
		for (size_t l = 0; l < expected[s].size(); l++)
			ASSERT_EQ(Utf8(sheets[s].lines[l]), expected[s][l].text)
			    << Describe(row) << " sheet " << s + 1 << " line " << l + 1;
		// Each line where its row and the pitch put it.
		ASSERT_FALSE(sheets[s].runs.empty());
		int64_t firstBaseline = sheets[s].runs.front().y;
		int64_t firstRow = expected[s].front().row;
		for (const PaperRun& run : sheets[s].runs) {
			ASSERT_EQ(run.advance, row.printer.pitch) << Describe(row);
			ASSERT_EQ(run.x, row.printer.left) << Describe(row);
			ASSERT_EQ(run.quality, row.printer.quality) << Describe(row);
			ASSERT_EQ((run.y - firstBaseline) % (U / 6), 0);
		}
		int64_t lastRow = expected[s].back().row;
		EXPECT_EQ(sheets[s].runs.back().y - firstBaseline, (lastRow - firstRow) * (U / 6))
		    << Describe(row) << " sheet " << s + 1;
		EXPECT_GE(firstBaseline, row.printer.top + firstRow * (U / 6));
		EXPECT_LT(firstBaseline, row.printer.top + (firstRow + 1) * (U / 6));
	}

	// The same stream in pieces of a few bytes, codes cut anywhere, reads the same.
	std::vector<ReadSheet> pieces = Read(row.language, stream, 7);
	ASSERT_EQ(pieces.size(), sheets.size());
	for (size_t s = 0; s < sheets.size(); s++)
		EXPECT_EQ(pieces[s].lines, sheets[s].lines) << Describe(row) << " sheet " << s + 1;
}

INSTANTIATE_TEST_SUITE_P(EveryModel, PreviewTable, testing::ValuesIn(kRows));

} // namespace

namespace {

// Runs a command and returns its standard output.
std::string Output(const std::string& command, int* status = nullptr)
{
	std::string out;
	FILE* pipe = popen(command.c_str(), "r");
	if (pipe == nullptr)
		return out;
	char buffer[4096];
	size_t count;
	while ((count = fread(buffer, 1, sizeof(buffer), pipe)) > 0)
		out.append(buffer, count);
	int code = pclose(pipe);
	if (status != nullptr)
		*status = WIFEXITED(code) ? WEXITSTATUS(code) : -1;
	return out;
}

// The words of each page of a PDF as pdftotext reads them: the PDF's text,
// not the interpreter's.
std::vector<std::vector<std::string>> PdfPageWords(const std::string& pdf)
{
	std::string text = Output("pdftotext -enc UTF-8 '" + pdf + "' -");
	std::vector<std::vector<std::string>> pages(1);
	std::string word;
	for (char c : text) {
		if (c == '\f' || c == ' ' || c == '\n') {
			if (!word.empty())
				pages.back().push_back(word);
			word.clear();
			if (c == '\f')
				pages.emplace_back();
		} else {
			word += c;
		}
	}
	while (!pages.empty() && pages.back().empty())
		pages.pop_back();
	return pages;
}

std::vector<std::string> Words(const std::vector<std::u32string>& lines)
{
	std::vector<std::string> words;
	for (const std::u32string& line : lines) {
		std::istringstream in(Utf8(line));
		for (std::string word; in >> word;)
			words.push_back(word);
	}
	return words;
}

std::string RenderBinary()
{
	std::string quillon = quillon_binary();
	return quillon.substr(0, quillon.rfind('/') + 1) + "quillon-render";
}

} // namespace

// quillon --render on the job's own stream: a PDF page for each sheet, whose
// text, read back from the PDF, is the sheet's; its words where the pitch
// and the line spacing put them; PNG images of the same size.
TEST(PreviewRender, PdfPagesHoldTheTextOfEachSheet)
{
	struct Case
	{
		const char* model;
		const char* label;
		paper_language language;
		const char* charset;
		const char* settings;
		double pitch; // characters an inch
	};
	const Case cases[] = {
	    {"MPed", "Epson Dot Matrix", kEscP, "cp850", "menu MM12\n", 12},
	    {"MPhp", "HP Deskjet Series", kPcl, "latin1", "menu MCls\nmenu MClw\n", 10},
	    {"MPpp", "MPpp", kProprinter, nullptr, "menu MM17\n", 120.0 / 7},
	    {"MPgn", "Generic ASCII.", kPlainText, nullptr, "", 10},
	};
	for (const Case& c : cases) {
		ScratchDir directory;
		directory.Write("text.txt", SampleText(90, c.charset != nullptr));
		RunOptions options;
		if (c.charset != nullptr)
			options.environment.push_back({"QUILLON_CHARSET", c.charset});
		RunResult result =
		    run_quillon(directory,
		                std::string("menu ") + c.model + "\nmenu MPpf\nmenu MMfx\nmenu MCbd\n" +
		                    c.settings + "drop text.txt\n",
		                options);
		ASSERT_TRUE(result.exited && result.exitCode == 0) << result.Describe();
		std::string stream = directory.Read("PrintFile");
		std::vector<ReadSheet> sheets = Read(c.language, stream, stream.size());
		ASSERT_GE(sheets.size(), 2u) << c.model;

		int status = -1;
		std::string said =
		    Output("'" + quillon_binary() + "' --render '" + c.label + "' '" +
		               (directory / "PrintFile") + "' '" + (directory / "out.pdf") + "' 2>&1",
		           &status);
		ASSERT_EQ(status, 0) << said;
		EXPECT_EQ(said, std::to_string(sheets.size()) + " sheets, 0 unknown codes\n");
		std::vector<std::vector<std::string>> pages = PdfPageWords(directory / "out.pdf");
		ASSERT_EQ(pages.size(), sheets.size()) << c.model;
		for (size_t s = 0; s < sheets.size(); s++)
			EXPECT_EQ(pages[s], Words(sheets[s].lines)) << c.model << " page " << s + 1;

		// The first word of each line of the first page: at the line's left
		// edge, one line spacing under the one before.
		std::string boxes = Output("pdftotext -bbox -f 1 -l 1 '" + (directory / "out.pdf") + "' -");
		std::vector<std::pair<double, double>> starts; // xMin, yMax of the words starting with "L1"
		std::istringstream in(boxes);
		for (std::string line; std::getline(in, line);) {
			double xMin, yMin, xMax, yMax;
			if (line.find("<word") == std::string::npos ||
			    sscanf(line.c_str(), " <word xMin=\"%lf\" yMin=\"%lf\" xMax=\"%lf\" yMax=\"%lf\"",
			           &xMin, &yMin, &xMax, &yMax) != 4)
				continue;
			std::string word = line.substr(line.find('>') + 1);
			if (word.rfind("L1", 0) == 0 && word.size() > 5 && word[5] == '<') {
				starts.push_back({xMin, yMax});
				// Five characters at the pitch.
				EXPECT_NEAR(xMax - xMin, 5 * 72 / c.pitch, 72 / c.pitch * 0.5)
				    << c.model << " " << word;
			}
		}
		ASSERT_GE(starts.size(), 10u) << c.model;
		for (size_t i = 1; i < starts.size(); i++) {
			EXPECT_NEAR(starts[i].first, starts[0].first, 0.5) << c.model;
			double lines = (starts[i].second - starts[i - 1].second) / 12.0;
			EXPECT_NEAR(lines, std::round(lines), 0.02) << c.model;
			EXPECT_GE(lines, 0.99) << c.model;
		}

		std::string png = directory / "sheet.png";
		said = Output("'" + RenderBinary() + "' '" + c.model + "' '" + (directory / "PrintFile") +
		                  "' '" + png + "' 2>&1",
		              &status);
		ASSERT_EQ(status, 0) << said;
		for (size_t s = 1; s <= sheets.size(); s++)
			EXPECT_TRUE(directory.Exists("sheet-" + std::to_string(s) + ".png"))
			    << c.model << " " << s;
		EXPECT_FALSE(directory.Exists("sheet-" + std::to_string(sheets.size() + 1) + ".png"));
	}
}

// Codes that are none of the printer's are listed with their bytes and
// offsets, and the text around them still prints.
TEST(PreviewUnknownCodes, ForeignCodesAreListed)
{
	// ESC l (a left margin), a stray control and ESC * on the Epson, and a
	// code cut off by the end; a raster code and ESC p on the DeskJet; an
	// ESC and a vertical tab to a plain printer.
	struct Case
	{
		paper_language language;
		std::string stream;
		std::vector<std::string> unknown;
		const char* text;
	} cases[] = {
	    {kEscP,
	     "\x1b@ab\x1bl\x05"
	     "cd\x1b*X\r\n\x1b"
	     "5ef\x1b",
	     {"1B 6C at 4", "05 at 6", "1B 2A at 9", "1B at 18"},
	     "abcdXef"},
	    {kPcl,
	     std::string("\x1b"
	                 "E\x1b*t300Rab\x1bp") +
	         '\0' + "cd\x1b(s1Q",
	     {"1B 2A 74 33 30 30 52 at 2", "1B 70 at 11"},
	     "abcd"},
	    {kPlainText,
	     "x\x1bPy\x0b"
	     "z",
	     {"1B at 1", "0B at 4"},
	     "xPyz"},
	};
	for (const Case& c : cases) {
		std::vector<std::string> listed;
		std::vector<ReadSheet> sheets;
		PrinterPaper paper(c.language, [&](const PaperSheet& sheet) {
			sheets.push_back({sheet.runs, sheet.Lines()});
		});
		for (char byte : c.stream)
			paper.Feed(&byte, 1);
		paper.Finish();
		for (const UnknownCode& code : paper.Unknown())
			listed.push_back(DescribeUnknownCode(code));
		EXPECT_EQ(listed, c.unknown);
		EXPECT_EQ(paper.UnknownCount(), static_cast<int64_t>(c.unknown.size()));
		ASSERT_EQ(sheets.size(), 1u);
		std::string printed;
		for (const std::u32string& line : sheets[0].lines)
			printed += Utf8(line);
		EXPECT_EQ(printed, c.text) << c.stream;
	}
}

// A port pointed at preview:PATH.pdf writes the job's sheets there and
// nothing to a printer; the PDF is complete when the job has ended.
TEST(PreviewPort, PortRendersTheJobIntoThePdf)
{
	ScratchDir directory;
	directory.Write("text.txt", SampleText(130, false));
	RunOptions options;
	options.environment.push_back({"QUILLON_PARALLEL1", "preview:" + (directory / "job.pdf")});
	RunResult result = run_quillon(directory,
	                               "menu MPhp\nmenu MMfx\nmenu MCbd\nmenu \"Parallel Port "
	                               "1\"\ndrop text.txt\nmenu MPpf\ndrop text.txt\n",
	                               options);
	ASSERT_TRUE(result.exited && result.exitCode == 0) << result.Describe();
	EXPECT_FALSE(directory.Exists("parallel1.out"));
	std::string stream = directory.Read("PrintFile");
	std::vector<ReadSheet> sheets = Read(kPcl, stream, stream.size());
	std::vector<std::vector<std::string>> pages = PdfPageWords(directory / "job.pdf");
	ASSERT_EQ(pages.size(), sheets.size());
	ASSERT_EQ(pages.size(), 3u);
	for (size_t s = 0; s < sheets.size(); s++)
		EXPECT_EQ(pages[s], Words(sheets[s].lines)) << "page " << s + 1;
}

// A model chosen without choosing its spacing and print direction still gets
// those of the model selected at start-up (ESC p 0, ESC U 0 of the Epson):
// the DeskJet knows neither, the Proprinter not ESC p, and the list says
// where they are.
TEST(PreviewUnknownCodes, StartUpSpacingAndDirectionCodesAreListedOnOtherModels)
{
	struct Case
	{
		const char* model;
		paper_language language;
		std::vector<std::string> unknown;
	} cases[] = {
	    {"MPhp", kPcl, {"\x1bp", "\x1bU"}},
	    {"MPpp", kProprinter, {"\x1bp"}},
	};
	for (const auto& [model, language, unknown] : cases) {
		ScratchDir directory;
		directory.Write("text.txt", SampleText(10, false));
		RunResult result =
		    run_quillon(directory, std::string("menu ") + model + "\nmenu MPpf\ndrop text.txt\n");
		ASSERT_TRUE(result.exited && result.exitCode == 0) << result.Describe();
		std::string stream = directory.Read("PrintFile");
		PrinterPaper paper(language, nullptr);
		paper.Feed(stream.data(), stream.size());
		paper.Finish();
		std::vector<std::string> listed;
		for (const UnknownCode& code : paper.Unknown())
			listed.push_back(code.bytes);
		EXPECT_EQ(listed, unknown) << model;
		for (const UnknownCode& code : paper.Unknown())
			EXPECT_EQ(stream.substr(static_cast<size_t>(code.offset), code.bytes.size()),
			          code.bytes)
			    << model;
		EXPECT_EQ(paper.Sheets(), 1);
	}
}

// All Raw Data passes the file's tabs and backspaces to the printer, which
// has a stop every eight columns; the text lands in the columns they give.
TEST(PreviewPlainText, TabsAndBackspacesOfARawFile)
{
	ScratchDir directory;
	directory.Write("tabs.txt", "a\tb\r\nabcdefgh\tx\r\n\t\tdeep\r\nab\b\bXY\r\n");
	RunResult result = run_quillon(directory, "menu MPrw\nmenu MPpf\nmenu MMfx\nmenu MCbd\ndrop tabs.txt\n");
	ASSERT_TRUE(result.exited && result.exitCode == 0) << result.Describe();
	std::string stream = directory.Read("PrintFile");
	std::vector<ReadSheet> sheets = Read(kPlainText, stream, stream.size());
	ASSERT_EQ(sheets.size(), 1u);
	std::vector<std::string> lines;
	for (const std::u32string& line : sheets[0].lines)
		lines.push_back(Utf8(line));
	// The backspaced line is struck twice: the later run lies over the first.
	EXPECT_EQ(lines, (std::vector<std::string>{"a       b", "abcdefgh        x",
	                                           "                deep", "abXY"}));
	const PaperRun& over = sheets[0].runs.back();
	EXPECT_EQ(over.x, U / 4);
	EXPECT_EQ(Utf8(over.text), "XY");
}
