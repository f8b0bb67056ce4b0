// Basic types and status codes of the kit.
#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <sys/types.h>

typedef int8_t int8;
typedef uint8_t uint8;
typedef int16_t int16;
typedef uint16_t uint16;
typedef int32_t int32;
typedef uint32_t uint32;
typedef int64_t int64;
typedef uint64_t uint64;

typedef int32 status_t;
typedef int32 thread_id;
typedef int64 bigtime_t;

// Errors are negative; those that come from the system carry its errno.
const status_t B_OK = 0;
const status_t B_ERROR = -1;
const status_t B_NO_MEMORY = -ENOMEM;
const status_t B_BAD_VALUE = -EINVAL;
const status_t B_NO_INIT = -ENODEV;
const status_t B_ENTRY_NOT_FOUND = -ENOENT;
const status_t B_IS_A_DIRECTORY = -EISDIR;
const status_t B_PERMISSION_DENIED = -EACCES;
const status_t B_IO_ERROR = -EIO;
const status_t B_NAME_NOT_FOUND = -0x7000;
const status_t B_BAD_INDEX = -0x7001;
const status_t B_BAD_TYPE = -0x7002;
// A message for a looper whose loop has ended.
const status_t B_BAD_PORT_ID = -0x7003;
