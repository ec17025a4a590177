// What the files of the Win32 backend share; no part of the seam itself.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>

#include "Core/platform/FxPlatform.h"

static_assert(sizeof(wchar_t) == sizeof(wchar16), "wide units must match the system's");

struct sFxOpenRequest;

// The one mapping of the system's errors: a GetLastError value as the seam
// names it (FxPlatformError_win32.cpp).
cFxOsResult FxWin32Error(DWORD error);
// The calling thread's last error.
inline cFxOsResult FxWin32LastError() { return FxWin32Error(GetLastError()); }

// wchar16 and wchar_t are both 16-bit units here, so wide paths go to the
// wide system functions unchanged.
inline const wchar_t* FxWin32Wide(const wchar16* text) { return reinterpret_cast<const wchar_t*>(text); }

// How the OS file layer and the calls for threads of their own open a file
// (FxPlatformFiles_win32.cpp): as `request` says, or INVALID_HANDLE_VALUE
// with the system's last error set.
HANDLE FxWin32Open(const std::string& native, const sFxOpenRequest& request);
