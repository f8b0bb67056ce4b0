// Preview, of the Setup menu, driven by a script: the sheets shown are the
// ones the job's own bytes make, a page at a time; Print from the preview is
// an ordinary job; and a preview leaves the next job's bytes as they were.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "MenuModel.h"
#include "QuillonRun.h"

namespace {

// 150 numbered lines: three sheets at the start-up settings.
std::string
listing()
{
	std::string text;
	for (int line = 1; line <= 150; line++)
		text += "Line " + std::to_string(line) + " of the listing\n";
	return text;
}

std::vector<std::string>
lines_of(const std::string& text)
{
	std::vector<std::string> lines;
	size_t start = 0;
	for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
		lines.push_back(text.substr(start, end - start));
	return lines;
}

// One `draw` of the preview: the heading's words, and the sheet's lines
// below it in the order drawn.
struct DrawnPage {
	std::vector<std::string> heading;
	std::vector<std::string> lines;
};

// The draws of the preview, split where each begins with its page count.
std::vector<DrawnPage>
drawn_pages(const std::vector<std::string>& texts)
{
	std::vector<DrawnPage> pages;
	for (const std::string& event : texts) {
		std::vector<std::string> fields = split_event(event);
		if (fields.size() != 4)
			continue;
		bool heading = std::stof(fields[2]) < 19.0f;
		if (heading && fields[3].rfind("Page ", 0) == 0)
			pages.emplace_back();
		if (pages.empty())
			continue;
		(heading ? pages.back().heading : pages.back().lines).push_back(fields[3]);
	}
	return pages;
}

// The bytes a plain drop of the file prints after the given choices.
std::string
dropped(const std::string& choices, const std::string& name, const std::string& text)
{
	ScratchDir directory;
	directory.Write(name, text);
	RunResult result = run_quillon(directory, choices + "drop " + name + "\n");
	EXPECT_EQ(result.exitCode, 0) << result.Describe();
	return directory.Read("parallel1.out");
}

TEST(Preview, ShowsEachSheetOfTheJobAndPrintsItAsADrop)
{
	ScratchDir directory;
	const std::string text = listing();
	directory.Write("listing.txt", text);
	RunResult result = run_quillon(directory,
		"menu Preview\nselect listing.txt\ndraw\n"
		"menu \"Next Page\"\ndraw\n"
		"menu \"Next Page\"\nmenu \"Next Page\"\ndraw\n"
		"menu \"Previous Page\"\ndraw\n"
		"key \"\\x0C\"\ndraw\n"
		"menu Print\nmenu Close\ndraw\n");
	ASSERT_EQ(result.exitCode, 0) << result.Describe();
	EXPECT_TRUE(result.Events("error").empty()) << result.Describe();

	// The last draw is the main window's, once the preview is closed.
	std::vector<std::string> view = text_events(startup_view_lines());
	std::vector<std::string> texts = result.Events("text");
	ASSERT_GE(texts.size(), view.size());
	std::vector<std::string> last(texts.end() - static_cast<long>(view.size()), texts.end());
	EXPECT_EQ(last, view);
	texts.resize(texts.size() - view.size());

	std::vector<DrawnPage> pages = drawn_pages(texts);
	ASSERT_EQ(pages.size(), 5u) << result.Describe();
	const char* const kShown[] = { "Page 1 of 3", "Page 2 of 3", "Page 3 of 3", "Page 2 of 3", "Page 3 of 3" };
	for (size_t i = 0; i < pages.size(); i++) {
		EXPECT_EQ(pages[i].heading, (std::vector<std::string>{ kShown[i], "No unknown codes" })) << i;
		EXPECT_FALSE(pages[i].lines.empty()) << kShown[i];
	}
	// The three sheets hold the file's lines in order, each line once; a
	// page turned past the last stays there, and Page Down turns as Next
	// Page does.
	std::vector<std::string> shown;
	for (size_t i = 0; i < 3; i++)
		shown.insert(shown.end(), pages[i].lines.begin(), pages[i].lines.end());
	EXPECT_EQ(shown, lines_of(text));
	EXPECT_EQ(pages[3].lines, pages[1].lines);
	EXPECT_EQ(pages[4].lines, pages[2].lines);

	// Print sent what a drop sends; nothing went to the port before it.
	EXPECT_EQ(directory.Read("parallel1.out"), dropped("", "listing.txt", text));
}

// The job after a preview sends the bytes it sends without one, whichever
// model and settings the preview was made with.
TEST(Preview, LeavesTheNextJobAsItWas)
{
	const std::string text = listing() + "\ttabbed\ttext\fafter a form feed\n";
	for (const char* choices : { "", "menu \"HP Deskjet Series\"\nmenu \"Compressed Text (12 CPI)\"\n",
			 "menu \"IBM Proprinter\"\nmenu \"Letter Quality\"\n" }) {
		ScratchDir directory;
		directory.Write("listing.txt", text);
		RunResult result = run_quillon(directory,
			std::string(choices) + "menu Preview\nselect listing.txt\nmenu Close\ndrop listing.txt\n");
		ASSERT_EQ(result.exitCode, 0) << result.Describe();
		EXPECT_EQ(result.Events("alert").size(), 0u) << choices << result.Describe();
		std::string expected = dropped(choices, "listing.txt", text);
		ASSERT_FALSE(expected.empty());
		EXPECT_EQ(directory.Read("parallel1.out"), expected) << choices;
	}
}

}  // namespace
