#include "ToolkitWindow.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <mutex>

#ifdef GDK_WINDOWING_X11
#include <gdk/x11/gdkx.h>
#endif

#include <AppDefs.h>
#include <InterfaceDefs.h>
#include <Application.h>
#include <KitPrivate.h>
#include <Menu.h>
#include <MenuBar.h>
#include <MenuItem.h>
#include <View.h>
#include <Window.h>

#include "DroppedPaths.h"

namespace {

// The space kept between two strings on one line.
const float kStringGap = 4.0f;

std::string
MenuLabel(const std::string& label)
{
	// The menu bar takes an underscore for a mnemonic; the kit's labels have
	// none, so each is doubled and shows as itself.
	std::string escaped;
	for (char c : label) {
		if (c == '_')
			escaped += '_';
		escaped += c;
	}
	return escaped;
}

std::string
Accelerator(char shortcut)
{
	// The page keys are shortcuts by themselves.
	if (shortcut == B_PAGE_UP)
		return "Page_Up";
	if (shortcut == B_PAGE_DOWN)
		return "Page_Down";
	std::string accelerator = "<Control>";
	if (isalnum(static_cast<unsigned char>(shortcut)))
		accelerator += static_cast<char>(tolower(static_cast<unsigned char>(shortcut)));
	else if (const char* name = gdk_keyval_name(gdk_unicode_to_keyval(static_cast<unsigned char>(shortcut))))
		accelerator += name;  // "period" for '.'
	return accelerator;
}

// Whether two copies hold the same items in the same places; the marks
// may differ.
bool
SameItems(const MenuCopy& one, const MenuCopy& other)
{
	if (one.title != other.title || one.sections.size() != other.sections.size()
		|| one.submenus.size() != other.submenus.size())
		return false;
	for (size_t i = 0; i < one.sections.size(); i++) {
		if (one.sections[i].size() != other.sections[i].size())
			return false;
		for (size_t j = 0; j < one.sections[i].size(); j++) {
			const MenuItemCopy& a = one.sections[i][j];
			const MenuItemCopy& b = other.sections[i][j];
			if (a.label != b.label || a.item != b.item || a.shortcut != b.shortcut || a.submenu != b.submenu)
				return false;
		}
	}
	for (size_t i = 0; i < one.submenus.size(); i++) {
		if (!SameItems(one.submenus[i], other.submenus[i]))
			return false;
	}
	return true;
}

// The marks in the order the menu bar's items are made.
void
MarksOf(const MenuCopy& menu, std::vector<bool>& marks)
{
	for (const std::vector<MenuItemCopy>& section : menu.sections) {
		for (const MenuItemCopy& entry : section) {
			if (entry.submenu >= 0)
				MarksOf(menu.submenus[static_cast<size_t>(entry.submenu)], marks);
			else
				marks.push_back(entry.marked);
		}
	}
}

bool
HoldsItem(const BMenu* menu, const BMenuItem* wanted)
{
	for (int32 i = 0; menu != NULL && i < menu->CountItems(); i++) {
		BMenuItem* item = menu->ItemAt(i);
		if (item == wanted || HoldsItem(item->Submenu(), wanted))
			return true;
	}
	return false;
}

// Where a view's left top corner is in its window.
BPoint
ViewOrigin(const BView* view)
{
	BPoint origin(0.0f, 0.0f);
	for (const BView* at = view; at != NULL; at = at->Parent()) {
		origin.x += at->Frame().left;
		origin.y += at->Frame().top;
	}
	return origin;
}

}  // namespace

void
CopyMenu(const BMenu* menu, MenuCopy& copy)
{
	copy.title = menu->Title();
	copy.sections.emplace_back();
	for (int32 i = 0; i < menu->CountItems(); i++) {
		BMenuItem* item = menu->ItemAt(i);
		if (item->IsSeparator()) {
			if (!copy.sections.back().empty())
				copy.sections.emplace_back();
			continue;
		}
		if (BMenu* submenu = item->Submenu()) {
			copy.submenus.emplace_back();
			CopyMenu(submenu, copy.submenus.back());
			copy.sections.back().push_back(
				{ submenu->Title(), NULL, 0, false, static_cast<int>(copy.submenus.size()) - 1 });
			continue;
		}
		copy.sections.back().push_back({ item->Label(), item, item->Shortcut(), item->IsMarked(), -1 });
	}
	if (copy.sections.back().empty())
		copy.sections.pop_back();
}

// The kit lays a line's strings out with its own estimate of their widths;
// the real glyphs may be wider, so each string is held to the room up to the
// next string on its line and to the right edge of its view.
std::vector<PresentedItem>
Presented(const DisplayList& drawn)
{
	std::vector<PresentedItem> presented;
	presented.reserve(drawn.size());
	for (const DrawnString& item : drawn) {
		float room = -1.0f;
		if (item.shape == B_DRAWN_STRING && item.view != NULL) {
			BPoint origin = ViewOrigin(item.view);
			room = origin.x + item.view->Bounds().Width() + 1.0f - item.inWindow.x;
			for (const DrawnString& other : drawn) {
				if (&other == &item || other.shape != B_DRAWN_STRING || other.view != item.view
					|| other.inWindow.y != item.inWindow.y || other.inWindow.x <= item.inWindow.x)
					continue;
				room = std::min(room, other.inWindow.x - item.inWindow.x - kStringGap);
			}
			// A room the kit gave the string holds it too.
			if (item.width > 0.0f)
				room = std::min(room, item.width);
			room = std::max(room, 0.0f);
		}
		PresentedItem copy = { item, room };
		copy.drawn.view = NULL;
		presented.push_back(std::move(copy));
	}
	return presented;
}

// One kit item: the action the menu and the shortcuts run, and the marked
// one that shows a radio mark.
struct ToolkitWindow::Action {
	BWindow* window;
	BMenuItem* item;
	int index;
	int section;
	GSimpleAction* plain;
	GSimpleAction* marked;
};

// The items of one menu section.
struct ToolkitWindow::Group {
	std::vector<int> items;
	bool radio;
};

ToolkitWindow::ToolkitWindow(BWindow* window, const MenuCopy& menu, float menuHeight,
	std::function<void()> onClose)
	:
	fKitWindow(window),
	fWindow(GTK_WINDOW(gtk_window_new())),
	fArea(gtk_drawing_area_new()),
	fActions(g_simple_action_group_new()),
	fShortcuts(NULL),
	fBar(NULL),
	fBuildItem(0),
	fBuildGroup(0),
	fMenuHeight(menu.sections.empty() && menu.submenus.empty() ? 0.0f : menuHeight),
	fLeft(static_cast<int>(window->Frame().left)),
	fTop(static_cast<int>(window->Frame().top)),
	fOnClose(std::move(onClose))
{
	g_object_ref_sink(fWindow);
	gtk_window_set_title(fWindow, window->Title());
	int width = static_cast<int>(window->Frame().Width()) + 1;
	int height = static_cast<int>(window->Frame().Height()) + 1;
	bool fixed = (window->Flags() & B_NOT_RESIZABLE) != 0;
	gtk_window_set_resizable(fWindow, !fixed);
	gtk_window_set_default_size(fWindow, width, height);

	char* font = NULL;
	g_object_get(gtk_settings_get_default(), "gtk-font-name", &font, NULL);
	PangoFontDescription* description = pango_font_description_from_string(font != NULL ? font : "Sans");
	const char* family = pango_font_description_get_family(description);
	fUiFamily = family != NULL ? family : "Sans";
	pango_font_description_free(description);
	g_free(font);

	GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
	if (fMenuHeight > 0.0f) {
		fMenu = menu;
		fBuildItem = fBuildGroup = 0;
		GMenu* model = _BuildMenu(fMenu);
		fBar = gtk_popover_menu_bar_new_from_model(G_MENU_MODEL(model));
		g_object_unref(model);
		gtk_widget_add_css_class(fBar, "quillon");
		gtk_widget_set_size_request(fBar, width, static_cast<int>(fMenuHeight));
		gtk_box_append(GTK_BOX(box), fBar);
	}
	gtk_widget_insert_action_group(GTK_WIDGET(fWindow), "kit", G_ACTION_GROUP(fActions));
	gtk_drawing_area_set_content_width(GTK_DRAWING_AREA(fArea), width);
	gtk_drawing_area_set_content_height(GTK_DRAWING_AREA(fArea), height - static_cast<int>(fMenuHeight));
	gtk_widget_set_vexpand(fArea, TRUE);
	gtk_drawing_area_set_draw_func(GTK_DRAWING_AREA(fArea), &ToolkitWindow::_Draw, this, NULL);
	gtk_box_append(GTK_BOX(box), fArea);
	gtk_window_set_child(fWindow, box);

	// Files dropped from a file manager reach the application as one refs
	// message, as when they are dropped on it.
	GtkDropTarget* drop = gtk_drop_target_new(G_TYPE_INVALID, GDK_ACTION_COPY);
	GType types[] = { GDK_TYPE_FILE_LIST, G_TYPE_STRING };
	gtk_drop_target_set_gtypes(drop, types, G_N_ELEMENTS(types));
	g_signal_connect(drop, "drop", G_CALLBACK(&ToolkitWindow::_Dropped), this);
	gtk_widget_add_controller(GTK_WIDGET(fWindow), GTK_EVENT_CONTROLLER(drop));

	_AddShortcuts();

	g_signal_connect(fWindow, "close-request", G_CALLBACK(&ToolkitWindow::_CloseRequested), this);
	g_signal_connect(fWindow, "realize", G_CALLBACK(&ToolkitWindow::_Realized), this);
}

// The shortcuts of the items, wherever the focus is in the window.
void
ToolkitWindow::_AddShortcuts()
{
	fShortcuts = GTK_SHORTCUT_CONTROLLER(gtk_shortcut_controller_new());
	gtk_shortcut_controller_set_scope(fShortcuts, GTK_SHORTCUT_SCOPE_GLOBAL);
	gtk_widget_add_controller(GTK_WIDGET(fWindow), GTK_EVENT_CONTROLLER(fShortcuts));
	for (size_t i = 0; i < fItems.size(); i++) {
		char shortcut = fShortcutKeys[i];
		if (shortcut == 0)
			continue;
		std::string name = "kit.i" + std::to_string(fItems[i]->index);
		gtk_shortcut_controller_add_shortcut(fShortcuts,
			gtk_shortcut_new(gtk_shortcut_trigger_parse_string(Accelerator(shortcut).c_str()),
				gtk_named_action_new(name.c_str())));
	}
}

ToolkitWindow::~ToolkitWindow()
{
	if (fMenuTimer != 0)
		g_source_remove(fMenuTimer);
	gtk_window_destroy(fWindow);
	g_object_unref(fWindow);
	g_object_unref(fActions);
	for (Action* action : fItems) {
		g_object_unref(action->plain);
		g_object_unref(action->marked);
		delete action;
	}
	for (Group* group : fGroups)
		delete group;
}

// Builds the menu model over the items' actions, made at the first build.
// A section shows radio marks once one of its items is marked.
GMenu*
ToolkitWindow::_BuildMenu(const MenuCopy& menu)
{
	GMenu* model = g_menu_new();
	for (const std::vector<MenuItemCopy>& section : menu.sections) {
		GMenu* part = g_menu_new();
		size_t groupIndex = fBuildGroup++;
		if (groupIndex >= fGroups.size())
			fGroups.push_back(new Group{ {}, false });
		Group* group = fGroups[groupIndex];
		for (const MenuItemCopy& entry : section) {
			std::string label = MenuLabel(entry.label);
			if (entry.submenu >= 0) {
				GMenu* submenu = _BuildMenu(menu.submenus[static_cast<size_t>(entry.submenu)]);
				g_menu_append_submenu(part, label.c_str(), G_MENU_MODEL(submenu));
				g_object_unref(submenu);
				continue;
			}
			size_t index = fBuildItem++;
			if (index >= fItems.size()) {
				Action* action = new Action;
				action->window = fKitWindow;
				action->item = entry.item;
				action->index = static_cast<int>(index);
				action->section = static_cast<int>(groupIndex);
				std::string plain = "i" + std::to_string(index);
				std::string marked = "r" + std::to_string(index);
				action->plain = g_simple_action_new(plain.c_str(), NULL);
				action->marked = g_simple_action_new_stateful(marked.c_str(), G_VARIANT_TYPE_STRING,
					g_variant_new_string(entry.marked ? "on" : "off"));
				g_signal_connect(action->plain, "activate", G_CALLBACK(&ToolkitWindow::_Activated), action);
				g_signal_connect(action->marked, "activate", G_CALLBACK(&ToolkitWindow::_Activated), action);
				g_action_map_add_action(G_ACTION_MAP(fActions), G_ACTION(action->plain));
				g_action_map_add_action(G_ACTION_MAP(fActions), G_ACTION(action->marked));
				fItems.push_back(action);
				fMarks.push_back(entry.marked);
				fShortcutKeys.push_back(entry.shortcut);
				group->items.push_back(static_cast<int>(index));
				group->radio = group->radio || entry.marked;
			}
			GMenuItem* item = g_menu_item_new(label.c_str(), NULL);
			std::string name = "kit." + std::string(group->radio ? "r" : "i") + std::to_string(index);
			g_menu_item_set_action_and_target_value(item, name.c_str(),
				group->radio ? g_variant_new_string("on") : NULL);
			if (entry.shortcut != 0)
				g_menu_item_set_attribute(item, "accel", "s", Accelerator(entry.shortcut).c_str());
			g_menu_append_item(part, item);
			g_object_unref(item);
		}
		g_menu_append_section(model, NULL, G_MENU_MODEL(part));
		g_object_unref(part);
	}
	return model;
}

void
ToolkitWindow::Show()
{
	gtk_window_present(fWindow);
}

void
ToolkitWindow::Present(std::vector<PresentedItem>&& drawn)
{
	fDrawn = std::move(drawn);
	gtk_widget_queue_draw(fArea);
}

void
ToolkitWindow::SetMarks(const std::vector<bool>& marks)
{
	bool rebuild = false;
	for (size_t i = 0; i < marks.size() && i < fItems.size(); i++) {
		if (fMarks[i] == marks[i])
			continue;
		fMarks[i] = marks[i];
		g_simple_action_set_state(fItems[i]->marked, g_variant_new_string(marks[i] ? "on" : "off"));
		Group* group = fGroups[static_cast<size_t>(fItems[i]->section)];
		if (marks[i] && !group->radio)
			rebuild = group->radio = true;
	}
	if (!rebuild || fBar == NULL)
		return;
	fBuildItem = fBuildGroup = 0;
	GMenu* model = _BuildMenu(fMenu);
	gtk_popover_menu_bar_set_menu_model(GTK_POPOVER_MENU_BAR(fBar), G_MENU_MODEL(model));
	g_object_unref(model);
}

void
ToolkitWindow::SetMenu(const MenuCopy& menu)
{
	if (fBar == NULL)
		return;
	if (SameItems(menu, fMenu)) {
		fMenuWaits = false;
		std::vector<bool> marks;
		MarksOf(menu, marks);
		SetMarks(marks);
		return;
	}
	// Items came or went. A menu the user has open would close under him
	// if the bar were made anew now: that waits until no menu is open.
	fWaitingMenu = menu;
	fMenuWaits = true;
	if (fMenuTimer == 0)
		fMenuTimer = g_timeout_add(100, &ToolkitWindow::_RebuildWhenClosed, this);
}

gboolean
ToolkitWindow::_RebuildWhenClosed(gpointer data)
{
	ToolkitWindow* self = static_cast<ToolkitWindow*>(data);
	GtkWidget* focus = gtk_window_get_focus(self->fWindow);
	GtkWidget* open = focus != NULL ? gtk_widget_get_ancestor(focus, GTK_TYPE_POPOVER) : NULL;
	if (open != NULL && gtk_widget_get_mapped(open))
		return G_SOURCE_CONTINUE;
	self->fMenuTimer = 0;
	if (self->fMenuWaits) {
		self->fMenuWaits = false;
		self->_ReplaceMenu(self->fWaitingMenu);
	}
	return G_SOURCE_REMOVE;
}

// Every action goes, and the bar is made anew.
void
ToolkitWindow::_ReplaceMenu(const MenuCopy& menu)
{
	for (Action* action : fItems) {
		g_action_map_remove_action(G_ACTION_MAP(fActions), g_action_get_name(G_ACTION(action->plain)));
		g_action_map_remove_action(G_ACTION_MAP(fActions), g_action_get_name(G_ACTION(action->marked)));
		g_object_unref(action->plain);
		g_object_unref(action->marked);
		delete action;
	}
	for (Group* group : fGroups)
		delete group;
	fItems.clear();
	fGroups.clear();
	fMarks.clear();
	fShortcutKeys.clear();
	gtk_widget_remove_controller(GTK_WIDGET(fWindow), GTK_EVENT_CONTROLLER(fShortcuts));
	fMenu = menu;
	fBuildItem = fBuildGroup = 0;
	GMenu* model = _BuildMenu(fMenu);
	gtk_popover_menu_bar_set_menu_model(GTK_POPOVER_MENU_BAR(fBar), G_MENU_MODEL(model));
	g_object_unref(model);
	_AddShortcuts();
}

void
ToolkitWindow::_Activated(GSimpleAction*, GVariant*, gpointer data)
{
	// The mark follows the kit, which marks the item once the window has
	// handled its message. An item the window has taken out of its menu
	// since the bar was made is not there to invoke.
	Action* action = static_cast<Action*>(data);
	std::lock_guard<std::recursive_mutex> lock(KitPrivate::MenuTreeLock());
	if (HoldsItem(action->window->KeyMenuBar(), action->item))
		action->item->Invoke();
}

gboolean
ToolkitWindow::_CloseRequested(GtkWindow*, gpointer data)
{
	// The window goes when the kit has closed it.
	static_cast<ToolkitWindow*>(data)->fOnClose();
	return TRUE;
}

gboolean
ToolkitWindow::_Dropped(GtkDropTarget*, const GValue* value, double, double, gpointer)
{
	std::vector<std::string> paths;
	if (G_VALUE_HOLDS(value, GDK_TYPE_FILE_LIST)) {
		for (GSList* file = static_cast<GSList*>(g_value_get_boxed(value)); file != NULL; file = file->next) {
			if (char* path = g_file_get_path(G_FILE(file->data))) {
				paths.push_back(path);
				g_free(path);
			}
		}
	} else if (G_VALUE_HOLDS(value, G_TYPE_STRING) && g_value_get_string(value) != NULL)
		paths = DroppedPaths(g_value_get_string(value));
	if (paths.empty() || be_app == NULL)
		return FALSE;
	KitPrivate::PostRefs(be_app, paths);
	return TRUE;
}

// The window opens where the kit put it, where the display lets a program
// place its windows.
void
ToolkitWindow::_Realized(GtkWidget* widget, gpointer data)
{
#ifdef GDK_WINDOWING_X11
	ToolkitWindow* self = static_cast<ToolkitWindow*>(data);
	GdkSurface* surface = gtk_native_get_surface(GTK_NATIVE(widget));
	if (GDK_IS_X11_SURFACE(surface)) {
		Display* display = gdk_x11_display_get_xdisplay(gdk_surface_get_display(surface));
		::Window xid = gdk_x11_surface_get_xid(surface);
		XMoveWindow(display, xid, self->fLeft, self->fTop);
		// A window of a fixed size offers no maximize.
		XSizeHints* hints = XAllocSizeHints();
		long supplied = 0;
		XGetWMNormalHints(display, xid, hints, &supplied);
		hints->flags |= USPosition;
		hints->x = self->fLeft;
		hints->y = self->fTop;
		XSetWMNormalHints(display, xid, hints);
		XFree(hints);
	}
#else
	(void)widget;
	(void)data;
#endif
}

void
ToolkitWindow::_Draw(GtkDrawingArea*, cairo_t* cairo, int width, int height, gpointer data)
{
	ToolkitWindow* self = static_cast<ToolkitWindow*>(data);
	cairo_set_source_rgb(cairo, 1.0, 1.0, 1.0);
	cairo_rectangle(cairo, 0, 0, width, height);
	cairo_fill(cairo);
	// The kit's coordinates count from the window's top, the menu bar's
	// included.
	cairo_translate(cairo, 0, -self->fMenuHeight);
	PangoLayout* layout = pango_cairo_create_layout(cairo);
	for (const PresentedItem& presented : self->fDrawn) {
		const DrawnString& item = presented.drawn;
		double left = std::floor(item.rect.left);
		double top = std::floor(item.rect.top);
		double itemWidth = std::floor(item.rect.Width()) + 1;
		double itemHeight = std::floor(item.rect.Height()) + 1;
		switch (item.shape) {
			case B_DRAWN_STROKED_RECT:
				cairo_set_source_rgb(cairo, 0.33, 0.33, 0.33);
				cairo_set_line_width(cairo, 1.0);
				cairo_rectangle(cairo, left + 0.5, top + 0.5, itemWidth - 1, itemHeight - 1);
				cairo_stroke(cairo);
				break;
			case B_DRAWN_FILLED_RECT:
				// The blue of a bar that fills as the work goes on.
				cairo_set_source_rgb(cairo, 50 / 255.0, 150 / 255.0, 1.0);
				cairo_rectangle(cairo, left, top, itemWidth, itemHeight);
				cairo_fill(cairo);
				break;
			case B_DRAWN_STRING: {
				PangoFontDescription* font = pango_font_description_new();
				pango_font_description_set_family(font,
					item.kind == B_FIXED_FONT_KIND ? "Monospace" : self->fUiFamily.c_str());
				if (item.kind == B_BOLD_FONT_KIND)
					pango_font_description_set_weight(font, PANGO_WEIGHT_BOLD);
				pango_font_description_set_absolute_size(font, item.size * PANGO_SCALE);
				pango_layout_set_font_description(layout, font);
				pango_font_description_free(font);
				pango_layout_set_text(layout, item.text.c_str(), -1);
				if (presented.room >= 0.0f) {
					pango_layout_set_width(layout, static_cast<int>(presented.room * PANGO_SCALE));
					pango_layout_set_ellipsize(layout, item.truncation == B_TRUNCATE_MIDDLE
							? PANGO_ELLIPSIZE_MIDDLE
							: item.truncation == B_TRUNCATE_BEGINNING ? PANGO_ELLIPSIZE_START
																	 : PANGO_ELLIPSIZE_END);
				} else {
					pango_layout_set_width(layout, -1);
					pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_NONE);
				}
				double baseline = pango_layout_get_baseline(layout) / static_cast<double>(PANGO_SCALE);
				cairo_set_source_rgb(cairo, 0.0, 0.0, 0.0);
				cairo_move_to(cairo, item.inWindow.x, item.inWindow.y - baseline);
				pango_cairo_show_layout(cairo, layout);
				break;
			}
		}
	}
	g_object_unref(layout);
}

namespace {

struct Centring {
	GtkWindow* window;
	GtkWindow* parent;
};

void
Centre(GtkWidget* widget, gpointer data)
{
	Centring* centring = static_cast<Centring*>(data);
#ifdef GDK_WINDOWING_X11
	GdkSurface* surface = gtk_native_get_surface(GTK_NATIVE(widget));
	GdkSurface* parent = gtk_native_get_surface(GTK_NATIVE(centring->parent));
	if (surface != NULL && parent != NULL && GDK_IS_X11_SURFACE(surface) && GDK_IS_X11_SURFACE(parent)) {
		Display* display = gdk_x11_display_get_xdisplay(gdk_surface_get_display(surface));
		Window child = 0;
		int x = 0, y = 0;
		XTranslateCoordinates(display, gdk_x11_surface_get_xid(parent), DefaultRootWindow(display), 0, 0, &x,
			&y, &child);
		int scale = gdk_surface_get_scale_factor(surface);
		int left = x + (gdk_surface_get_width(parent) - gtk_widget_get_width(widget)) * scale / 2;
		int top = y + (gdk_surface_get_height(parent) - gtk_widget_get_height(widget)) * scale / 2;
		XMoveWindow(display, gdk_x11_surface_get_xid(surface), std::max(left, 0), std::max(top, 0));
	}
#else
	(void)widget;
#endif
	(void)centring;
}

}  // namespace

void
CentreOver(GtkWindow* window, GtkWindow* parent)
{
	if (parent == NULL)
		return;
	gtk_window_set_transient_for(window, parent);
	Centring* centring = new Centring{ window, parent };
	if (gtk_widget_get_mapped(GTK_WIDGET(window))) {
		Centre(GTK_WIDGET(window), centring);
		delete centring;
		return;
	}
	g_signal_connect_data(window, "map", G_CALLBACK(&Centre), centring,
		[](gpointer data, GClosure*) { delete static_cast<Centring*>(data); }, G_CONNECT_DEFAULT);
}
