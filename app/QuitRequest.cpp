#include "QuitRequest.h"

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <mutex>
#include <pthread.h>
#include <thread>
#include <unistd.h>

#include <Application.h>
#include <PortStream.h>

#include "LineBuffer.h"

namespace {

const int kQuitSignals[] = { SIGTERM, SIGINT, SIGHUP };
const std::chrono::milliseconds kQuitDeadline(1000);

std::mutex sLock;
std::condition_variable sFinished;
bool sWatching = false;       // main set the program's exits up
bool sApplicationAlive = false;
bool sQuitRequested = false;
bool sDone = false;
int sExitStatus = 0;
bool sBySignal = false;

// Ends the process when the orderly way out takes too long: a signal's quit
// after the deadline whatever holds it, File Quit only while a call waits
// that nothing can cut short (an alert up then waits for its user).
void
WatchDeadline()
{
	auto deadline = std::chrono::steady_clock::now() + kQuitDeadline;
	std::unique_lock<std::mutex> lock(sLock);
	for (;;) {
		if (sFinished.wait_until(lock, deadline, [] { return sDone; }))
			return;
		if (sBySignal || WaitingCall::UnderWay())
			_exit(sExitStatus);
		deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(50);
	}
}

void
ListenForSignals()
{
	sigset_t signals;
	sigemptyset(&signals);
	for (int number : kQuitSignals)
		sigaddset(&signals, number);
	for (;;) {
		int number = 0;
		if (sigwait(&signals, &number) != 0)
			continue;
		{
			std::lock_guard<std::mutex> lock(sLock);
			sBySignal = true;
		}
		RequestQuit(128 + number);
	}
}

}  // namespace

void
RequestQuit(int exitStatus)
{
	bool startDeadline = false;
	bool post = true;
	{
		std::lock_guard<std::mutex> lock(sLock);
		if (!sQuitRequested) {
			sQuitRequested = true;
			sExitStatus = exitStatus;
			startDeadline = sWatching;
		}
		if (sWatching)
			post = sApplicationAlive;
		// A job writing meanwhile gives up its write and the output is closed
		// right after it; no byte is written once it is closed.
		QuitClosePrinterPort();
		if (post && be_app != NULL)
			be_app->PostMessage(B_QUIT_REQUESTED);
	}
	if (startDeadline)
		std::thread(WatchDeadline).detach();
}

QuitSignals::QuitSignals()
{
	signal(SIGPIPE, SIG_IGN);
	sigset_t signals;
	sigemptyset(&signals);
	for (int number : kQuitSignals)
		sigaddset(&signals, number);
	pthread_sigmask(SIG_BLOCK, &signals, NULL);
}

void
QuitSignals::Watch()
{
	{
		std::lock_guard<std::mutex> lock(sLock);
		sWatching = true;
		sApplicationAlive = true;
	}
	std::thread(ListenForSignals).detach();
}

int
QuitSignals::ExitStatus()
{
	std::lock_guard<std::mutex> lock(sLock);
	sApplicationAlive = false;
	sDone = true;
	sFinished.notify_all();
	return sExitStatus;
}
