// A reference to a file by its location.
#pragma once

#include <string>

struct entry_ref {
	entry_ref();
	explicit entry_ref(const char* path);
	entry_ref(const entry_ref& other);
	entry_ref& operator=(const entry_ref& other);
	~entry_ref();

	// The path the reference was made from (as given: relative paths stay
	// relative to the current directory).
	const char* Path() const { return fPath.c_str(); }

	// The leaf name of the file.
	char* name;

private:
	void _SetName();

	std::string fPath;
};
