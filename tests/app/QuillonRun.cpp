#include "QuillonRun.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>
#include <tuple>
#include <sys/resource.h>
#include <unistd.h>

namespace fs = std::filesystem;

ScratchDir::ScratchDir()
{
	std::string pattern = (fs::temp_directory_path() / "quillon-app-XXXXXX").string();
	std::vector<char> buffer(pattern.begin(), pattern.end());
	buffer.push_back('\0');
	if (mkdtemp(buffer.data()) == NULL)
		throw std::runtime_error(std::string("mkdtemp: ") + strerror(errno));
	fPath = buffer.data();
}

ScratchDir::~ScratchDir()
{
	std::error_code ignored;
	fs::remove_all(fPath, ignored);
}

std::string
ScratchDir::Write(const std::string& name, const std::string& content) const
{
	std::string path = *this / name;
	fs::create_directories(fs::path(path).parent_path());
	std::ofstream file(path, std::ios::binary | std::ios::trunc);
	file.write(content.data(), static_cast<std::streamsize>(content.size()));
	if (!file)
		throw std::runtime_error("cannot write " + path);
	return path;
}

bool
ScratchDir::Exists(const std::string& name) const
{
	return fs::exists(*this / name);
}

std::string
ScratchDir::Read(const std::string& name) const
{
	std::ifstream file(*this / name, std::ios::binary);
	return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::vector<std::string>
RunResult::Events(const std::string& kind) const
{
	std::vector<std::string> found;
	for (const std::string& line : lines) {
		if (line.compare(0, kind.size(), kind) == 0
			&& (line.size() == kind.size() || line[kind.size()] == '\t'))
			found.push_back(line);
	}
	return found;
}

std::string
RunResult::Describe() const
{
	std::ostringstream text;
	if (!started)
		text << "the program did not start (is QUILLON_BINARY set?)\n";
	text << "started=" << started << " timedOut=" << timedOut << " exited=" << exited
		 << " exitCode=" << exitCode << " signal=" << signal << "\n--- stdout ---\n"
		 << out << "--- stderr ---\n"
		 << err;
	return text.str();
}

std::string
quillon_binary()
{
	const char* binary = getenv("QUILLON_BINARY");
	return binary != NULL ? binary : "";
}

std::vector<std::string>
split_event(const std::string& line)
{
	std::vector<std::string> words;
	size_t start = 0;
	for (;;) {
		size_t tab = line.find('\t', start);
		words.push_back(line.substr(start, tab == std::string::npos ? std::string::npos
																	 : tab - start));
		if (tab == std::string::npos)
			return words;
		start = tab + 1;
	}
}

std::string
quote_word(const std::string& word)
{
	std::string quoted = "\"";
	for (char c : word) {
		if (c == '"' || c == '\\')
			quoted += '\\';
		quoted += c;
	}
	return quoted + "\"";
}

namespace {

void
set_nonblocking(int fd)
{
	fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
}

void
split_lines(RunResult& result)
{
	size_t start = 0;
	while (start < result.out.size()) {
		size_t end = result.out.find('\n', start);
		if (end == std::string::npos) {
			result.lines.push_back(result.out.substr(start));
			break;
		}
		result.lines.push_back(result.out.substr(start, end - start));
		start = end + 1;
	}
}

}  // namespace

RunResult
run_quillon(const ScratchDir& directory, const std::string& script, const RunOptions& options)
{
	RunResult result;
	std::string binary = quillon_binary();
	if (binary.empty())
		return result;

	// A program that quits before it has read all of its script must not
	// take the test down with it.
	signal(SIGPIPE, SIG_IGN);

	int input[2], output[2], errors[2];
	if (pipe(input) != 0 || pipe(output) != 0 || pipe(errors) != 0)
		return result;

	pid_t child = fork();
	if (child < 0)
		return result;
	if (child == 0) {
		dup2(input[0], STDIN_FILENO);
		dup2(output[1], STDOUT_FILENO);
		dup2(errors[1], STDERR_FILENO);
		for (int fd : {input[0], input[1], output[0], output[1], errors[0], errors[1]})
			close(fd);
		if (options.unprivileged && geteuid() == 0
			&& (setgroups(0, NULL) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
			_exit(126);
		if (chdir(directory.Path().c_str()) != 0)
			_exit(126);
		if (options.fileSizeLimit > 0) {
			rlimit limit = { static_cast<rlim_t>(options.fileSizeLimit), static_cast<rlim_t>(options.fileSizeLimit) };
			signal(SIGXFSZ, SIG_IGN);
			setrlimit(RLIMIT_FSIZE, &limit);
		}
		setenv("QUILLON_PLATFORM", "headless", 1);
		// Nor the user's own ports file or kept settings.
		setenv("XDG_CONFIG_HOME", (directory.Path() + "/config").c_str(), 1);
		// No test reaches the machine's own printers: the four ports lead to
		// files in the directory unless the test says otherwise.
		setenv("QUILLON_PARALLEL1", "parallel1.out", 1);
		setenv("QUILLON_PARALLEL2", "parallel2.out", 1);
		setenv("QUILLON_SERIAL1", "serial1.out", 1);
		setenv("QUILLON_SERIAL2", "serial2.out", 1);
		unsetenv("DISPLAY");
		unsetenv("WAYLAND_DISPLAY");
		for (const auto& [name, value] : options.environment)
			setenv(name.c_str(), value.c_str(), 1);
		std::vector<char*> argv;
		argv.push_back(const_cast<char*>(binary.c_str()));
		for (const std::string& argument : options.arguments)
			argv.push_back(const_cast<char*>(argument.c_str()));
		argv.push_back(NULL);
		execv(binary.c_str(), argv.data());
		_exit(127);
	}
	result.started = true;
	close(input[0]);
	close(output[1]);
	close(errors[1]);
	set_nonblocking(input[1]);
	set_nonblocking(output[0]);
	set_nonblocking(errors[0]);

	auto started = std::chrono::steady_clock::now();
	auto deadline = started + std::chrono::milliseconds(options.timeoutMilliseconds);
	auto signalAt = started + std::chrono::milliseconds(options.signalAfterMilliseconds);
	std::chrono::steady_clock::time_point signalled;
	bool signalPending = options.signalNumber != 0;
	size_t written = 0;
	std::string toWrite = script;
	auto laterAt = started + std::chrono::milliseconds(options.laterAfterMilliseconds);
	bool laterPending = !options.laterScript.empty();
	int inputFd = input[1];
	if (script.empty() && !options.keepInputOpen && !laterPending) {
		close(inputFd);
		inputFd = -1;
	}
	int outFd = output[0], errFd = errors[0];

	while (outFd >= 0 || errFd >= 0) {
		auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
			deadline - std::chrono::steady_clock::now())
						.count();
		if (left <= 0) {
			result.timedOut = true;
			kill(child, SIGKILL);
			break;
		}
		if (signalPending && std::chrono::steady_clock::now() >= signalAt) {
			kill(child, options.signalNumber);
			signalled = std::chrono::steady_clock::now();
			signalPending = false;
		}
		if (signalPending) {
			left = std::min<long long>(left, std::chrono::duration_cast<std::chrono::milliseconds>(
				signalAt - std::chrono::steady_clock::now()).count() + 1);
		}
		if (laterPending && std::chrono::steady_clock::now() >= laterAt) {
			toWrite += options.laterScript;
			laterPending = false;
		}
		if (laterPending) {
			left = std::min<long long>(left, std::chrono::duration_cast<std::chrono::milliseconds>(
				laterAt - std::chrono::steady_clock::now()).count() + 1);
		}
		pollfd fds[3];
		nfds_t count = 0;
		int inputSlot = -1, outSlot = -1, errSlot = -1;
		if (inputFd >= 0 && written < toWrite.size()) {
			inputSlot = static_cast<int>(count);
			fds[count++] = {inputFd, POLLOUT, 0};
		}
		if (outFd >= 0) {
			outSlot = static_cast<int>(count);
			fds[count++] = {outFd, POLLIN, 0};
		}
		if (errFd >= 0) {
			errSlot = static_cast<int>(count);
			fds[count++] = {errFd, POLLIN, 0};
		}
		int ready = poll(fds, count, static_cast<int>(std::min<long long>(left, 200)));
		if (ready < 0 && errno != EINTR)
			break;
		if (ready <= 0)
			continue;

		if (inputSlot >= 0 && (fds[inputSlot].revents & (POLLOUT | POLLERR | POLLHUP)) != 0) {
			ssize_t n = write(inputFd, toWrite.data() + written, toWrite.size() - written);
			if (n > 0)
				written += static_cast<size_t>(n);
			else if (n < 0 && errno != EAGAIN && errno != EINTR)
				written = toWrite.size();  // the program closed its input
			if (written == toWrite.size() && !laterPending && !options.keepInputOpen) {
				close(inputFd);
				inputFd = -1;
			}
		}
		for (auto [slot, fd, text] : {std::make_tuple(outSlot, &outFd, &result.out),
				 std::make_tuple(errSlot, &errFd, &result.err)}) {
			if (slot < 0 || (fds[slot].revents & (POLLIN | POLLHUP | POLLERR)) == 0)
				continue;
			char buffer[4096];
			ssize_t n = read(*fd, buffer, sizeof(buffer));
			if (n > 0)
				text->append(buffer, static_cast<size_t>(n));
			else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
				close(*fd);
				*fd = -1;
			}
		}
	}
	for (int fd : {inputFd, outFd, errFd}) {
		if (fd >= 0)
			close(fd);
	}

	int status = 0;
	while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
	}
	if (options.signalNumber != 0 && !signalPending) {
		result.millisecondsAfterSignal = static_cast<long>(std::chrono::duration_cast<
			std::chrono::milliseconds>(std::chrono::steady_clock::now() - signalled).count());
	}
	if (WIFEXITED(status)) {
		result.exited = true;
		result.exitCode = WEXITSTATUS(status);
	} else if (WIFSIGNALED(status))
		result.signal = WTERMSIG(status);
	split_lines(result);
	return result;
}

std::string
hex_bytes(const std::string& pairs)
{
	std::string bytes;
	std::istringstream words(pairs);
	std::string pair;
	while (words >> pair)
		bytes += static_cast<char>(std::stoi(pair, nullptr, 16));
	return bytes;
}

std::string
printable(const std::string& bytes)
{
	static const char kDigits[] = "0123456789ABCDEF";
	std::string text;
	for (unsigned char c : bytes) {
		if (!text.empty())
			text += ' ';
		text += kDigits[c >> 4];
		text += kDigits[c & 15];
	}
	return text;
}
