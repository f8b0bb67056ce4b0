#include "DesktopBackend.h"

#include <cstdlib>
#include <string>

#include <png.h>
#include <unistd.h>

#include <FL/Fl.H>
#include <FL/Fl_File_Chooser.H>
#include <FL/Fl_RGB_Image.H>
#include <X11/Xlib.h>

#include <Alert.h>
#include <FilePanel.h>
#include <KitPrivate.h>
#include <MenuBar.h>
#include <Window.h>

#include "AlertWindow.h"
#include "ToolkitWindow.h"

namespace {

// The program's icon at 48 px, as PNG bytes: kWindowIconPng.
#include "WindowIcon.inc"

// How often an open file panel is looked at for the user's choice.
const double kPanelPollSeconds = 0.1;

// Every window, alerts and panels included, carries the program's icon, so
// that the task bar shows it. The toolkit keeps its own copy of the pixels.
void
SetWindowIcon()
{
	png_image image = {};
	image.version = PNG_IMAGE_VERSION;
	if (!png_image_begin_read_from_memory(&image, kWindowIconPng, sizeof(kWindowIconPng)))
		return;
	image.format = PNG_FORMAT_RGBA;
	std::vector<uchar> pixels(PNG_IMAGE_SIZE(image));
	if (!png_image_finish_read(&image, NULL, pixels.data(), 0, NULL))
		return;
	Fl_RGB_Image icon(pixels.data(), static_cast<int>(image.width), static_cast<int>(image.height), 4);
	Fl_Window::default_icon(&icon);
}

}  // namespace

DesktopBackend::DesktopBackend()
	:
	fToolkit(SetWindowIcon, [this] { _ToolkitEnded(); })
{
}

DesktopBackend::~DesktopBackend()
{
	fToolkit.Stop();
}

// On the toolkit's thread as it ends: every alert still up is answered with
// its first button, and what the toolkit shows is let go.
void
DesktopBackend::_ToolkitEnded()
{
	for (const std::shared_ptr<AlertAnswer>& answer : fAlerts)
		answer->Give(0);
	fAlerts.clear();
	for (Panel& panel : fPanels)
		delete panel.chooser;
	fPanels.clear();
	for (auto& window : fWindows)
		delete window.second;
	fWindows.clear();
}

bool
DesktopBackend::DisplayAvailable()
{
	Display* display = XOpenDisplay(NULL);
	if (display == NULL)
		return false;
	XCloseDisplay(display);
	return true;
}

void
DesktopBackend::ApplicationStarted(BApplication*)
{
	fToolkit.Start();
}

void
DesktopBackend::ApplicationEnded(BApplication*, bool)
{
	fToolkit.Stop();
}

int32
DesktopBackend::RunAlert(BAlert* alert)
{
	std::string title = alert->Title();
	std::string text = alert->Text();
	std::vector<std::string> buttons;
	for (int32 i = 0; i < alert->CountButtons(); i++)
		buttons.push_back(alert->ButtonLabel(i));

	auto answer = std::make_shared<AlertAnswer>();
	bool posted = fToolkit.Post([this, title, text, buttons, answer] {
		fAlerts.push_back(answer);
		AlertWindow* window = new AlertWindow(title, text, buttons, answer);
		window->show();
	});
	if (!posted)
		return 0;
	std::unique_lock<std::mutex> lock(answer->lock);
	answer->answered.wait(lock, [&answer] { return answer->done; });
	int32 index = answer->index;
	lock.unlock();
	fToolkit.Post([this, answer] {
		fAlerts.erase(std::remove(fAlerts.begin(), fAlerts.end(), answer),
			fAlerts.end());
	});
	return index;
}

void
DesktopBackend::ShowPanel(BFilePanel* panel)
{
	std::string directory = panel->Directory();
	if (directory.empty()) {
		char current[4096];
		if (getcwd(current, sizeof(current)) != NULL)
			directory = current;
		else if (const char* home = getenv("HOME"))
			directory = home;
	}
	int type = panel->AllowsMultipleSelection() ? Fl_File_Chooser::MULTI : Fl_File_Chooser::SINGLE;
	fToolkit.Post([this, panel, directory, type] {
		Fl_File_Chooser* chooser = new Fl_File_Chooser(directory.c_str(), "*", type, "Quillon: Open");
		chooser->preview(0);
		// The toolkit's chooser holds back every other window (its window
		// is reached through one of its buttons); a panel here
		// leaves the program free while it is up.
		chooser->newButton->window()->clear_modal_states();
		chooser->show();
		if (fPanels.empty())
			Fl::add_timeout(kPanelPollSeconds, &DesktopBackend::_PollPanels, this);
		fPanels.push_back({ panel, chooser });
	});
}

void
DesktopBackend::HidePanel(BFilePanel* panel)
{
	fToolkit.Call([this, panel] {
		for (auto open = fPanels.begin(); open != fPanels.end(); ++open) {
			if (open->panel != panel)
				continue;
			delete open->chooser;
			fPanels.erase(open);
			return;
		}
	});
}

void
DesktopBackend::WindowShown(BWindow* window)
{
	std::vector<MenuEntry> menu;
	if (BMenuBar* bar = window->KeyMenuBar())
		CopyMenu(bar, menu);
	fToolkit.Post([this, window, menu] {
		// Shown again: it is on the screen already, and stays where it is.
		ToolkitWindow*& shown = fWindows[window];
		if (shown != NULL)
			return;
		shown = new ToolkitWindow(window, menu);
		shown->show();
	});
}

// A closed window leaves the screen at once, even while the application is
// still busy (a job to a slow printer) and deletes it only later.
void
DesktopBackend::WindowClosed(BWindow* window)
{
	fToolkit.Call([this, window] {
		auto shown = fWindows.find(window);
		if (shown == fWindows.end())
			return;
		shown->second->hide();
		delete shown->second;
		fWindows.erase(shown);
	});
}

void
DesktopBackend::PresentWindow(BWindow* window, const DisplayList& drawn)
{
	fToolkit.Post([this, window, drawn] {
		auto shown = fWindows.find(window);
		if (shown != fWindows.end())
			shown->second->GetCanvas()->Show(drawn);
	});
}

// A panel that the user has closed gives its files, or its cancel, to the
// kit. An open panel is looked at again a moment later.
void
DesktopBackend::_PollPanels(void* data)
{
	DesktopBackend* self = static_cast<DesktopBackend*>(data);
	std::vector<Panel> closed;
	for (auto panel = self->fPanels.begin(); panel != self->fPanels.end();) {
		if (panel->chooser->shown()) {
			++panel;
			continue;
		}
		closed.push_back(*panel);
		panel = self->fPanels.erase(panel);
	}
	for (Panel& panel : closed) {
		std::vector<std::string> paths;
		for (int i = 1; i <= panel.chooser->count(); i++) {
			const char* path = panel.chooser->value(i);
			if (path != NULL && path[0] != '\0')
				paths.push_back(path);
		}
		delete panel.chooser;
		if (paths.empty())
			KitPrivate::CancelPanel(panel.panel);
		else
			KitPrivate::ConfirmPanel(panel.panel, paths);
	}
	if (!self->fPanels.empty())
		Fl::repeat_timeout(kPanelPollSeconds, &DesktopBackend::_PollPanels, self);
}
