// What the files of the POSIX backend share; no part of the seam itself.
#pragma once

#include <errno.h>

#include <string>

#include "Core/platform/FxPlatform.h"

struct sFxOpenRequest;

// The one mapping of the system's errors: an errno value as the seam names
// it (FxPlatformError_posix.cpp).
cFxOsResult FxPosixError(int error);
// The calling thread's last error.
inline cFxOsResult FxPosixLastError() { return FxPosixError(errno); }

// A wide native path as the bytes the system takes; empty for null.
std::string FxPosixPath(const wchar16* path);
// The current directory's bytes; false (errno set) when it cannot be read.
bool FxPosixCurrentDirectory(std::string& directory);

// How the OS file layer and the calls for threads of their own reach a file
// (FxPlatformFiles_posix.cpp). A descriptor opened as `request` says, or -1
// with errno set; a directory is refused with EISDIR, as the other platform
// refuses it. The file's size goes to `size` when asked for (0 when it
// cannot be learnt).
int FxPosixOpen(const std::string& native, const sFxOpenRequest& request, uint64_t* size = nullptr);
// Every byte written, or false with errno set.
bool FxPosixWriteAll(int descriptor, const void* bytes, size_t count);
// The descriptor closed; false with errno set when the close reported a
// failure (it is closed all the same).
bool FxPosixClose(int descriptor);
