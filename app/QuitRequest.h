// Every way out that the user or the system asks for goes one way: File Quit,
// SIGTERM, SIGINT and SIGHUP. The print job's output is taken away at once (a
// write that waits for a printer that stopped reading gives up, the rest of
// the job is abandoned, the output is closed once) and the application is
// asked to quit. The close box is not one of them: the job finishes first.
#pragma once

// Runs on the window's thread (File Quit) or on the signal thread.
void RequestQuit(int exitStatus);

// The program's own exits, set up by main: ignores SIGPIPE (a printer that
// hangs up fails a write instead of ending the process) and takes SIGTERM,
// SIGINT and SIGHUP away from every thread started later, for one thread of
// its own to turn into RequestQuit(128 + the signal's number). Once a quit
// was asked for, the program ends within about a second even when a call
// that nothing can cut short waits (a write to a printer device, a read from
// a pipe) or, for a signal, when an alert waits for an answer.
class QuitSignals {
public:
	QuitSignals();
	// Starts listening; the application exists from now on until ExitStatus.
	void Watch();
	// The application has quit: the status the process exits with, 0 unless
	// a signal asked for the quit.
	int ExitStatus();
};
