/* How long a program takes from its start to its window on the screen: the
 * X server tells of every top-level window mapped, so nothing polls and the
 * watcher takes no processor time from the program it measures.
 * Usage: window_shown TITLE RUNS PROGRAM [ARGUMENT...]
 * Each run starts PROGRAM, waits (at most 10 s) until a window named TITLE
 * is mapped, prints the milliseconds and ends the program. */
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static double
now_ms(void)
{
	struct timespec t;
	clock_gettime(CLOCK_MONOTONIC, &t);
	return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

/* The window the server names, or one of its children: a window manager
 * maps its frame with the program's window inside. */
static int
is_named(Display* display, Window window, const char* title, int depth)
{
	char* name = NULL;
	if (XFetchName(display, window, &name) && name != NULL) {
		int same = strcmp(name, title) == 0;
		XFree(name);
		if (same)
			return 1;
	}
	if (depth == 0)
		return 0;
	Window root, parent, *children = NULL;
	unsigned int count = 0;
	int found = 0;
	if (XQueryTree(display, window, &root, &parent, &children, &count)) {
		for (unsigned int i = 0; i < count && !found; i++)
			found = is_named(display, children[i], title, depth - 1);
		if (children != NULL)
			XFree(children);
	}
	return found;
}

static int
ignore_errors(Display* display, XErrorEvent* error)
{
	(void)display;
	(void)error;
	return 0;
}

int
main(int argc, char* argv[])
{
	if (argc < 4) {
		fprintf(stderr, "usage: window_shown TITLE RUNS PROGRAM [ARGUMENT...]\n");
		return 2;
	}
	const char* title = argv[1];
	int runs = atoi(argv[2]);
	Display* display = XOpenDisplay(NULL);
	if (display == NULL) {
		fprintf(stderr, "window_shown: no X display\n");
		return 1;
	}
	XSetErrorHandler(ignore_errors);
	XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
	XSync(display, True);
	int failed = 0;
	for (int run = 0; run < runs; run++) {
		double start = now_ms();
		pid_t child = fork();
		if (child == 0) {
			execvp(argv[3], argv + 3);
			_exit(127);
		}
		double shown = -1;
		while (shown < 0 && now_ms() - start < 10000) {
			if (!XPending(display)) {
				struct pollfd wait = { ConnectionNumber(display), POLLIN, 0 };
				poll(&wait, 1, 100);
				continue;
			}
			XEvent event;
			XNextEvent(display, &event);
			if (event.type == MapNotify && is_named(display, event.xmap.window, title, 2))
				shown = now_ms() - start;
		}
		kill(child, SIGTERM);
		waitpid(child, NULL, 0);
		if (shown < 0) {
			fprintf(stderr, "window_shown: no window named %s in 10 s\n", title);
			failed = 1;
			break;
		}
		printf("%.1f\n", shown);
		fflush(stdout);
	}
	XCloseDisplay(display);
	return failed;
}
