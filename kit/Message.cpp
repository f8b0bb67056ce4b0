#include <Message.h>

BMessage::BMessage()
	:
	what(0)
{
}

BMessage::BMessage(uint32 command)
	:
	what(command)
{
}

BMessage::~BMessage()
{
}

template<typename T>
status_t
BMessage::_Find(const std::map<std::string, std::vector<T>>& field, const char* name,
	int32 index, T* value)
{
	if (name == NULL || value == NULL)
		return B_BAD_VALUE;
	auto found = field.find(name);
	if (found == field.end())
		return B_NAME_NOT_FOUND;
	if (index < 0 || static_cast<size_t>(index) >= found->second.size())
		return B_BAD_INDEX;
	*value = found->second[static_cast<size_t>(index)];
	return B_OK;
}

status_t
BMessage::AddRef(const char* name, const entry_ref* ref)
{
	if (name == NULL || ref == NULL)
		return B_BAD_VALUE;
	fRefs[name].push_back(*ref);
	return B_OK;
}

status_t
BMessage::FindRef(const char* name, int32 index, entry_ref* ref) const
{
	return _Find(fRefs, name, index, ref);
}

status_t
BMessage::FindRef(const char* name, entry_ref* ref) const
{
	return FindRef(name, 0, ref);
}

status_t
BMessage::AddInt32(const char* name, int32 value)
{
	if (name == NULL)
		return B_BAD_VALUE;
	fInt32s[name].push_back(value);
	return B_OK;
}

status_t
BMessage::FindInt32(const char* name, int32 index, int32* value) const
{
	return _Find(fInt32s, name, index, value);
}

status_t
BMessage::FindInt32(const char* name, int32* value) const
{
	return FindInt32(name, 0, value);
}

status_t
BMessage::AddString(const char* name, const char* string)
{
	if (name == NULL || string == NULL)
		return B_BAD_VALUE;
	fStrings[name].push_back(string);
	return B_OK;
}

status_t
BMessage::FindString(const char* name, int32 index, const char** string) const
{
	if (name == NULL || string == NULL)
		return B_BAD_VALUE;
	auto found = fStrings.find(name);
	if (found == fStrings.end())
		return B_NAME_NOT_FOUND;
	if (index < 0 || static_cast<size_t>(index) >= found->second.size())
		return B_BAD_INDEX;
	*string = found->second[static_cast<size_t>(index)].c_str();
	return B_OK;
}

status_t
BMessage::FindString(const char* name, const char** string) const
{
	return FindString(name, 0, string);
}

status_t
BMessage::AddPointer(const char* name, const void* pointer)
{
	if (name == NULL)
		return B_BAD_VALUE;
	fPointers[name].push_back(const_cast<void*>(pointer));
	return B_OK;
}

status_t
BMessage::FindPointer(const char* name, int32 index, void** pointer) const
{
	return _Find(fPointers, name, index, pointer);
}

status_t
BMessage::FindPointer(const char* name, void** pointer) const
{
	return FindPointer(name, 0, pointer);
}

bool
BMessage::IsEmpty() const
{
	return fRefs.empty() && fInt32s.empty() && fStrings.empty() && fPointers.empty();
}
