// The program in a real window: an X server of the test's own (Xvfb), the
// built binary on the desktop backend, and a user made of real X input
// (xdotool) and the window manager's close request.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>
#include <png.h>

#include "DroppedPaths.h"
#include "QuillonRun.h"

// Last: the X headers define names such as None and Bool as macros.
#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

std::string gDisplay;

// One X server for the whole program; it picks a free display itself.
class XServer : public testing::Environment {
public:
	void SetUp() override
	{
		int pipeFds[2];
		ASSERT_EQ(pipe(pipeFds), 0);
		fPid = fork();
		ASSERT_GE(fPid, 0);
		if (fPid == 0) {
			close(pipeFds[0]);
			int devnull = open("/dev/null", O_RDWR);
			dup2(devnull, 1);
			dup2(devnull, 2);
			std::string fd = std::to_string(pipeFds[1]);
			// Without -noreset the server resets whenever its last client
			// leaves, and a program starting just then cannot connect.
			execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "2400x1800x24",
				"-nolisten", "tcp", "-noreset", static_cast<char*>(NULL));
			_exit(127);
		}
		close(pipeFds[1]);
		std::string number;
		char c;
		while (read(pipeFds[0], &c, 1) == 1 && c != '\n')
			number += c;
		close(pipeFds[0]);
		ASSERT_FALSE(number.empty()) << "Xvfb did not start (is it installed?)";
		gDisplay = ":" + number;
		setenv("DISPLAY", gDisplay.c_str(), 1);
	}

	void TearDown() override
	{
		if (fPid > 0) {
			kill(fPid, SIGTERM);
			waitpid(fPid, NULL, 0);
		}
	}

private:
	pid_t fPid = -1;
};

[[maybe_unused]] testing::Environment* const gServer = testing::AddGlobalTestEnvironment(new XServer);

// The lines of a command's output.
std::vector<std::string>
lines_of_output(const std::string& text)
{
	std::vector<std::string> lines;
	size_t start = 0;
	while (start < text.size()) {
		size_t end = text.find('\n', start);
		if (end == std::string::npos)
			end = text.size();
		lines.push_back(text.substr(start, end - start));
		start = end + 1;
	}
	return lines;
}

// What a command printed, without its last line end.
std::string
Output(const std::string& command)
{
	std::string text;
	if (FILE* pipe = popen(command.c_str(), "r")) {
		char buffer[4096];
		size_t count;
		while ((count = fread(buffer, 1, sizeof(buffer), pipe)) > 0)
			text.append(buffer, count);
		pclose(pipe);
	}
	while (!text.empty() && text.back() == '\n')
		text.pop_back();
	return text;
}

void
Xdotool(const std::string& arguments)
{
	ASSERT_EQ(system(("xdotool " + arguments + " >/dev/null 2>&1").c_str()), 0) << arguments;
}

// Waits for a condition, up to ten seconds.
template <typename Condition>
bool
Eventually(Condition condition)
{
	auto limit = steady_clock::now() + std::chrono::seconds(10);
	while (!condition()) {
		if (steady_clock::now() > limit)
			return false;
		std::this_thread::sleep_for(milliseconds(50));
	}
	return true;
}

// The program running on the test's display, in a scratch directory.
class DesktopRun {
public:
	explicit DesktopRun(const ScratchDir& directory,
		const std::vector<std::pair<std::string, std::string>>& environment = {})
	{
		fPid = fork();
		if (fPid == 0) {
			if (chdir(directory.Path().c_str()) != 0)
				_exit(126);
			setenv("QUILLON_PLATFORM", "desktop", 1);
			setenv("QUILLON_PARALLEL1", (directory / "parallel1.out").c_str(), 1);
			// The toolkit and the X libraries keep what they allocate until
			// the process ends; our own leaks are looked for by the other tests.
			setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
			for (const auto& [name, value] : environment)
				setenv(name.c_str(), value.c_str(), 1);
			int devnull = open("/dev/null", O_RDWR);
			dup2(devnull, 0);
			// What the program says on standard error is kept in the
			// scratch directory.
			int errors = open((directory / "stderr.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
			dup2(errors, 2);
			std::string binary = quillon_binary();
			execl(binary.c_str(), binary.c_str(), static_cast<char*>(NULL));
			_exit(127);
		}
	}

	~DesktopRun()
	{
		if (fPid > 0 && !fEnded) {
			kill(fPid, SIGKILL);
			waitpid(fPid, NULL, 0);
		}
	}

	// The X window with this title, once it is up; empty if it never comes.
	std::string WaitForWindow(const std::string& title)
	{
		std::string id;
		Eventually([&] {
			id = Output("xdotool search --onlyvisible --name '^" + title + "$' 2>/dev/null | head -1");
			return !id.empty();
		});
		return id;
	}

	bool WindowGone(const std::string& title)
	{
		return Eventually([&] {
			return Output("xdotool search --onlyvisible --name '^" + title + "$' 2>/dev/null").empty();
		});
	}

	// Puts the pointer in the window and the keyboard focus on it.
	void Focus(const std::string& window)
	{
		Xdotool("mousemove --window " + window + " 200 300");
		Xdotool("windowfocus --sync " + window);
	}

	// The main window once it is up, with the keyboard on it; empty if it
	// never comes.
	std::string MainWindow()
	{
		std::string window = WaitForWindow("Quillon Window");
		if (!window.empty())
			Focus(window);
		// The menu bar is made anew when the search for printers at start
		// has ended (a few milliseconds here, longer under the sanitizers),
		// and a menu opened just before would close: the search is given
		// its time before the test opens one.
		std::this_thread::sleep_for(milliseconds(600));
		return window;
	}

	// Ctrl+P, then the file's whole path typed in the chooser's location
	// (Ctrl+L) and confirmed.
	bool PrintThroughPanel(const std::string& path)
	{
		Xdotool("key ctrl+p");
		std::string panel = WaitForWindow("Quillon: Open");
		if (panel.empty())
			return false;
		Focus(panel);
		Xdotool("key ctrl+l");
		Xdotool("type --delay 20 " + path);
		Xdotool("key Return");
		return true;
	}

	// Ctrl+Q on the window; the exit code, as WaitExit gives it.
	int QuitByShortcut(const std::string& window)
	{
		Focus(window);
		Xdotool("key ctrl+q");
		return WaitExit();
	}

	// The exit code, or -1 if the program did not end by itself in time.
	int WaitExit()
	{
		int status = 0;
		bool ended = Eventually([&] { return waitpid(fPid, &status, WNOHANG) == fPid; });
		if (!ended)
			return -1;
		fEnded = true;
		return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
	}

	bool StillRunning() { return waitpid(fPid, NULL, WNOHANG) == 0; }
	pid_t Pid() const { return fPid; }

private:
	pid_t fPid = -1;
	bool fEnded = false;
};

// What a window manager sends when the user clicks a window's close box.
void
RequestClose(const std::string& window)
{
	Display* display = XOpenDisplay(gDisplay.c_str());
	ASSERT_NE(display, nullptr);
	XEvent event = {};
	event.xclient.type = ClientMessage;
	event.xclient.window = std::stoul(window);
	event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
	event.xclient.format = 32;
	event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
	event.xclient.data.l[1] = CurrentTime;
	XSendEvent(display, event.xclient.window, False, NoEventMask, &event);
	XCloseDisplay(display);
}

// The windows on screen, menus that are open included.
size_t
VisibleWindows()
{
	std::string list = Output("xdotool search --onlyvisible --class '' 2>/dev/null");
	return list.empty() ? 0 : static_cast<size_t>(std::count(list.begin(), list.end(), '\n')) + 1;
}

std::string
Snapshot(const std::string& window)
{
	return Output("xwd -silent -id " + window);
}

TEST(DesktopWindow, OpensWhereTheProgramPutsItAndQuitsByShortcut)
{
	ScratchDir directory;
	DesktopRun run(directory);
	std::string window = run.MainWindow();
	ASSERT_FALSE(window.empty());
	std::string geometry = Output("xdotool getwindowgeometry " + window);
	EXPECT_NE(geometry.find("Position: 32,32"), std::string::npos) << geometry;
	EXPECT_NE(geometry.find("Geometry: 569x569"), std::string::npos) << geometry;
	EXPECT_EQ(run.QuitByShortcut(window), 0);
}

// The task bar shows the program's icon from the icon theme, in several
// sizes: the one of 48 px has its corners clear and the printed line dark
// across the sheet.
TEST(DesktopWindow, CarriesTheProgramsIcon)
{
	ScratchDir directory;
	DesktopRun run(directory);
	std::string window = run.MainWindow();
	ASSERT_FALSE(window.empty());
	Display* display = XOpenDisplay(gDisplay.c_str());
	ASSERT_NE(display, nullptr);
	Atom type = 0;
	int format = 0;
	unsigned long count = 0;
	unsigned long after = 0;
	unsigned char* data = NULL;
	XGetWindowProperty(display, std::stoul(window), XInternAtom(display, "_NET_WM_ICON", False), 0,
		1 << 20, False, XA_CARDINAL, &type, &format, &count, &after, &data);
	// Format 32 properties come as longs: width, height, then one ARGB pixel
	// each, for every size in turn.
	const unsigned long* words = reinterpret_cast<const unsigned long*>(data);
	std::vector<unsigned long> property(words, words + (format == 32 ? count : 0));
	XFree(data);
	XCloseDisplay(display);
	std::vector<unsigned long> sizes;
	std::vector<unsigned long> icon;
	for (size_t at = 0; at + 2 <= property.size();) {
		unsigned long width = property[at], height = property[at + 1];
		size_t end = at + 2 + width * height;
		ASSERT_LE(end, property.size());
		sizes.push_back(width);
		if (width == 48 && height == 48)
			icon.assign(property.begin() + static_cast<long>(at) + 2, property.begin() + static_cast<long>(end));
		at = end;
	}
	EXPECT_GE(sizes.size(), 2u);
	ASSERT_EQ(icon.size(), 48u * 48) << "no icon of 48 px";
	auto pixel = [&](int x, int y) { return icon[static_cast<size_t>(y * 48 + x)] & 0xffffffffUL; };
	EXPECT_EQ(pixel(0, 0) >> 24, 0u);
	EXPECT_EQ(pixel(24, 34), 0xff1b2836UL);
	EXPECT_EQ(run.QuitByShortcut(window), 0);
}

TEST(DesktopWindow, CloseBoxQuits)
{
	ScratchDir directory;
	DesktopRun run(directory);
	std::string window = run.WaitForWindow("Quillon Window");
	ASSERT_FALSE(window.empty());
	RequestClose(window);
	EXPECT_EQ(run.WaitExit(), 0);
}

// A profile chosen with the mouse and the menu's arrow keys shows in the view
// at once, and a file chosen in the panel prints exactly the bytes the same
// choices give on the headless backend.
TEST(DesktopWindow, MenuChoiceRedrawsAndPanelPrintsLikeHeadless)
{
	const std::string text = "total\t12.50\r\nitem one\tx\n\fnext page\n";
	ScratchDir reference;
	reference.Write("notes.txt", text);
	RunResult headless = run_quillon(reference, "menu MPhp\ndrop notes.txt\n");
	ASSERT_EQ(headless.exitCode, 0) << headless.Describe();
	std::string expected = reference.Read("parallel1.out");
	ASSERT_FALSE(expected.empty());

	ScratchDir directory;
	directory.Write("notes.txt", text);
	DesktopRun run(directory);
	std::string window = run.MainWindow();
	ASSERT_FALSE(window.empty());
	std::string before;
	ASSERT_TRUE(Eventually([&] {
		before = Snapshot(window);
		return !before.empty();
	}));

	// The mouse opens "Printers" and Escape closes it; F10 opens "File",
	// Right goes on to "Printers" and Down to its fourth item. The keys wait
	// until the menu is up.
	size_t windows = VisibleWindows();
	Xdotool("mousemove --window " + window + " 50 9 click 1");
	ASSERT_TRUE(Eventually([&] { return VisibleWindows() > windows; }));
	Xdotool("key Escape");
	ASSERT_TRUE(Eventually([&] { return VisibleWindows() == windows; }));
	Xdotool("key F10");
	ASSERT_TRUE(Eventually([&] { return VisibleWindows() > windows; }));
	Xdotool("key --delay 80 Right Down Down Down Return");
	EXPECT_TRUE(Eventually([&] { return Snapshot(window) != before; }))
		<< "the view did not change after a profile was chosen";

	run.Focus(window);
	ASSERT_TRUE(run.PrintThroughPanel(directory / "notes.txt"));
	EXPECT_TRUE(run.WindowGone("Quillon: Open"));
	EXPECT_TRUE(Eventually([&] { return directory.Read("parallel1.out") == expected; }))
		<< printable(directory.Read("parallel1.out")) << "\nexpected\n" << printable(expected);

	EXPECT_EQ(run.QuitByShortcut(window), 0);
}

// A file manager's drag of files onto the window, over the X drag-and-drop
// protocol: enter with a file list, a position over the window's middle, the
// drop, and the list handed over when the window asks for it. True once the
// window says it has finished with the drop.
bool
DragFilesOnto(const std::string& window, const std::vector<std::string>& paths)
{
	Display* display = XOpenDisplay(gDisplay.c_str());
	Window target = std::stoul(window);
	Window root = DefaultRootWindow(display);
	Window source = XCreateSimpleWindow(display, root, 0, 0, 1, 1, 0, 0, 0);
	auto atom = [display](const char* name) { return XInternAtom(display, name, False); };
	const Atom uriList = atom("text/uri-list");
	std::string uris;
	for (const std::string& path : paths)
		uris += "file://" + path + "\r\n";
	XSetSelectionOwner(display, atom("XdndSelection"), source, CurrentTime);
	auto send = [&](const char* type, long second, long third, long fourth, long fifth) {
		XEvent event = {};
		event.xclient.type = ClientMessage;
		event.xclient.window = target;
		event.xclient.message_type = atom(type);
		event.xclient.format = 32;
		long data[5] = { static_cast<long>(source), second, third, fourth, fifth };
		std::copy(data, data + 5, event.xclient.data.l);
		XSendEvent(display, target, False, NoEventMask, &event);
		XFlush(display);
	};
	XWindowAttributes attributes;
	XGetWindowAttributes(display, target, &attributes);
	int x = 0, y = 0;
	Window child;
	XTranslateCoordinates(display, target, root, attributes.width / 2, attributes.height / 2, &x, &y, &child);
	send("XdndEnter", 5L << 24, static_cast<long>(uriList), 0, 0);
	send("XdndPosition", 0, (static_cast<long>(x) << 16) | y, CurrentTime, static_cast<long>(atom("XdndActionCopy")));
	bool dropped = false, finished = false, refused = false;
	for (auto giveUp = steady_clock::now() + std::chrono::seconds(5);
		 !finished && !refused && steady_clock::now() < giveUp;) {
		if (!XPending(display)) {
			std::this_thread::sleep_for(milliseconds(10));
			continue;
		}
		XEvent event;
		XNextEvent(display, &event);
		if (event.type == ClientMessage && event.xclient.message_type == atom("XdndStatus") && !dropped) {
			refused = (event.xclient.data.l[1] & 1) == 0;
			if (!refused)
				send("XdndDrop", 0, CurrentTime, 0, 0);
			dropped = !refused;
		} else if (event.type == ClientMessage && event.xclient.message_type == atom("XdndFinished")) {
			finished = true;
		} else if (event.type == SelectionRequest) {
			const XSelectionRequestEvent& request = event.xselectionrequest;
			XEvent reply = {};
			reply.xselection = { SelectionNotify, 0, True, display, request.requestor, request.selection,
				request.target, None, request.time };
			if (request.target == uriList) {
				XChangeProperty(display, request.requestor, request.property, uriList, 8, PropModeReplace,
					reinterpret_cast<const unsigned char*>(uris.data()), static_cast<int>(uris.size()));
				reply.xselection.property = request.property;
			}
			XSendEvent(display, request.requestor, False, NoEventMask, &reply);
			XFlush(display);
		}
	}
	XDestroyWindow(display, source);
	XCloseDisplay(display);
	return finished;
}

// Files dragged from a file manager print as one job, as dropped files do.
TEST(DesktopWindow, FilesDraggedOntoTheWindowPrintAsOneJob)
{
	ScratchDir reference;
	reference.Write("a.txt", "the first file\n");
	reference.Write("b.txt", "the second\tfile\n");
	RunResult headless = run_quillon(reference, "drop a.txt b.txt\n");
	ASSERT_EQ(headless.exitCode, 0) << headless.Describe();
	std::string expected = reference.Read("parallel1.out");

	ScratchDir directory;
	directory.Write("a.txt", "the first file\n");
	directory.Write("b.txt", "the second\tfile\n");
	DesktopRun run(directory);
	std::string window = run.MainWindow();
	ASSERT_FALSE(window.empty());
	EXPECT_TRUE(DragFilesOnto(window, { directory / "a.txt", directory / "b.txt" }));
	EXPECT_TRUE(Eventually([&] { return directory.Read("parallel1.out") == expected; }))
		<< printable(directory.Read("parallel1.out")) << "\nexpected\n" << printable(expected);
	EXPECT_EQ(run.QuitByShortcut(window), 0);
}

// A panel holds nothing back: the window takes commands while it is up, a
// second Print brings the open panel forward instead of opening another,
// and quitting takes the panel away.
TEST(DesktopWindow, PanelsLeaveTheWindowFree)
{
	ScratchDir directory;
	DesktopRun run(directory);
	std::string window = run.MainWindow();
	ASSERT_FALSE(window.empty());
	Xdotool("key ctrl+p");
	std::string panel = run.WaitForWindow("Quillon: Open");
	ASSERT_FALSE(panel.empty());
	run.Focus(window);
	Xdotool("key ctrl+p");
	EXPECT_TRUE(Eventually([&] { return Output("xdotool getwindowfocus") == panel; }))
		<< "the panel did not come forward";
	EXPECT_EQ(Output("xdotool search --onlyvisible --name '^Quillon: Open$' 2>/dev/null"), panel);
	EXPECT_EQ(run.QuitByShortcut(window), 0);
}

// Escape answers an alert; while one is up neither the window's shortcut nor
// its close box gets past it, and the close box, clicked meanwhile, is taken
// once the alert is answered.
TEST(DesktopWindow, AlertHoldsTheWindowUntilItsButtonIsPressed)
{
	ScratchDir directory;
	DesktopRun run(directory);
	std::string window = run.MainWindow();
	ASSERT_FALSE(window.empty());
	Xdotool("key ctrl+n");
	std::string alert = run.WaitForWindow("Printer Alert");
	ASSERT_FALSE(alert.empty());
	run.Focus(alert);
	Xdotool("key Escape");
	EXPECT_TRUE(run.WindowGone("Printer Alert"));

	run.Focus(window);
	Xdotool("key ctrl+n");
	alert = run.WaitForWindow("Printer Alert");
	ASSERT_FALSE(alert.empty());
	RequestClose(window);
	std::this_thread::sleep_for(milliseconds(500));
	EXPECT_TRUE(run.StillRunning());

	run.Focus(alert);
	Xdotool("key Return");
	EXPECT_EQ(run.WaitExit(), 0);
}

// The status bar below the twenty lines, as the window shows it: the pixels
// of its text line, whether the right end of that line holds text (the
// trailing text, of which the end of a job and the wait for a pipe have
// none), and how many pixels of the bar's middle row are filled. The whole
// window is kept as RGB rows for a screenshot.
struct StatusView {
	std::vector<unsigned char> text;
	bool trailing = false;
	int filled = 0;
	std::vector<unsigned char> window;
	int width = 0, height = 0;
};

StatusView
ReadStatus(const std::string& window)
{
	const int kLeft = 13, kRight = 555, kBarRow = 547, kTextTop = 524, kTextBottom = 539, kTrailing = 440;
	StatusView view;
	Display* display = XOpenDisplay(gDisplay.c_str());
	XWindowAttributes attributes;
	XGetWindowAttributes(display, std::stoul(window), &attributes);
	XImage* image = XGetImage(display, std::stoul(window), 0, 0, static_cast<unsigned>(attributes.width),
		static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
	for (int y = 0; image != NULL && y < image->height; y++) {
		for (int x = 0; x < image->width; x++) {
			unsigned long pixel = XGetPixel(image, x, y);
			unsigned char rgb[3] = { static_cast<unsigned char>((pixel & image->red_mask) >> 16),
				static_cast<unsigned char>((pixel & image->green_mask) >> 8),
				static_cast<unsigned char>(pixel & image->blue_mask) };
			view.window.insert(view.window.end(), rgb, rgb + 3);
			if (x < kLeft || x > kRight)
				continue;
			if (y >= kTextTop && y <= kTextBottom) {
				view.text.push_back(rgb[0]);
				view.trailing = view.trailing || (x >= kTrailing && rgb[0] < 100);
			}
			view.filled += y == kBarRow && rgb[2] > 200 && rgb[0] < 100;
		}
	}
	if (image != NULL) {
		view.width = image->width;
		view.height = image->height;
		XDestroyImage(image);
	}
	XCloseDisplay(display);
	return view;
}

// The widest run of columns without text between the first and the last
// written column of the status line: the room between its two sides.
int
GapBetweenSides(const StatusView& view)
{
	const int kColumns = 555 - 13 + 1;
	std::vector<bool> written(kColumns, false);
	for (size_t i = 0; i < view.text.size(); i++)
		written[i % kColumns] = written[i % kColumns] || view.text[i] < 100;
	int first = -1, last = -1, widest = 0, run = 0;
	for (int x = 0; x < kColumns; x++) {
		if (!written[x]) {
			run++;
			continue;
		}
		if (first >= 0)
			widest = std::max(widest, run);
		first = first < 0 ? x : first;
		last = x;
		run = 0;
	}
	return last > first ? widest : 0;
}

// A printer that takes its data slowly holds the job, not the window: the
// close box takes the window away at once, and the program ends once the
// job is done.
TEST(DesktopWindow, ClosedWindowLeavesWhileAJobWaitsForThePrinter)
{
	ScratchDir directory;
	std::string text;
	for (int line = 0; line < 4000; line++)
		text += "line " + std::to_string(line) + " of a listing long enough to fill the pipe\n";
	directory.Write("listing.txt", text);
	// A named pipe stands in for the printer; nothing is read from it until
	// the window is closed, so the job waits in a write.
	std::string printer = directory / "printer";
	ASSERT_EQ(mkfifo(printer.c_str(), 0600), 0);
	int fd = open(printer.c_str(), O_RDONLY | O_NONBLOCK);
	ASSERT_GE(fd, 0);
	DesktopRun run(directory, { { "QUILLON_PARALLEL1", printer } });
	std::string window = run.MainWindow();
	ASSERT_FALSE(window.empty());
	ASSERT_TRUE(run.PrintThroughPanel(directory / "listing.txt"));

	struct pollfd started = { fd, POLLIN, 0 };
	ASSERT_EQ(poll(&started, 1, 10000), 1) << "the job never wrote to the printer";
	// The printer has taken nothing yet: the bar stays empty while its words
	// name the file, which the ticker shows within a quarter of a second.
	std::this_thread::sleep_for(milliseconds(1000));
	RequestClose(window);
	EXPECT_TRUE(run.WindowGone("Quillon Window"));
	EXPECT_TRUE(run.StillRunning());

	std::string printed;
	char buffer[65536];
	for (;;) {
		struct pollfd readable = { fd, POLLIN, 0 };
		if (poll(&readable, 1, 10000) != 1)
			break;
		ssize_t count = read(fd, buffer, sizeof(buffer));
		if (count <= 0)
			break;
		printed.append(buffer, static_cast<size_t>(count));
	}
	close(fd);
	EXPECT_NE(printed.find("line 3999 of a listing"), std::string::npos);
	EXPECT_EQ(run.WaitExit(), 0);
	// Told once on standard error, naming what the status bar showed.
	std::string told = directory.Read("stderr.txt");
	EXPECT_EQ(std::count(told.begin(), told.end(), '\n'), 1) << told;
	EXPECT_NE(told.find("the job goes on until it is done ("), std::string::npos) << told;
	EXPECT_NE(told.find("listing.txt"), std::string::npos) << told;
}

// The port alert's default button is "Quit": it ends the program.
TEST(DesktopWindow, PortAlertQuitEndsTheProgram)
{
	ScratchDir directory;
	directory.Write("notes.txt", "hello\n");
	DesktopRun run(directory, { { "QUILLON_PARALLEL1", directory / "missing/printer" } });
	ASSERT_FALSE(run.MainWindow().empty());
	ASSERT_TRUE(run.PrintThroughPanel(directory / "notes.txt"));
	std::string alert = run.WaitForWindow("PrinterAlert");
	ASSERT_FALSE(alert.empty());
	run.Focus(alert);
	Xdotool("key Return");
	EXPECT_EQ(run.WaitExit(), 0);
}

bool
SavePng(const StatusView& view, const std::string& path)
{
	png_image image = {};
	image.version = PNG_IMAGE_VERSION;
	image.width = static_cast<png_uint_32>(view.width);
	image.height = static_cast<png_uint_32>(view.height);
	image.format = PNG_FORMAT_RGB;
	return png_image_write_to_file(&image, path.c_str(), 0, view.window.data(), 0, NULL) != 0;
}

// The rows, from the top, of the first line of text below the menu bar, in
// device pixels: from its first dark row to the first row without any.
std::pair<int, int>
FirstTextLine(const StatusView& view, int scale)
{
	auto dark = [&](int y) {
		for (int x = 30 * scale; x < 300 * scale && x < view.width; x++) {
			if (view.window[static_cast<size_t>((y * view.width + x) * 3)] < 100)
				return true;
		}
		return false;
	};
	int top = 22 * scale;
	while (top < view.height && !dark(top))
		top++;
	int bottom = top;
	while (bottom < view.height && dark(bottom))
		bottom++;
	return { top, bottom };
}

// The status bar shows the port while idle, moves as a slow printer (a named
// pipe read a piece at a time) takes the job, says so when the printer stops
// reading for a while, and ends full with the job's summary; a screenshot of
// the bar waiting is kept in the build folder.
TEST(DesktopWindow, StatusBarFollowsAJobToASlowPrinter)
{
	ScratchDir directory;
	std::string text;
	for (int line = 0; text.size() < 1200000; line++)
		text += "line " + std::to_string(line) + " of a listing for a printer that takes its time\n";
	// A name far longer than the bar is wide: it gives way to the progress.
	const std::string name = "a-listing-whose-name-is-far-too-long-for-any-status-bar-to-show-whole.txt";
	directory.Write(name, text);
	std::string printer = directory / "printer";
	ASSERT_EQ(mkfifo(printer.c_str(), 0600), 0);
	int fd = open(printer.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
	DesktopRun run(directory, { { "QUILLON_PARALLEL1", printer } });
	std::string window = run.MainWindow();
	ASSERT_FALSE(window.empty());
	StatusView idle;
	EXPECT_TRUE(Eventually([&] { return (idle = ReadStatus(window)).trailing; })) << "no idle status";
	EXPECT_EQ(idle.filled, 0);
	ASSERT_TRUE(run.PrintThroughPanel(directory / name));

	// The printer takes 16 KB every 50 ms while reading, until the job closes
	// the pipe.
	std::atomic<bool> reading{ true };
	std::thread reader([&] {
		char buffer[16384];
		ssize_t count = -1, total = 0;
		// A pipe says 0 before its writer comes as well as after it leaves.
		while (count != 0 || total == 0) {
			std::this_thread::sleep_for(milliseconds(50));
			count = reading ? read(fd, buffer, sizeof(buffer)) : -1;
			total += std::max<ssize_t>(count, 0);
		}
	});
	StatusView moving;
	EXPECT_TRUE(Eventually([&] { return (moving = ReadStatus(window)).filled > 0 && moving.trailing; }))
		<< "the bar did not move";
	EXPECT_TRUE(Eventually([&] { return ReadStatus(window).filled > moving.filled; }))
		<< "the bar stood still while the printer read";

	// The printer pauses: the words change, the bar stands.
	reading = false;
	std::this_thread::sleep_for(milliseconds(300));
	StatusView paused = ReadStatus(window);
	StatusView waiting;
	// The file and its progress stay; the wait is said beside them.
	EXPECT_TRUE(Eventually([&] {
		waiting = ReadStatus(window);
		return waiting.trailing && waiting.filled == paused.filled && waiting.text != paused.text;
	})) << "no word of the waiting";
	EXPECT_TRUE(SavePng(waiting, QUILLON_SCREENSHOTS "/status-bar-waiting.png"));
	EXPECT_GE(GapBetweenSides(waiting), 8) << "the two sides of the bar run into each other";

	reading = true;
	reader.join();
	close(fd);
	EXPECT_TRUE(Eventually([&] {
		StatusView end = ReadStatus(window);
		return end.filled > 540 && !end.trailing && end.text != waiting.text;
	})) << "no end summary";
	EXPECT_EQ(run.QuitByShortcut(window), 0);
}

// At a scale of 2 the window keeps its layout and is twice as large in
// device pixels, its text drawn at twice the size; screenshots of both
// scales are kept in the build folder.
TEST(DesktopWindow, ScalesWithTheScreen)
{
	std::pair<int, int> lines[2];
	for (int scale : { 1, 2 }) {
		ScratchDir directory;
		DesktopRun run(directory, { { "GDK_SCALE", std::to_string(scale) } });
		std::string window = run.MainWindow();
		ASSERT_FALSE(window.empty());
		std::string size = std::to_string(569 * scale);
		EXPECT_TRUE(Eventually([&] {
			return Output("xdotool getwindowgeometry " + window).find("Geometry: " + size + "x" + size)
				!= std::string::npos;
		})) << Output("xdotool getwindowgeometry " + window);
		StatusView view;
		ASSERT_TRUE(Eventually([&] { return (view = ReadStatus(window)).trailing || scale == 2; }));
		std::this_thread::sleep_for(milliseconds(300));
		view = ReadStatus(window);
		EXPECT_TRUE(SavePng(view, QUILLON_SCREENSHOTS "/desktop-scale" + std::to_string(scale) + ".png"));
		lines[scale - 1] = FirstTextLine(view, scale);
		EXPECT_EQ(run.QuitByShortcut(window), 0);
	}
	int normal = lines[0].second - lines[0].first, doubled = lines[1].second - lines[1].first;
	EXPECT_GT(normal, 5);
	EXPECT_GE(doubled, 2 * normal - 2) << normal << " rows at scale 1, " << doubled << " at scale 2";
	EXPECT_LE(doubled, 2 * normal + 2) << normal << " rows at scale 1, " << doubled << " at scale 2";
	EXPECT_NEAR(lines[1].first, 2 * lines[0].first, 3);
}

// The window with the given position and size, as xdotool gives them, of a
// window that is not the main one: the Setup menu once it is open.
struct Placed {
	int x = 0, y = 0, width = 0, height = 0;
};

Placed
PlaceOf(const std::string& window)
{
	Placed placed;
	std::string geometry = Output("xdotool getwindowgeometry " + window);
	sscanf(geometry.c_str() + geometry.find("Position: "), "Position: %d,%d", &placed.x, &placed.y);
	sscanf(geometry.c_str() + geometry.find("Geometry: "), "Geometry: %dx%d", &placed.width, &placed.height);
	return placed;
}

// Preview, of the Setup menu, chosen with the mouse: the file chosen in the
// panel comes up in a window of its own, Page Down turns the page, Ctrl+W
// closes it and leaves the main window. Its screenshots at scales 1 and 2
// are kept in the build folder.
TEST(DesktopWindow, PreviewWindowAtEachScale)
{
	std::string text;
	for (int line = 1; line <= 150; line++)
		text += "Line " + std::to_string(line) + " of the listing\n";
	for (int scale : { 1, 2 }) {
		ScratchDir directory;
		directory.Write("listing.txt", text);
		DesktopRun run(directory, { { "GDK_SCALE", std::to_string(scale) } });
		std::string window = run.MainWindow();
		ASSERT_FALSE(window.empty());
		// "Setup" is the menu bar's fifth title; its menu ends with Preview,
		// Remember Settings and Cancel Printing, each in a section of its
		// own, whatever printers are found above them.
		std::string shown = Output("xdotool search --onlyvisible --class '' 2>/dev/null");
		std::string menu;
		// The bar is made anew once the search for printers has ended, which
		// may close a menu that opened just before: a click that opened
		// nothing is given again, three times at most.
		for (int click = 0; click < 3 && menu.empty(); click++) {
			Xdotool("mousemove --window " + window + " " + std::to_string(321 * scale) + " "
				+ std::to_string(9 * scale) + " click 1");
			for (int look = 0; look < 30 && menu.empty(); look++) {
				for (const std::string& id : lines_of_output(Output("xdotool search --onlyvisible --class '' 2>/dev/null"))) {
					if (shown.find(id) == std::string::npos && PlaceOf(id).height > 100 * scale)
						menu = id;
				}
				std::this_thread::sleep_for(milliseconds(100));
			}
		}
		ASSERT_FALSE(menu.empty()) << "the Setup menu did not open";
		Placed place = PlaceOf(menu);
		Xdotool("mousemove " + std::to_string(place.x + 40 * scale) + " "
			+ std::to_string(place.y + place.height - 112 * scale) + " click 1");
		std::string panel = run.WaitForWindow("Quillon: Open");
		ASSERT_FALSE(panel.empty()) << "Preview opened no panel";
		run.Focus(panel);
		Xdotool("key ctrl+l");
		Xdotool("type --delay 20 " + directory / "listing.txt");
		Xdotool("key Return");

		std::string preview = run.WaitForWindow("Preview: listing.txt");
		ASSERT_FALSE(preview.empty()) << "no preview window";
		std::string size = std::to_string(580 * scale) + "x" + std::to_string(800 * scale);
		EXPECT_TRUE(Eventually([&] {
			return Output("xdotool getwindowgeometry " + preview).find("Geometry: " + size) != std::string::npos;
		})) << Output("xdotool getwindowgeometry " + preview);
		std::this_thread::sleep_for(milliseconds(300));
		StatusView first = ReadStatus(preview);
		EXPECT_TRUE(SavePng(first, QUILLON_SCREENSHOTS "/preview-scale" + std::to_string(scale) + ".png"));

		run.Focus(preview);
		Xdotool("key Next");
		StatusView second;
		EXPECT_TRUE(Eventually([&] { return (second = ReadStatus(preview)).window != first.window; }))
			<< "Page Down did not turn the page";
		EXPECT_TRUE(SavePng(second, QUILLON_SCREENSHOTS "/preview-page2-scale" + std::to_string(scale) + ".png"));

		Xdotool("key ctrl+w");
		EXPECT_TRUE(run.WindowGone("Preview: listing.txt"));
		EXPECT_TRUE(run.StillRunning());
		EXPECT_EQ(run.QuitByShortcut(window), 0);
	}
}

// On Wayland (weston's headless compositor, on a socket of the test's own)
// the window comes up: the program names its toplevel, the compositor
// configures it and the program attaches a drawn buffer.
TEST(DesktopWayland, WindowAppearsOnAHeadlessCompositor)
{
	ScratchDir runtime;
	chmod(runtime.Path().c_str(), 0700);
	pid_t compositor = fork();
	ASSERT_GE(compositor, 0);
	if (compositor == 0) {
		setenv("XDG_RUNTIME_DIR", runtime.Path().c_str(), 1);
		unsetenv("DISPLAY");
		int log = open((runtime / "weston.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
		dup2(log, 1);
		dup2(log, 2);
		execlp("weston", "weston", "--backend=headless-backend.so", "--socket=quillon-test",
			"--idle-time=0", static_cast<char*>(NULL));
		_exit(127);
	}
	bool up = Eventually([&] {
		return runtime.Exists("quillon-test") || waitpid(compositor, NULL, WNOHANG) == compositor;
	});
	if (!runtime.Exists("quillon-test")) {
		kill(compositor, SIGTERM);
		waitpid(compositor, NULL, 0);
		GTEST_SKIP() << "weston's headless backend did not start: " << runtime.Read("weston.log");
	}
	ASSERT_TRUE(up);
	{
		ScratchDir directory;
		DesktopRun run(directory, { { "XDG_RUNTIME_DIR", runtime.Path() }, { "WAYLAND_DISPLAY", "quillon-test" },
			{ "GDK_BACKEND", "wayland" }, { "DISPLAY", "" }, { "WAYLAND_DEBUG", "1" } });
		auto said = [&](const std::string& what) {
			return directory.Read("stderr.txt").find(what) != std::string::npos;
		};
		EXPECT_TRUE(Eventually([&] {
			return said("xdg_toplevel@") && said(".set_title(\"Quillon Window\")") && said(".configure(")
				&& said("wl_surface@") && said(".attach(wl_buffer@");
		})) << "the window did not come up on Wayland";
		EXPECT_TRUE(run.StillRunning());
	}
	kill(compositor, SIGTERM);
	waitpid(compositor, NULL, 0);
}

TEST(DroppedFiles, UriListsBecomePaths)
{
	EXPECT_EQ(DroppedPaths("file:///home/ann/notes.txt\r\nfile:///tmp/a%20b%25.txt\r\n"),
		(std::vector<std::string>{ "/home/ann/notes.txt", "/tmp/a b%.txt" }));
	EXPECT_EQ(DroppedPaths("file://printhost/srv/list.txt\n"),
		(std::vector<std::string>{ "/srv/list.txt" }));
	EXPECT_EQ(DroppedPaths("/plain/path\n# a comment\nhttp://example.com/x\nrelative\n"),
		(std::vector<std::string>{ "/plain/path" }));
	// A broken escape is kept as it stands; an empty list gives no files.
	EXPECT_EQ(DroppedPaths("file:///a%2"), (std::vector<std::string>{ "/a%2" }));
	EXPECT_TRUE(DroppedPaths("").empty());
}

}  // namespace
