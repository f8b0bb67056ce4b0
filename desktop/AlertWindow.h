// An alert on the desktop: its own window, and the answer the thread that
// shows it waits for.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Return_Button.H>
#include <FL/fl_draw.H>

#include <SupportDefs.h>

// The user's answer to one alert, waited for by the thread that shows it.
struct AlertAnswer {
	std::mutex lock;
	std::condition_variable answered;
	int32 index = 0;
	bool done = false;

	void Give(int32 choice)
	{
		std::lock_guard<std::mutex> guard(lock);
		if (done)
			return;
		index = choice;
		done = true;
		answered.notify_all();
	}
};

// An alert: its text above, its buttons in a row at the bottom right, the
// last one the default. It stays up until a button is chosen.
class AlertWindow : public Fl_Double_Window {
public:
	AlertWindow(const std::string& title, const std::string& text,
		const std::vector<std::string>& buttons, std::shared_ptr<AlertAnswer> answer)
		:
		Fl_Double_Window(kWidth, 100),
		fTitle(title),
		fText(text),
		fButtonLabels(buttons),
		fAnswer(answer)
	{
		label(fTitle.c_str());
		fl_font(FL_HELVETICA, 12);
		int textWidth = kWidth - 2 * kMargin;
		int textHeight = 0;
		fl_measure(fText.c_str(), textWidth, textHeight, 0);
		textHeight = std::max(textHeight, 20);
		size(kWidth, kMargin + textHeight + kMargin + kButtonHeight + kMargin);

		Fl_Box* box = new Fl_Box(kMargin, kMargin, kWidth - 2 * kMargin, textHeight);
		box->label(fText.c_str());
		box->labelsize(12);
		box->align(FL_ALIGN_INSIDE | FL_ALIGN_LEFT | FL_ALIGN_TOP | FL_ALIGN_WRAP);

		int right = kWidth - kMargin;
		int top = h() - kMargin - kButtonHeight;
		for (size_t index = fButtonLabels.size(); index-- > 0;) {
			int labelWidth = 0;
			int labelHeight = 0;
			fl_measure(fButtonLabels[index].c_str(), labelWidth, labelHeight, 0);
			int width = std::max(75, labelWidth + 24);
			Fl_Button* button;
			if (index + 1 == fButtonLabels.size())
				button = new Fl_Return_Button(right - width, top, width, kButtonHeight);
			else
				button = new Fl_Button(right - width, top, width, kButtonHeight);
			button->label(fButtonLabels[index].c_str());
			button->labelsize(12);
			button->callback(&AlertWindow::_Chosen, reinterpret_cast<void*>(static_cast<intptr_t>(index)));
			right -= width + 8;
		}
		end();
		// Across the middle of the screen, a little above its centre.
		position((Fl::w() - w()) / 2, (Fl::h() - h()) / 3);
		set_modal();
		callback(&AlertWindow::_CloseBox);
	}

	const std::shared_ptr<AlertAnswer>& Answer() const { return fAnswer; }

private:
	static const int kWidth = 420;
	static const int kMargin = 14;
	static const int kButtonHeight = 26;

	// Only a button answers an alert.
	static void _CloseBox(Fl_Widget*, void*) {}

	static void _Chosen(Fl_Widget* button, void* data)
	{
		AlertWindow* window = static_cast<AlertWindow*>(button->window());
		window->fAnswer->Give(static_cast<int32>(reinterpret_cast<intptr_t>(data)));
		window->hide();
		Fl::delete_widget(window);
	}

	std::string fTitle;
	std::string fText;
	std::vector<std::string> fButtonLabels;
	std::shared_ptr<AlertAnswer> fAnswer;
};
