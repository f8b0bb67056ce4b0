// A message: a 32-bit code and named data entries.
#pragma once

#include <map>
#include <string>
#include <vector>

#include <Entry.h>
#include <SupportDefs.h>

class BMessage {
public:
	BMessage();
	BMessage(uint32 what);
	BMessage(const BMessage& other) = default;
	BMessage& operator=(const BMessage& other) = default;
	virtual ~BMessage();

	status_t AddRef(const char* name, const entry_ref* ref);
	status_t FindRef(const char* name, int32 index, entry_ref* ref) const;
	status_t FindRef(const char* name, entry_ref* ref) const;

	status_t AddInt32(const char* name, int32 value);
	status_t FindInt32(const char* name, int32 index, int32* value) const;
	status_t FindInt32(const char* name, int32* value) const;

	status_t AddString(const char* name, const char* string);
	status_t FindString(const char* name, int32 index, const char** string) const;
	status_t FindString(const char* name, const char** string) const;

	status_t AddPointer(const char* name, const void* pointer);
	status_t FindPointer(const char* name, int32 index, void** pointer) const;
	status_t FindPointer(const char* name, void** pointer) const;

	// How many entries of any type carry this name.
	bool IsEmpty() const;

	uint32 what;

private:
	template<typename T>
	static status_t _Find(const std::map<std::string, std::vector<T>>& field, const char* name,
		int32 index, T* value);

	std::map<std::string, std::vector<entry_ref>> fRefs;
	std::map<std::string, std::vector<int32>> fInt32s;
	std::map<std::string, std::vector<std::string>> fStrings;
	std::map<std::string, std::vector<void*>> fPointers;
};
