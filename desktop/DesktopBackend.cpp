#include "DesktopBackend.h"

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>

#include <dlfcn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtk/gtk.h>
#include <X11/Xlib.h>

#include <Alert.h>
#include <AppDefs.h>
#include <FilePanel.h>
#include <KitPrivate.h>
#include <MenuBar.h>
#include <StatusBar.h>
#include <Window.h>

#include "ToolkitWindow.h"

// The user's answer to one alert, waited for by the thread that shows it.
struct AlertAnswer {
	std::mutex lock;
	std::condition_variable answered;
	int32 index = 0;
	bool done = false;
	GtkWindow* dialog = NULL;  // the toolkit's, while it is up

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

namespace {

const char* const kPanelTitle = "Quillon: Open";

// The style that gives the menu bar the kit's height and the desktop's look.
const char* const kStyle =
	"menubar.quillon { min-height: 0; padding: 0; font-size: 12px; }"
	"menubar.quillon > item { min-height: 0; padding: 2px 7px; }";

// A session bus is there to talk to: the address is given, or the user's
// bus socket exists. Without one nothing is registered or notified, and no
// bus is started.
bool
SessionBusAvailable()
{
	const char* address = getenv("DBUS_SESSION_BUS_ADDRESS");
	if (address != NULL && address[0] != '\0')
		return true;
	const char* runtime = getenv("XDG_RUNTIME_DIR");
	if (runtime == NULL || runtime[0] == '\0')
		return false;
	struct stat info;
	return stat((std::string(runtime) + "/bus").c_str(), &info) == 0 && S_ISSOCK(info.st_mode);
}

// The icons as the build draws them, when the program runs from the build
// tree: the module then lies in its app folder.
void
AddBuildTreeIcons()
{
	Dl_info info;
	if (dladdr(reinterpret_cast<void*>(&AddBuildTreeIcons), &info) == 0 || info.dli_fname == NULL)
		return;
	std::string module = info.dli_fname;
	std::string built = QUILLON_BUILD_DIR "/app/";
	if (module.compare(0, built.size(), built) != 0)
		return;
	if (GdkDisplay* display = gdk_display_get_default())
		gtk_icon_theme_add_search_path(gtk_icon_theme_get_for_display(display), QUILLON_BUILD_DIR "/data/icons");
}

GtkWidget*
AlertDialog(const std::string& title, const std::string& text, const std::vector<std::string>& buttons,
	GtkWindow* parent, std::function<void(int32)> answer)
{
	GtkWindow* dialog = GTK_WINDOW(gtk_window_new());
	gtk_window_set_title(dialog, title.c_str());
	gtk_window_set_resizable(dialog, FALSE);
	gtk_window_set_modal(dialog, TRUE);
	gtk_window_set_hide_on_close(dialog, FALSE);
	CentreOver(dialog, parent);

	GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 14);
	gtk_widget_set_margin_start(box, 14);
	gtk_widget_set_margin_end(box, 14);
	gtk_widget_set_margin_top(box, 14);
	gtk_widget_set_margin_bottom(box, 14);
	GtkWidget* label = gtk_label_new(text.c_str());
	gtk_label_set_wrap(GTK_LABEL(label), TRUE);
	gtk_label_set_max_width_chars(GTK_LABEL(label), 56);
	gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
	gtk_label_set_selectable(GTK_LABEL(label), FALSE);
	gtk_box_append(GTK_BOX(box), label);

	// The buttons in a row at the bottom right, in the kit's order; the last
	// one is the default, which Enter presses.
	auto* callback = new std::function<void(int32)>(std::move(answer));
	g_object_set_data_full(G_OBJECT(dialog), "answer", callback,
		[](gpointer data) { delete static_cast<std::function<void(int32)>*>(data); });
	GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 8);
	gtk_widget_set_halign(row, GTK_ALIGN_END);
	GtkWidget* last = NULL;
	for (size_t index = 0; index < buttons.size(); index++) {
		GtkWidget* button = gtk_button_new_with_label(buttons[index].c_str());
		gtk_widget_set_size_request(button, 75, -1);
		g_object_set_data(G_OBJECT(button), "index", GINT_TO_POINTER(static_cast<int>(index)));
		g_signal_connect(button, "clicked", G_CALLBACK(+[](GtkButton* clicked, gpointer data) {
			auto* give = static_cast<std::function<void(int32)>*>(data);
			(*give)(GPOINTER_TO_INT(g_object_get_data(G_OBJECT(clicked), "index")));
		}), callback);
		gtk_box_append(GTK_BOX(row), button);
		last = button;
	}
	gtk_box_append(GTK_BOX(box), row);
	gtk_window_set_child(dialog, box);
	if (last != NULL) {
		gtk_widget_add_css_class(last, "suggested-action");
		gtk_window_set_default_widget(dialog, last);
		gtk_window_set_focus(dialog, last);
	}

	// Escape and the close button answer with the first button.
	GtkEventController* keys = gtk_shortcut_controller_new();
	gtk_shortcut_controller_add_shortcut(GTK_SHORTCUT_CONTROLLER(keys),
		gtk_shortcut_new(gtk_keyval_trigger_new(GDK_KEY_Escape, static_cast<GdkModifierType>(0)),
			gtk_callback_action_new(
				[](GtkWidget*, GVariant*, gpointer data) -> gboolean {
					(*static_cast<std::function<void(int32)>*>(data))(0);
					return TRUE;
				},
				callback, NULL)));
	gtk_widget_add_controller(GTK_WIDGET(dialog), keys);
	g_signal_connect(dialog, "close-request", G_CALLBACK(+[](GtkWindow*, gpointer data) -> gboolean {
		(*static_cast<std::function<void(int32)>*>(data))(0);
		return TRUE;
	}), callback);
	return GTK_WIDGET(dialog);
}

}  // namespace

DesktopBackend::DesktopBackend()
	:
	fToolkit([this] { _ToolkitStarted(); }, [this] { _ToolkitEnded(); }),
	fJobShown(false),
	fToldFinishing(false),
	fNotifier(NULL)
{
	// Without a session bus the toolkit's accessibility has nothing to talk
	// to, and would only complain that it cannot start one.
	// The window draws a few strings and rectangles: cairo does that at the
	// screen's scale, and starts in a fraction of the time and memory that a
	// GL context takes (software GL, where there is no GPU). GSK_RENDERER
	// still picks another.
	if (getenv("GSK_RENDERER") == NULL) {
		setenv("GSK_RENDERER", "cairo", 0);
		// Nor is GL opened on X11 to pick the window's visual: a third of the
		// start-up time and two thirds of the memory of a run.
		if (getenv("GDK_DEBUG") == NULL)
			setenv("GDK_DEBUG", "gl-disable", 0);
	}
	// The file chooser's settings then live as long as the run.
	if (!SessionBusAvailable()) {
		setenv("GTK_A11Y", "none", 0);
		setenv("GSETTINGS_BACKEND", "memory", 0);
	}
}

DesktopBackend::~DesktopBackend()
{
	fToolkit.Stop();
}

void
DesktopBackend::_ToolkitStarted()
{
	g_set_prgname(QUILLON_ID);
	g_set_application_name("Quillon");
	AddBuildTreeIcons();
	gtk_window_set_default_icon_name(QUILLON_ID);
	// A modal dialog keeps the toolkit from passing on a close box clicked on
	// the main window meanwhile: the request is caught as the window's
	// surface gets it, on X11 and Wayland alike, to be taken once the alert
	// is answered.
	g_signal_add_emission_hook(g_signal_lookup("event", GDK_TYPE_SURFACE), 0,
		+[](GSignalInvocationHint*, guint count, const GValue* values, gpointer data) -> gboolean {
			DesktopBackend* self = static_cast<DesktopBackend*>(data);
			if (count < 2 || self->fAlerts.empty())
				return TRUE;
			GdkEvent* event = static_cast<GdkEvent*>(g_value_peek_pointer(&values[1]));
			if (event == NULL || gdk_event_get_event_type(event) != GDK_DELETE)
				return TRUE;
			GObject* surface = static_cast<GObject*>(g_value_get_object(&values[0]));
			for (auto& shown : self->fWindows) {
				if (G_OBJECT(gtk_native_get_surface(GTK_NATIVE(shown.second->Window()))) == surface)
					self->_CloseAsked(shown.first);
			}
			return TRUE;
		},
		this, NULL);
	GtkCssProvider* style = gtk_css_provider_new();
	gtk_css_provider_load_from_data(style, kStyle, -1);
	gtk_style_context_add_provider_for_display(gdk_display_get_default(), GTK_STYLE_PROVIDER(style),
		GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
	g_object_unref(style);
}

// On the toolkit's thread as it ends: every alert still up is answered with
// its first button, and what the toolkit shows is let go.
void
DesktopBackend::_ToolkitEnded()
{
	_TellFinished();
	for (const std::shared_ptr<AlertAnswer>& answer : fAlerts) {
		answer->Give(0);
		if (answer->dialog != NULL)
			gtk_window_destroy(answer->dialog);
		answer->dialog = NULL;
	}
	fAlerts.clear();
	for (Panel& panel : fPanels) {
		gtk_native_dialog_destroy(panel.chooser);
		g_object_unref(panel.chooser);
	}
	fPanels.clear();
	for (auto& window : fWindows)
		delete window.second;
	fWindows.clear();
	fShownOrder.clear();
	if (fNotifier != NULL)
		g_object_unref(fNotifier);
	fNotifier = NULL;
}

bool
DesktopBackend::DisplayAvailable()
{
	const char* wayland = getenv("WAYLAND_DISPLAY");
	if (wayland != NULL && wayland[0] != '\0') {
		std::string path = wayland;
		const char* runtime = getenv("XDG_RUNTIME_DIR");
		if (path[0] != '/' && runtime != NULL)
			path = std::string(runtime) + "/" + path;
		struct stat info;
		if (stat(path.c_str(), &info) == 0 && S_ISSOCK(info.st_mode))
			return true;
	}
	Display* display = XOpenDisplay(NULL);
	if (display == NULL)
		return false;
	XCloseDisplay(display);
	return true;
}

void
DesktopBackend::ApplicationStarted(BApplication*)
{
	if (!fToolkit.Start()) {
		fprintf(stderr, "quillon: cannot open the display\n");
		exit(1);
	}
}

void
DesktopBackend::ApplicationEnded(BApplication*, bool)
{
	fToolkit.Stop();
}

GtkWindow*
DesktopBackend::_MainWindow() const
{
	return fShownOrder.empty() ? NULL : fWindows.at(fShownOrder.front())->Window();
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
		GtkWidget* dialog = AlertDialog(title, text, buttons, _MainWindow(), [this, answer](int32 index) {
			answer->Give(index);
			_AlertAnswered(answer);
		});
		answer->dialog = GTK_WINDOW(dialog);
		gtk_window_present(answer->dialog);
	});
	if (!posted)
		return 0;
	std::unique_lock<std::mutex> lock(answer->lock);
	answer->answered.wait(lock, [&answer] { return answer->done; });
	return answer->index;
}

// On the toolkit's thread: the dialog goes, and a close box clicked while it
// was up is taken now.
void
DesktopBackend::_AlertAnswered(const std::shared_ptr<AlertAnswer>& answer)
{
	if (answer->dialog != NULL)
		gtk_window_destroy(answer->dialog);
	answer->dialog = NULL;
	fAlerts.erase(std::remove(fAlerts.begin(), fAlerts.end(), answer), fAlerts.end());
	if (!fAlerts.empty())
		return;
	std::vector<BWindow*> closing;
	closing.swap(fCloseAfterAlert);
	for (BWindow* window : closing) {
		if (fWindows.count(window) != 0)
			window->PostMessage(B_QUIT_REQUESTED);
	}
}

void
DesktopBackend::_CloseAsked(BWindow* window)
{
	if (!fAlerts.empty()) {
		if (std::find(fCloseAfterAlert.begin(), fCloseAfterAlert.end(), window) == fCloseAfterAlert.end())
			fCloseAfterAlert.push_back(window);
		return;
	}
	window->PostMessage(B_QUIT_REQUESTED);
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
	bool multiple = panel->AllowsMultipleSelection();
	fToolkit.Post([this, panel, directory, multiple] {
		// One chooser at a time: a second Print brings the open one forward,
		// and the panel it was for is cancelled.
		if (!fPanels.empty()) {
			GListModel* toplevels = gtk_window_get_toplevels();
			for (guint i = 0; i < g_list_model_get_n_items(toplevels); i++) {
				GtkWindow* window = GTK_WINDOW(g_list_model_get_item(toplevels, i));
				const char* title = gtk_window_get_title(window);
				if (title != NULL && strcmp(title, kPanelTitle) == 0 && gtk_widget_get_visible(GTK_WIDGET(window)))
					gtk_window_present(window);
				g_object_unref(window);
			}
			KitPrivate::CancelPanel(panel);
			return;
		}
		GtkFileChooserNative* chooser = gtk_file_chooser_native_new(kPanelTitle, _MainWindow(),
			GTK_FILE_CHOOSER_ACTION_OPEN, NULL, NULL);
		GtkNativeDialog* dialog = GTK_NATIVE_DIALOG(chooser);
		gtk_native_dialog_set_modal(dialog, FALSE);
		gtk_file_chooser_set_select_multiple(GTK_FILE_CHOOSER(chooser), multiple);
		GFile* folder = g_file_new_for_path(directory.c_str());
		gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(chooser), folder, NULL);
		g_object_unref(folder);
		g_signal_connect(chooser, "response", G_CALLBACK(+[](GtkNativeDialog* answered, int response, gpointer data) {
			static_cast<DesktopBackend*>(data)->_PanelAnswered(answered, response);
		}), this);
		fPanels.push_back({ panel, dialog });
		gtk_native_dialog_show(dialog);
		// Without a portal the chooser is a window of ours: it opens over the
		// main window.
		GListModel* toplevels = gtk_window_get_toplevels();
		for (guint i = 0; i < g_list_model_get_n_items(toplevels); i++) {
			GtkWindow* window = GTK_WINDOW(g_list_model_get_item(toplevels, i));
			const char* title = gtk_window_get_title(window);
			if (title != NULL && strcmp(title, kPanelTitle) == 0)
				CentreOver(window, _MainWindow());
			g_object_unref(window);
		}
	});
}

// A chooser the user has answered gives its files, or its cancel, to the
// kit.
void
DesktopBackend::_PanelAnswered(GtkNativeDialog* chooser, int response)
{
	auto open = std::find_if(fPanels.begin(), fPanels.end(), [chooser](const Panel& panel) {
		return panel.chooser == chooser;
	});
	if (open == fPanels.end())
		return;
	Panel panel = *open;
	fPanels.erase(open);
	std::vector<std::string> paths;
	if (response == GTK_RESPONSE_ACCEPT) {
		GListModel* files = gtk_file_chooser_get_files(GTK_FILE_CHOOSER(chooser));
		for (guint i = 0; i < g_list_model_get_n_items(files); i++) {
			GFile* file = G_FILE(g_list_model_get_item(files, i));
			if (char* path = g_file_get_path(file)) {
				paths.push_back(path);
				g_free(path);
			}
			g_object_unref(file);
		}
		g_object_unref(files);
	}
	gtk_native_dialog_destroy(chooser);
	g_object_unref(chooser);
	if (paths.empty())
		KitPrivate::CancelPanel(panel.panel);
	else
		KitPrivate::ConfirmPanel(panel.panel, paths);
}

void
DesktopBackend::HidePanel(BFilePanel* panel)
{
	fToolkit.Call([this, panel] {
		for (auto open = fPanels.begin(); open != fPanels.end(); ++open) {
			if (open->panel != panel)
				continue;
			gtk_native_dialog_destroy(open->chooser);
			g_object_unref(open->chooser);
			fPanels.erase(open);
			return;
		}
	});
}

void
DesktopBackend::WindowShown(BWindow* window)
{
	MenuCopy menu;
	float menuHeight = 0.0f;
	if (BMenuBar* bar = window->KeyMenuBar()) {
		std::lock_guard<std::recursive_mutex> lock(KitPrivate::MenuTreeLock());
		CopyMenu(bar, menu);
		menuHeight = bar->Frame().Height() + 1.0f;
	}
	fToolkit.Post([this, window, menu, menuHeight] {
		// Shown again: it is on the screen already, and stays where it is.
		ToolkitWindow*& shown = fWindows[window];
		if (shown != NULL)
			return;
		shown = new ToolkitWindow(window, menu, menuHeight, [this, window] { _CloseAsked(window); });
		fShownOrder.push_back(window);
		shown->Show();
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
		delete shown->second;
		fWindows.erase(shown);
		fShownOrder.erase(std::remove(fShownOrder.begin(), fShownOrder.end(), window), fShownOrder.end());
		fCloseAfterAlert.erase(std::remove(fCloseAfterAlert.begin(), fCloseAfterAlert.end(), window),
			fCloseAfterAlert.end());
		if (fWindows.empty() && fJobShown)
			_TellFinishing();
	});
}

void
DesktopBackend::PresentWindow(BWindow* window, const DisplayList& drawn)
{
	std::vector<PresentedItem> presented = Presented(drawn);
	MenuCopy menu;
	if (BMenuBar* bar = window->KeyMenuBar()) {
		std::lock_guard<std::recursive_mutex> lock(KitPrivate::MenuTreeLock());
		CopyMenu(bar, menu);
	}
	// A status bar that is part way filled shows a job at work.
	std::string status;
	bool hasStatus = false;
	float barRight = 0.0f, filledRight = 0.0f;
	for (const DrawnString& item : drawn) {
		if (dynamic_cast<const BStatusBar*>(item.view) == NULL)
			continue;
		hasStatus = true;
		if (item.shape == B_DRAWN_STRING && status.empty())
			status = item.text;
		else if (item.shape == B_DRAWN_STROKED_RECT)
			barRight = item.rect.right;
		else if (item.shape == B_DRAWN_FILLED_RECT)
			filledRight = item.rect.right;
	}
	// The bar counts what has reached the printer, so a job whose printer
	// has taken nothing yet shows an empty bar; its words still say a file
	// is at work.
	bool jobShown = (filledRight > 0.0f && filledRight < barRight - 1.5f)
		|| status.compare(0, 5, "File ") == 0;
	fToolkit.Post([this, window, presented = std::move(presented), menu = std::move(menu), status, hasStatus, jobShown]() mutable {
		auto shown = fWindows.find(window);
		if (shown == fWindows.end())
			return;
		shown->second->Present(std::move(presented));
		shown->second->SetMenu(menu);
		if (hasStatus) {
			fJobShown = jobShown;
			fLastStatus = status;
		}
	});
}

// The window has closed while its status bar showed a job at work: the job
// goes on. The user hears of it on standard error and, where there is a
// notification service, from the desktop.
void
DesktopBackend::_TellFinishing()
{
	if (fToldFinishing)
		return;
	fToldFinishing = true;
	std::string job = fLastStatus.empty() ? "The print job" : fLastStatus;
	fprintf(stderr, "quillon: the window is closed; the job goes on until it is done (%s)\n", job.c_str());
	_Notify("Quillon is finishing a print job", job);
}

void
DesktopBackend::_TellFinished()
{
	if (!fToldFinishing || fNotifier == NULL)
		return;
	_Notify("Quillon has finished printing", fLastStatus);
	if (GDBusConnection* bus = g_application_get_dbus_connection(fNotifier))
		g_dbus_connection_flush_sync(bus, NULL, NULL);
}

bool
DesktopBackend::_Notify(const std::string& title, const std::string& body)
{
	if (fNotifier == NULL) {
		if (!SessionBusAvailable())
			return false;
		fNotifier = g_application_new(QUILLON_ID, G_APPLICATION_NON_UNIQUE);
		if (!g_application_register(fNotifier, NULL, NULL)) {
			g_object_unref(fNotifier);
			fNotifier = NULL;
			return false;
		}
	}
	GNotification* notification = g_notification_new(title.c_str());
	g_notification_set_body(notification, body.c_str());
	g_application_send_notification(fNotifier, "job", notification);
	g_object_unref(notification);
	return true;
}
