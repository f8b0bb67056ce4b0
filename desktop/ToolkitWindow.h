// A window of the kit on the desktop: its menu bar, built from a copy of the
// window's menus, and the canvas that shows what its views drew. Made, used
// and deleted on the toolkit's thread only.
#pragma once

#include <cctype>
#include <deque>
#include <string>
#include <vector>

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Menu_Bar.H>
#include <FL/Fl_Widget.H>
#include <FL/fl_draw.H>

#include <AppDefs.h>
#include <Application.h>
#include <Font.h>
#include <KitPrivate.h>
#include <Menu.h>
#include <MenuItem.h>
#include <PlatformBackend.h>
#include <Window.h>

#include "DroppedPaths.h"

// The height of a window's menu bar; its views start below it.
const int kMenuBarHeight = 19;

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

inline void
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

inline Fl_Font
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

// The area of a window below its menu bar, where its views' drawing is
// shown.
class Canvas : public Fl_Widget {
public:
	Canvas(int x, int y, int width, int height) : Fl_Widget(x, y, width, height) {}

	// What the views drew last, to be shown from now on.
	void Show(const DisplayList& drawn)
	{
		fDrawn = drawn;
		redraw();
	}

	void draw()
	{
		fl_push_clip(x(), y(), w(), h());
		fl_color(FL_WHITE);
		fl_rectf(x(), y(), w(), h());
		for (const DrawnString& item : fDrawn) {
			int left = static_cast<int>(item.rect.left);
			int top = static_cast<int>(item.rect.top);
			int width = static_cast<int>(item.rect.Width()) + 1;
			int height = static_cast<int>(item.rect.Height()) + 1;
			switch (item.shape) {
				case B_DRAWN_STROKED_RECT:
					fl_color(FL_DARK3);
					fl_rect(left, top, width, height);
					break;
				case B_DRAWN_FILLED_RECT:
					// The blue of a bar that fills as the work goes on.
					fl_color(fl_rgb_color(50, 150, 255));
					fl_rectf(left, top, width, height);
					break;
				case B_DRAWN_STRING:
					fl_color(FL_BLACK);
					fl_font(ToolkitFont(item.kind), static_cast<Fl_Fontsize>(item.size));
					fl_draw(item.text.c_str(), static_cast<int>(item.inWindow.x),
						static_cast<int>(item.inWindow.y));
					break;
			}
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
					KitPrivate::PostRefs(be_app, paths);
				return 1;
			}
			default:
				return Fl_Widget::handle(event);
		}
	}

private:
	DisplayList fDrawn;
};

class ToolkitWindow : public Fl_Double_Window {
public:
	ToolkitWindow(BWindow* window, const std::vector<MenuEntry>& menu)
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
		fCanvas = new Canvas(0, top, w(), h() - top);
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
