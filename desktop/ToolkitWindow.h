// A window of the kit on the desktop: a GTK window with the kit's menu bar
// as a GTK menu bar, and a drawing area that shows what its views drew.
// Made, used and deleted on the toolkit's thread only, except for
// CopyMenu and the marks, which are taken on the window's thread.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <gtk/gtk.h>

#include <PlatformBackend.h>

class BMenu;
class BMenuItem;
class BWindow;

// A menu of a window, copied on the thread that shows it, so the toolkit's
// thread never walks the kit's menus. Its items come in sections, split
// where the kit's menu has a separator.
struct MenuItemCopy {
	std::string label;
	BMenuItem* item;  // NULL for a submenu
	char shortcut;
	bool marked;
	int submenu;  // index into the menu's submenus, or -1
};

struct MenuCopy {
	std::string title;
	std::vector<std::vector<MenuItemCopy>> sections;
	std::vector<MenuCopy> submenus;
};

void CopyMenu(const BMenu* menu, MenuCopy& copy);

// A string drawn, with the width it may take before it would run into the
// next string on its line or out of its view.
struct PresentedItem {
	DrawnString drawn;
	float room;
};
std::vector<PresentedItem> Presented(const DisplayList& drawn);

class ToolkitWindow {
public:
	// onClose is called when the user asks the window to close.
	ToolkitWindow(BWindow* window, const MenuCopy& menu, float menuHeight, std::function<void()> onClose);
	~ToolkitWindow();

	void Show();
	void Present(std::vector<PresentedItem>&& drawn);
	void SetMarks(const std::vector<bool>& marks);
	// The menu as the kit has it now: only the marks change when its items
	// are the same, else the menu bar is made anew.
	void SetMenu(const MenuCopy& menu);

	GtkWindow* Window() const { return fWindow; }

private:
	struct Action;
	struct Group;

	GMenu* _BuildMenu(const MenuCopy& menu);
	void _AddShortcuts();
	void _ReplaceMenu(const MenuCopy& menu);
	static gboolean _RebuildWhenClosed(gpointer data);
	static void _Draw(GtkDrawingArea* area, cairo_t* cairo, int width, int height, gpointer data);
	static void _Activated(GSimpleAction* action, GVariant* parameter, gpointer data);
	static gboolean _CloseRequested(GtkWindow* window, gpointer data);
	static gboolean _Dropped(GtkDropTarget* target, const GValue* value, double x, double y, gpointer data);
	static void _Realized(GtkWidget* widget, gpointer data);

	BWindow* fKitWindow;
	GtkWindow* fWindow;
	GtkWidget* fArea;
	GSimpleActionGroup* fActions;
	GtkShortcutController* fShortcuts;
	GtkWidget* fBar;
	MenuCopy fMenu;
	size_t fBuildItem;
	size_t fBuildGroup;
	float fMenuHeight;
	int fLeft, fTop;
	std::function<void()> fOnClose;
	std::vector<PresentedItem> fDrawn;
	// Every item, in the order CopyMenu met them.
	std::vector<Action*> fItems;
	std::vector<Group*> fGroups;
	std::vector<bool> fMarks;
	std::vector<char> fShortcutKeys;
	// A new menu waits while one of the bar's menus is open.
	MenuCopy fWaitingMenu;
	bool fMenuWaits = false;
	guint fMenuTimer = 0;
	std::string fUiFamily;
};

// Moves a toplevel, once it is mapped, over the middle of another one (on
// X11; elsewhere the compositor places dialogs over their parent).
void CentreOver(GtkWindow* window, GtkWindow* parent);
