#include <Entry.h>

#include <cstdlib>
#include <cstring>

entry_ref::entry_ref()
	:
	name(NULL)
{
}

entry_ref::entry_ref(const char* path)
	:
	name(NULL),
	fPath(path != NULL ? path : "")
{
	_SetName();
}

entry_ref::entry_ref(const entry_ref& other)
	:
	name(NULL),
	fPath(other.fPath)
{
	if (other.name != NULL)
		_SetName();
}

entry_ref&
entry_ref::operator=(const entry_ref& other)
{
	if (this != &other) {
		free(name);
		name = NULL;
		fPath = other.fPath;
		if (other.name != NULL)
			_SetName();
	}
	return *this;
}

entry_ref::~entry_ref()
{
	free(name);
}

void
entry_ref::_SetName()
{
	std::string leaf = fPath;
	while (leaf.size() > 1 && leaf.back() == '/')
		leaf.pop_back();
	size_t slash = leaf.rfind('/');
	if (slash != std::string::npos && leaf.size() > 1)
		leaf = leaf.substr(slash + 1);
	free(name);
	name = strdup(leaf.c_str());
}
