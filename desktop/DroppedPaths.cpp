#include "DroppedPaths.h"

#include <cctype>

std::vector<std::string>
DroppedPaths(const std::string& all)
{
	std::vector<std::string> paths;
	size_t start = 0;
	while (start < all.size()) {
		size_t end = all.find('\n', start);
		if (end == std::string::npos)
			end = all.size();
		std::string line = all.substr(start, end - start);
		start = end + 1;
		while (!line.empty() && (line.back() == '\r' || line.back() == '\0'))
			line.pop_back();
		if (line.empty() || line[0] == '#')
			continue;
		if (line.compare(0, 7, "file://") == 0) {
			line.erase(0, 7);
			// "file://host/path": the path starts at the first slash.
			size_t slash = line.find('/');
			if (slash == std::string::npos)
				continue;
			line.erase(0, slash);
		} else if (line[0] != '/')
			continue;
		std::string path;
		for (size_t i = 0; i < line.size(); i++) {
			if (line[i] == '%' && i + 2 < line.size() && isxdigit(static_cast<unsigned char>(line[i + 1]))
				&& isxdigit(static_cast<unsigned char>(line[i + 2]))) {
				path += static_cast<char>(std::stoi(line.substr(i + 1, 2), NULL, 16));
				i += 2;
			} else
				path += line[i];
		}
		paths.push_back(path);
	}
	return paths;
}
