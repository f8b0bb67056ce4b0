#include "PagePreview.h"

#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include <FilePanel.h>
#include <Message.h>

#include "Alerts.h"
#include "PreviewWindow.h"
#include "PrinterPaper.h"
#include "QuillonJob.h"
#include "SettingsStore.h"

namespace {

// The first few unknown codes are said on standard error, by their bytes and
// where they stand; the window says how many.
const size_t kUnknownToldAtMost = 10;

}  // namespace

BFilePanel*
new_preview_panel()
{
	// The panel keeps a copy of its message.
	BMessage message(kPreviewFiles);
	BFilePanel* panel = new BFilePanel(B_OPEN_PANEL, NULL, NULL, 0, true, &message);
	panel->Show();
	return panel;
}

void
preview_files(BMessage* refs, JobFileReader& reader)
{
	// The model the bytes are made for: the one selected as the job begins.
	std::string model;
	{
		std::lock_guard<std::mutex> lock(gStoreLock);
		model = PrintName != NULL ? PrintName : "";
	}
	std::string bytes;
	QuillonJob job(refs, reader, &bytes);
	job.Run();
	if (!job.Completed())
		return;

	paper_language language;
	if (!FindPaperLanguage(model, &language)) {
		std::string text = "There is no preview for the printer " + model + ".";
		RunAlert("Printer Alert", text.c_str(), "OK");
		return;
	}
	std::vector<PaperSheet> sheets;
	PrinterPaper paper(language, [&sheets](const PaperSheet& sheet) { sheets.push_back(sheet); });
	paper.Feed(bytes.data(), bytes.size());
	paper.Finish();
	const std::vector<UnknownCode>& unknown = paper.Unknown();
	for (size_t i = 0; i < unknown.size() && i < kUnknownToldAtMost; i++)
		fprintf(stderr, "quillon: preview: unknown code %s\n", DescribeUnknownCode(unknown[i]).c_str());

	PreviewWindow* window = new PreviewWindow(*refs, std::move(sheets), paper.UnknownCount());
	window->Show();
}
