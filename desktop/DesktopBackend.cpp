#include "DesktopBackend.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include <png.h>
#include <unistd.h>

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_File_Chooser.H>
#include <FL/Fl_Menu_Bar.H>
#include <FL/Fl_RGB_Image.H>
#include <FL/Fl_Return_Button.H>
#include <FL/Fl_Widget.H>
#include <FL/fl_draw.H>
#include <FL/x.H>
#include <X11/Xlib.h>

#include <Alert.h>
#include <AppDefs.h>
#include <Application.h>
#include <FilePanel.h>
#include <Font.h>
#include <Menu.h>
#include <MenuBar.h>
#include <MenuItem.h>
#include <View.h>
#include <Window.h>

namespace {

// The program's icon at 48 px, as PNG bytes: kWindowIconPng.
#include "WindowIcon.inc"

// The height of a window's menu bar; its views start below it.
const int kMenuBarHeight = 19;
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

Fl_Font
ToolkitFont(int32 kind)
{
	switch (kind) {
		case B_BOLD_FONT_KIND:
			return FL_HELVETICA_BOLD;
		case B_FIXED_FONT_KIND:
			return FL_COURIER;
		default:
			return FL_HELVETICA;
	}
}

// Where a point of a view lies in its window.
BPoint
WindowPoint(BView* view, BPoint point)
{
	for (BView* ancestor = view; ancestor != NULL; ancestor = ancestor->Parent()) {
		point.x += ancestor->Frame().left;
		point.y += ancestor->Frame().top;
	}
	return point;
}

// The menu structure of a window, copied on the thread that shows it, so the
// toolkit's thread never walks the kit's menus.
struct MenuEntry {
	std::string label;
	BMenuItem* item;  // NULL for a submenu's title and for its end
	char shortcut;
	bool submenu;
	bool end;
	bool dividerAfter;
};

void
CopyMenu(const BMenu* menu, std::vector<MenuEntry>& entries)
{
	for (int32 i = 0; i < menu->CountItems(); i++) {
		BMenuItem* item = menu->ItemAt(i);
		if (item->IsSeparator()) {
			if (!entries.empty())
				entries.back().dividerAfter = true;
			continue;
		}
		if (BMenu* submenu = item->Submenu()) {
			entries.push_back({ submenu->Title(), NULL, 0, true, false, false });
			CopyMenu(submenu, entries);
			entries.push_back({ "", NULL, 0, false, true, false });
			continue;
		}
		entries.push_back({ item->Label(), item, item->Shortcut(), false, false, false });
	}
}

}  // namespace

std::vector<std::string>
DroppedPaths(const std::string& all)
{
	std::vector<std::string> paths;
	size_t start = 0;
	while (start < all.size()) {
		size_t end = all.find('\n', start);
		if (end == std::string::npos)
			end = all.size();
		std::string line = all.substr(start, end - start);
		start = end + 1;
		while (!line.empty() && (line.back() == '\r' || line.back() == '\0'))
			line.pop_back();
		if (line.empty() || line[0] == '#')
			continue;
		if (line.compare(0, 7, "file://") == 0) {
			line.erase(0, 7);
			// "file://host/path": the path starts at the first slash.
			size_t slash = line.find('/');
			if (slash == std::string::npos)
				continue;
			line.erase(0, slash);
		} else if (line[0] != '/')
			continue;
		std::string path;
		for (size_t i = 0; i < line.size(); i++) {
			if (line[i] == '%' && i + 2 < line.size() && isxdigit(static_cast<unsigned char>(line[i + 1]))
				&& isxdigit(static_cast<unsigned char>(line[i + 2]))) {
				path += static_cast<char>(std::stoi(line.substr(i + 1, 2), NULL, 16));
				i += 2;
			} else
				path += line[i];
		}
		paths.push_back(path);
	}
	return paths;
}

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

class DesktopBackend::Private {
public:
	class Canvas;
	class ToolkitWindow;
	class AlertWindow;
	struct Panel {
		BFilePanel* panel;
		Fl_File_Chooser* chooser;
	};

	Private()
		:
		fStopping(false),
		fRunning(false)
	{
	}

	void Start();
	void Stop();
	void Loop();

	bool OnToolkit() const { return std::this_thread::get_id() == fToolkitThread; }
	bool Post(std::function<void()> task);
	bool Call(const std::function<void()>& task);
	static void RunTasks(void* data);

	static void PollPanels(void* data);

	// The toolkit's side: used on its thread only.
	std::map<BWindow*, ToolkitWindow*> fWindows;
	std::vector<Panel> fPanels;
	std::vector<std::shared_ptr<AlertAnswer>> fAlerts;

	// Drawings, handed from the windows' threads.
	mutable std::mutex fDrawLock;
	std::map<BWindow*, std::vector<DrawnString>> fDrawing;
	std::map<BWindow*, std::vector<DrawnString>> fShown;

	std::thread fThread;
	std::thread::id fToolkitThread;
	std::atomic<bool> fStopping;

	std::mutex fTaskLock;
	std::condition_variable fStarted;
	std::deque<std::function<void()>> fTasks;
	bool fRunning;
};

// The area of a window below its menu bar, where its views draw.
class DesktopBackend::Private::Canvas : public Fl_Widget {
public:
	Canvas(Private* owner, BWindow* window, int x, int y, int width, int height)
		:
		Fl_Widget(x, y, width, height),
		fOwner(owner),
		fWindow(window)
	{
	}

	void draw()
	{
		fl_push_clip(x(), y(), w(), h());
		fl_color(FL_WHITE);
		fl_rectf(x(), y(), w(), h());
		fl_color(FL_BLACK);
		std::vector<DrawnString> strings;
		{
			std::lock_guard<std::mutex> lock(fOwner->fDrawLock);
			auto shown = fOwner->fShown.find(fWindow);
			if (shown != fOwner->fShown.end())
				strings = shown->second;
		}
		for (const DrawnString& string : strings) {
			fl_font(ToolkitFont(string.kind), static_cast<Fl_Fontsize>(string.size));
			fl_draw(string.text.c_str(), static_cast<int>(string.x), static_cast<int>(string.y));
		}
		fl_pop_clip();
	}

	// Files dropped from a file manager reach the application as one refs
	// message, as when they are dropped on it.
	int handle(int event)
	{
		switch (event) {
			case FL_DND_ENTER:
			case FL_DND_DRAG:
			case FL_DND_RELEASE:
				return 1;
			case FL_PASTE: {
				const char* text = Fl::event_text();
				std::vector<std::string> paths = DroppedPaths(text != NULL
					? std::string(text, static_cast<size_t>(Fl::event_length())) : std::string());
				if (!paths.empty() && be_app != NULL)
					be_app->_PostRefs(paths);
				return 1;
			}
			default:
				return Fl_Widget::handle(event);
		}
	}

private:
	Private* fOwner;
	BWindow* fWindow;
};

class DesktopBackend::Private::ToolkitWindow : public Fl_Double_Window {
public:
	ToolkitWindow(Private* owner, BWindow* window, const std::vector<MenuEntry>& menu)
		:
		Fl_Double_Window(static_cast<int>(window->Frame().left), static_cast<int>(window->Frame().top),
			static_cast<int>(window->Frame().Width()) + 1, static_cast<int>(window->Frame().Height()) + 1),
		fWindow(window),
		fTitle(window->Title()),
		fMenuBar(NULL)
	{
		label(fTitle.c_str());
		// The class desktops match with the program's desktop entry.
		xclass("quillon");
		int top = 0;
		if (!menu.empty()) {
			fMenuBar = new Fl_Menu_Bar(0, 0, w(), kMenuBarHeight);
			fMenuBar->textsize(12);
			fMenuBar->box(FL_THIN_UP_BOX);
			_BuildMenu(menu);
			top = kMenuBarHeight;
		}
		fCanvas = new Canvas(owner, window, 0, top, w(), h() - top);
		end();
		if ((window->Flags() & B_NOT_RESIZABLE) != 0)
			size_range(w(), h(), w(), h());
		else
			resizable(fCanvas);
		callback(&ToolkitWindow::_CloseBox, this);
	}

	Canvas* GetCanvas() const { return fCanvas; }
	Fl_Menu_Bar* MenuBar() const { return fMenuBar; }

private:
	void _BuildMenu(const std::vector<MenuEntry>& menu)
	{
		for (const MenuEntry& entry : menu)
			fLabels.push_back(entry.label);
		auto label = fLabels.begin();
		for (const MenuEntry& entry : menu) {
			Fl_Menu_Item item = {};
			if (!entry.end) {
				item.text = label->c_str();
				if (entry.shortcut != 0)
					item.shortcut_ = FL_COMMAND | tolower(static_cast<unsigned char>(entry.shortcut));
				if (entry.submenu)
					item.flags = FL_SUBMENU;
				else {
					item.callback_ = &ToolkitWindow::_ItemChosen;
					item.user_data_ = entry.item;
				}
				if (entry.dividerAfter)
					item.flags |= FL_MENU_DIVIDER;
			}
			fItems.push_back(item);
			++label;
		}
		fItems.push_back(Fl_Menu_Item{});
		fMenuBar->menu(fItems.data());
	}

	static void _ItemChosen(Fl_Widget*, void* data)
	{
		static_cast<BMenuItem*>(data)->Invoke();
	}

	static void _CloseBox(Fl_Widget*, void* data)
	{
		// Escape is a key like any other here, not a way to close the window.
		if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape)
			return;
		static_cast<ToolkitWindow*>(data)->fWindow->PostMessage(B_QUIT_REQUESTED);
	}

	BWindow* fWindow;
	std::string fTitle;
	Fl_Menu_Bar* fMenuBar;
	Canvas* fCanvas;
	std::deque<std::string> fLabels;
	std::vector<Fl_Menu_Item> fItems;
};

// An alert: its text above, its buttons in a row at the bottom right, the
// last one the default. It stays up until a button is chosen.
class DesktopBackend::Private::AlertWindow : public Fl_Double_Window {
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

void
DesktopBackend::Private::Start()
{
	std::unique_lock<std::mutex> lock(fTaskLock);
	if (fRunning || fThread.joinable())
		return;
	fStopping = false;
	fThread = std::thread([this] { Loop(); });
	fStarted.wait(lock, [this] { return fRunning; });
}

void
DesktopBackend::Private::Loop()
{
	Fl::lock();
	fToolkitThread = std::this_thread::get_id();
	fl_open_display();
	Fl::scheme("gtk+");
	SetWindowIcon();
	{
		std::lock_guard<std::mutex> lock(fTaskLock);
		fRunning = true;
	}
	fStarted.notify_all();

	while (!fStopping.load())
		Fl::wait(0.5);

	// Whatever was handed over before the end still runs, then nothing more
	// is taken.
	RunTasks(this);
	{
		std::lock_guard<std::mutex> lock(fTaskLock);
		fRunning = false;
	}
	RunTasks(this);

	for (const std::shared_ptr<AlertAnswer>& answer : fAlerts)
		answer->Give(0);
	fAlerts.clear();
	for (Panel& panel : fPanels)
		delete panel.chooser;
	fPanels.clear();
	for (auto& window : fWindows)
		delete window.second;
	fWindows.clear();
	while (Fl::first_window() != NULL)
		Fl::first_window()->hide();
	Fl::flush();
	Fl::unlock();
}

void
DesktopBackend::Private::Stop()
{
	if (!fThread.joinable())
		return;
	fStopping = true;
	Fl::awake(static_cast<void*>(NULL));
	if (OnToolkit())
		return;
	fThread.join();
}

bool
DesktopBackend::Private::Post(std::function<void()> task)
{
	{
		std::lock_guard<std::mutex> lock(fTaskLock);
		if (!fRunning)
			return false;
		fTasks.push_back(std::move(task));
	}
	// A full wake-up ring loses nothing: the tasks wait in our own queue and
	// any earlier wake-up runs them all.
	Fl::awake(&Private::RunTasks, this);
	return true;
}

bool
DesktopBackend::Private::Call(const std::function<void()>& task)
{
	if (OnToolkit()) {
		task();
		return true;
	}
	struct Done {
		std::mutex lock;
		std::condition_variable signal;
		bool done = false;
	};
	auto done = std::make_shared<Done>();
	bool posted = Post([task, done] {
		task();
		std::lock_guard<std::mutex> lock(done->lock);
		done->done = true;
		done->signal.notify_all();
	});
	if (!posted)
		return false;
	std::unique_lock<std::mutex> lock(done->lock);
	done->signal.wait(lock, [&done] { return done->done; });
	return true;
}

void
DesktopBackend::Private::RunTasks(void* data)
{
	Private* self = static_cast<Private*>(data);
	for (;;) {
		std::function<void()> task;
		{
			std::lock_guard<std::mutex> lock(self->fTaskLock);
			if (self->fTasks.empty())
				return;
			task = std::move(self->fTasks.front());
			self->fTasks.pop_front();
		}
		task();
	}
}

// A panel that the user has closed gives its files, or its cancel, to the
// kit. An open panel is looked at again a moment later.
void
DesktopBackend::Private::PollPanels(void* data)
{
	Private* self = static_cast<Private*>(data);
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
			panel.panel->_Cancel();
		else
			panel.panel->_Confirm(paths);
	}
	if (!self->fPanels.empty())
		Fl::repeat_timeout(kPanelPollSeconds, &Private::PollPanels, self);
}

DesktopBackend::DesktopBackend()
	:
	fPrivate(new Private)
{
}

DesktopBackend::~DesktopBackend()
{
	fPrivate->Stop();
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
	fPrivate->Start();
}

void
DesktopBackend::ApplicationQuit(BApplication*)
{
	fPrivate->Stop();
}

void
DesktopBackend::ApplicationEnded(BApplication*)
{
	fPrivate->Stop();
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
	Private* self = fPrivate.get();
	bool posted = self->Post([self, title, text, buttons, answer] {
		self->fAlerts.push_back(answer);
		Private::AlertWindow* window = new Private::AlertWindow(title, text, buttons, answer);
		window->show();
	});
	if (!posted)
		return 0;
	std::unique_lock<std::mutex> lock(answer->lock);
	answer->answered.wait(lock, [&answer] { return answer->done; });
	int32 index = answer->index;
	lock.unlock();
	self->Post([self, answer] {
		self->fAlerts.erase(std::remove(self->fAlerts.begin(), self->fAlerts.end(), answer),
			self->fAlerts.end());
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
	Private* self = fPrivate.get();
	self->Post([self, panel, directory, type] {
		Fl_File_Chooser* chooser = new Fl_File_Chooser(directory.c_str(), "*", type, "Quillon: Open");
		chooser->preview(0);
		// The toolkit's chooser holds back every other window (its window
		// is reached through one of its buttons); a panel here
		// leaves the program free while it is up.
		chooser->newButton->window()->clear_modal_states();
		chooser->show();
		if (self->fPanels.empty())
			Fl::add_timeout(kPanelPollSeconds, &Private::PollPanels, self);
		self->fPanels.push_back({ panel, chooser });
	});
}

void
DesktopBackend::HidePanel(BFilePanel* panel)
{
	Private* self = fPrivate.get();
	self->Call([self, panel] {
		for (auto open = self->fPanels.begin(); open != self->fPanels.end(); ++open) {
			if (open->panel != panel)
				continue;
			delete open->chooser;
			self->fPanels.erase(open);
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
	Private* self = fPrivate.get();
	self->Post([self, window, menu] {
		Private::ToolkitWindow*& shown = self->fWindows[window];
		if (shown == NULL)
			shown = new Private::ToolkitWindow(self, window, menu);
		shown->show();
	});
	// The views draw as soon as the window's thread gets to it.
	window->PostMessage(kDrawViews);
}

// The views draw again after every message the window handles, so a changed
// setting shows at once.
void
DesktopBackend::WindowMessageHandled(BWindow* window)
{
	window->PostMessage(kDrawViews);
}

// A closed window leaves the screen at once, even while the application is
// still busy (a job to a slow printer) and deletes it only later.
void
DesktopBackend::WindowClosed(BWindow* window)
{
	Private* self = fPrivate.get();
	self->Post([self, window] {
		auto shown = self->fWindows.find(window);
		if (shown != self->fWindows.end())
			shown->second->hide();
	});
}

void
DesktopBackend::WindowGone(BWindow* window)
{
	Private* self = fPrivate.get();
	self->Call([self, window] {
		auto shown = self->fWindows.find(window);
		if (shown == self->fWindows.end())
			return;
		shown->second->hide();
		delete shown->second;
		self->fWindows.erase(shown);
	});
	std::lock_guard<std::mutex> lock(self->fDrawLock);
	self->fDrawing.erase(window);
	self->fShown.erase(window);
}

void
DesktopBackend::WindowInvalidated(BWindow* window)
{
	window->PostMessage(kDrawViews);
}

void
DesktopBackend::WindowDrawBegin(BWindow* window)
{
	std::lock_guard<std::mutex> lock(fPrivate->fDrawLock);
	fPrivate->fDrawing[window].clear();
}

void
DesktopBackend::DrawString(BView* view, BPoint where, const char* string, const BFont& font)
{
	BWindow* window = view->Window();
	if (window == NULL || string == NULL)
		return;
	BPoint point = WindowPoint(view, where);
	std::lock_guard<std::mutex> lock(fPrivate->fDrawLock);
	fPrivate->fDrawing[window].push_back(
		{ point.x, point.y, string, font.Size(), static_cast<int32>(font.Kind()) });
}

void
DesktopBackend::WindowDrawEnd(BWindow* window)
{
	Private* self = fPrivate.get();
	{
		std::lock_guard<std::mutex> lock(self->fDrawLock);
		self->fShown[window] = std::move(self->fDrawing[window]);
		self->fDrawing.erase(window);
	}
	self->Post([self, window] {
		auto shown = self->fWindows.find(window);
		if (shown != self->fWindows.end())
			shown->second->GetCanvas()->redraw();
	});
}

std::vector<DrawnString>
DesktopBackend::ShownStrings(BWindow* window) const
{
	std::lock_guard<std::mutex> lock(fPrivate->fDrawLock);
	auto shown = fPrivate->fShown.find(window);
	return shown != fPrivate->fShown.end() ? shown->second : std::vector<DrawnString>();
}

bool
DesktopBackend::RunOnToolkit(const std::function<void()>& task)
{
	return fPrivate->Call(task);
}
