#include "PortChoices.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>


namespace {

// The job's thread reads what the window's thread chooses.
std::mutex sLock;
std::map<std::string, std::string> sChosen;    // in the window, this run
std::map<std::string, std::string> sFromFile;  // the ports file, as read at start

// A ports file is a few lines; anything much longer is not one.
const size_t kLongestPortsFile = 64 * 1024;

bool
ReadWhole(const std::string& path, std::string* text, int* error)
{
	int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
	if (descriptor < 0) {
		*error = errno;
		return false;
	}
	text->clear();
	char buffer[4096];
	ssize_t got;
	while ((got = read(descriptor, buffer, sizeof(buffer))) > 0 || (got < 0 && errno == EINTR)) {
		if (got < 0)
			continue;
		text->append(buffer, static_cast<size_t>(got));
		if (text->size() > kLongestPortsFile) {
			close(descriptor);
			*error = EFBIG;
			return false;
		}
	}
	*error = got < 0 ? errno : 0;
	close(descriptor);
	return got == 0;
}

// A line's name and value; false for a line that sets nothing (blank or a
// comment). The name is held to its letters, the value kept as written.
bool
SplitLine(std::string line, std::string* name, std::string* value, bool* wellFormed)
{
	if (!line.empty() && line.back() == '\r')
		line.pop_back();
	size_t first = line.find_first_not_of(" \t");
	if (first == std::string::npos || line[first] == '#')
		return false;
	size_t equals = line.find('=');
	*wellFormed = equals != std::string::npos;
	if (!*wellFormed)
		return true;
	*name = line.substr(first, equals > first ? equals - first : 0);
	name->erase(name->find_last_not_of(" \t") + 1);
	*value = line.substr(equals + 1);
	return true;
}

bool
MakeFolder(const std::string& folder, std::string* error)
{
	size_t slash = folder.rfind('/');
	if (slash != std::string::npos && slash > 0) {
		struct stat info;
		std::string parent = folder.substr(0, slash);
		if (stat(parent.c_str(), &info) != 0 && !MakeFolder(parent, error))
			return false;
	}
	if (mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST)
		return true;
	*error = "could not make " + folder + ": " + strerror(errno);
	return false;
}

}  // namespace

std::string
port_variable_value(const char* variable)
{
	{
		std::lock_guard<std::mutex> lock(sLock);
		auto chosen = sChosen.find(variable);
		if (chosen != sChosen.end() && !chosen->second.empty())
			return chosen->second;
	}
	const char* set = getenv(variable);
	if (set != NULL && set[0] != '\0')
		return set;
	std::lock_guard<std::mutex> lock(sLock);
	auto kept = sFromFile.find(variable);
	return kept != sFromFile.end() ? kept->second : "";
}

std::string
config_file_path(const char* name)
{
	const char* config = getenv("XDG_CONFIG_HOME");
	// A relative XDG_CONFIG_HOME is no base directory, and is passed over.
	if (config != NULL && config[0] == '/')
		return std::string(config) + "/quillon/" + name;
	const char* home = getenv("HOME");
	if (home != NULL && home[0] != '\0')
		return std::string(home) + "/.config/quillon/" + name;
	return "";
}

bool
write_file_atomically(const std::string& path, const std::string& text, std::string* error)
{
	size_t slash = path.rfind('/');
	if (slash != std::string::npos && slash > 0 && !MakeFolder(path.substr(0, slash), error))
		return false;
	std::string fresh = path + ".new-" + std::to_string(getpid());
	int descriptor = open(fresh.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
	if (descriptor < 0) {
		*error = "could not write " + path + ": " + strerror(errno);
		return false;
	}
	size_t written = 0;
	while (written < text.size()) {
		ssize_t wrote = write(descriptor, text.data() + written, text.size() - written);
		if (wrote < 0 && errno == EINTR)
			continue;
		if (wrote <= 0)
			break;
		written += static_cast<size_t>(wrote);
	}
	int failure = written < text.size() ? (errno != 0 ? errno : EIO) : 0;
	if (failure == 0 && fsync(descriptor) != 0)
		failure = errno;
	if (close(descriptor) != 0 && failure == 0)
		failure = errno;
	if (failure == 0 && rename(fresh.c_str(), path.c_str()) != 0)
		failure = errno;
	if (failure != 0) {
		unlink(fresh.c_str());
		*error = "could not write " + path + ": " + strerror(failure);
		return false;
	}
	return true;
}

std::vector<std::string>
load_port_choices(bool (*isPortVariable)(const std::string& name))
{
	std::vector<std::string> problems;
	std::string path = config_file_path("ports");
	std::string text;
	int error = 0;
	if (path.empty())
		return problems;
	// A file that is not there, or in a folder the user may not look into,
	// sets nothing.
	struct stat info;
	if (stat(path.c_str(), &info) != 0)
		return problems;
	if (!ReadWhole(path, &text, &error)) {
		problems.push_back("could not read " + path + ": " + strerror(error));
		return problems;
	}
	std::map<std::string, std::string> read;
	size_t start = 0;
	for (int number = 1; start < text.size(); number++) {
		size_t end = text.find('\n', start);
		if (end == std::string::npos)
			end = text.size();
		std::string name, value;
		bool wellFormed = false;
		std::string where = path + " line " + std::to_string(number) + ": ";
		if (SplitLine(text.substr(start, end - start), &name, &value, &wellFormed)) {
			if (!wellFormed)
				problems.push_back(where + "not NAME=VALUE");
			else if (!isPortVariable(name))
				problems.push_back(where + (name.empty() ? "no name" : name + " is no port variable"));
			else if (read.count(name) != 0)
				problems.push_back(where + name + " is set twice; the later value holds");
			if (wellFormed && isPortVariable(name))
				read[name] = value;
		}
		start = end + 1;
	}
	std::lock_guard<std::mutex> lock(sLock);
	sFromFile = std::move(read);
	return problems;
}

bool
choose_port(const char* variable, const std::string& value, std::string* error)
{
	{
		std::lock_guard<std::mutex> lock(sLock);
		sChosen[variable] = value;
	}
	if (value.find_first_of("\r\n") != std::string::npos) {
		*error = "a name with a line break cannot be kept in the ports file";
		return false;
	}
	std::string path = config_file_path("ports");
	if (path.empty()) {
		*error = "neither XDG_CONFIG_HOME nor HOME is set, so the choice is kept for this run only";
		return false;
	}
	// The user's own lines stay; the variable's line takes the new value in
	// its place, or comes last.
	std::string text, kept;
	int readError = 0;
	if (!ReadWhole(path, &text, &readError) && readError != ENOENT) {
		*error = "could not read " + path + ": " + strerror(readError);
		return false;
	}
	const std::string line = std::string(variable) + "=" + value;
	bool placed = false;
	size_t start = 0;
	while (start < text.size()) {
		size_t end = text.find('\n', start);
		if (end == std::string::npos)
			end = text.size();
		std::string name, old;
		bool wellFormed = false;
		std::string each = text.substr(start, end - start);
		if (SplitLine(each, &name, &old, &wellFormed) && wellFormed && name == variable) {
			if (!placed)
				kept += line + "\n";
			placed = true;
		} else
			kept += each + "\n";
		start = end + 1;
	}
	if (!placed)
		kept += line + "\n";
	return write_file_atomically(path, kept, error);
}
