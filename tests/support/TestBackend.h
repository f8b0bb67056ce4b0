// A headless backend of the tests' own: it answers each alert at once, on the
// thread that shows it, and counts the window Shows and the panels the kit
// asks of it.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <vector>

#include <Alert.h>
#include <HeadlessBackend.h>
#include <StatusBar.h>

class TestBackend : public HeadlessBackend {
public:
	typedef std::function<int32(const AlertRecord& alert)> Answerer;

	// With no answerer, an alert waits for Answer() as the scripted user's do.
	void SetAnswerer(Answerer answerer)
	{
		std::lock_guard<std::mutex> lock(fAnswererLock);
		fAnswerer = answerer;
	}

	int32 WindowShows() const { return fWindowShows.load(); }
	int32 PanelsShown() const { return fPanelsShown.load(); }
	// The panel shown last; NULL before any.
	BFilePanel* LastPanel() const { return fLastPanel.load(); }

	virtual int32 RunAlert(BAlert* alert)
	{
		Answerer answerer;
		{
			std::lock_guard<std::mutex> lock(fAnswererLock);
			answerer = fAnswerer;
		}
		if (!answerer)
			return HeadlessBackend::RunAlert(alert);
		// Answered here, the alert is read as the user would see it; it
		// gives no event line.
		AlertRecord record;
		record.title = alert->Title();
		record.text = alert->Text();
		for (int32 i = 0; i < alert->CountButtons(); i++)
			record.buttons.push_back(alert->ButtonLabel(i));
		return answerer(record);
	}

	virtual void WindowShown(BWindow* window)
	{
		fWindowShows++;
		HeadlessBackend::WindowShown(window);
	}

	// What the status bar drew last (its strings and its bar's outline), as
	// the backend was handed it.
	std::vector<DrawnString> StatusBarDrawing()
	{
		std::lock_guard<std::mutex> lock(fDrawnLock);
		return fStatusBarStrings;
	}

	virtual void PresentWindow(BWindow* window, const DisplayList& drawn)
	{
		std::vector<DrawnString> strings;
		for (const DrawnString& item : drawn) {
			if (item.shape != B_DRAWN_FILLED_RECT && dynamic_cast<const BStatusBar*>(item.view) != NULL) {
				strings.push_back(item);
				strings.back().view = NULL;
			}
		}
		if (!strings.empty()) {
			std::lock_guard<std::mutex> lock(fDrawnLock);
			fStatusBarStrings = strings;
		}
		HeadlessBackend::PresentWindow(window, drawn);
	}

	virtual void ShowPanel(BFilePanel* panel)
	{
		fPanelsShown++;
		fLastPanel = panel;
		HeadlessBackend::ShowPanel(panel);
	}

private:
	std::mutex fDrawnLock;
	std::vector<DrawnString> fStatusBarStrings;
	std::mutex fAnswererLock;
	Answerer fAnswerer;
	std::atomic<int32> fWindowShows{ 0 };
	std::atomic<int32> fPanelsShown{ 0 };
	std::atomic<BFilePanel*> fLastPanel{ NULL };
};
