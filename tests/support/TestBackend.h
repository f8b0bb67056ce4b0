// A headless backend of the tests' own: it answers each alert at once, on the
// thread that shows it, and counts the window Shows and the panels the kit
// asks of it.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>

#include <Alert.h>
#include <HeadlessBackend.h>

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

	virtual void ShowPanel(BFilePanel* panel)
	{
		fPanelsShown++;
		HeadlessBackend::ShowPanel(panel);
	}

private:
	std::mutex fAnswererLock;
	Answerer fAnswerer;
	std::atomic<int32> fWindowShows{ 0 };
	std::atomic<int32> fPanelsShown{ 0 };
};
