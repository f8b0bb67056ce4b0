#include "PreviewPort.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "SettingsStore.h"

extern char** environ;

namespace {

const char kPrefix[] = "preview:";

struct PreviewPipe
{
	int descriptor;
	pid_t renderer;
};

ssize_t WritePipe(void* cookie, const char* bytes, size_t count)
{
	PreviewPipe* pipe = static_cast<PreviewPipe*>(cookie);
	size_t written = 0;
	while (written < count) {
		ssize_t done = write(pipe->descriptor, bytes + written, count - written);
		if (done < 0) {
			if (errno == EINTR)
				continue;
			return written > 0 ? static_cast<ssize_t>(written) : -1;
		}
		written += static_cast<size_t>(done);
	}
	return static_cast<ssize_t>(written);
}

int ClosePipe(void* cookie)
{
	PreviewPipe* pipe = static_cast<PreviewPipe*>(cookie);
	close(pipe->descriptor);
	int status = 0;
	pid_t ended;
	do {
		ended = waitpid(pipe->renderer, &status, 0);
	} while (ended < 0 && errno == EINTR);
	delete pipe;
	if (ended < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
		errno = EIO;
		return -1;
	}
	return 0;
}

} // namespace

bool is_preview_port(const std::string& target)
{
	return target.size() > sizeof(kPrefix) - 1 &&
	       target.compare(0, sizeof(kPrefix) - 1, kPrefix) == 0;
}

std::string preview_renderer_path()
{
	char self[PATH_MAX];
	ssize_t length = readlink("/proc/self/exe", self, sizeof(self) - 1);
	if (length <= 0)
		return "quillon-render";
	self[length] = '\0';
	std::string directory(self);
	directory = directory.substr(0, directory.rfind('/') + 1);
	for (const char* place : {"", "../lib/quillon/"}) {
		std::string path = directory + place + "quillon-render";
		if (access(path.c_str(), X_OK) == 0)
			return path;
	}
	return directory + "quillon-render";
}

FILE* open_preview_port(const std::string& target)
{
	std::string model;
	{
		std::lock_guard<std::mutex> lock(gStoreLock);
		model = PrintName;
	}
	std::string pdf = target.substr(sizeof(kPrefix) - 1);
	std::string renderer = preview_renderer_path();

	int ends[2];
	if (pipe2(ends, O_CLOEXEC) != 0)
		return nullptr;
	// The renderer reads the pipe; what it says goes to standard error, as
	// standard output may be the headless platform's events.
	posix_spawn_file_actions_t actions;
	posix_spawn_file_actions_init(&actions);
	posix_spawn_file_actions_adddup2(&actions, ends[0], STDIN_FILENO);
	posix_spawn_file_actions_adddup2(&actions, STDERR_FILENO, STDOUT_FILENO);
	char* arguments[] = {const_cast<char*>(renderer.c_str()), const_cast<char*>(model.c_str()),
	                     const_cast<char*>("-"), const_cast<char*>(pdf.c_str()), nullptr};
	pid_t child;
	int failed = posix_spawn(&child, renderer.c_str(), &actions, nullptr, arguments, environ);
	posix_spawn_file_actions_destroy(&actions);
	close(ends[0]);
	if (failed != 0) {
		close(ends[1]);
		errno = failed;
		return nullptr;
	}
	PreviewPipe* cookie = new PreviewPipe{ends[1], child};
	cookie_io_functions_t functions = {};
	functions.write = WritePipe;
	functions.close = ClosePipe;
	FILE* file = fopencookie(cookie, "w", functions);
	if (file == nullptr) {
		int error = errno;
		ClosePipe(cookie);
		errno = error;
	}
	return file;
}
