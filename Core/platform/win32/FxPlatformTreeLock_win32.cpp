// The lock of a rewriting run on Windows: a named mutex made from the
// tree's canonical path.
#include <cwchar>
#include <vector>

#include "Core/platform/win32/FxWin32.h"

namespace {

// The name of the mutex that stands for `directory`: the same for every
// spelling of one directory (relative, short names, another case, through
// a junction), as the system resolves it, and valid as a mutex name: no
// backslash after the namespace, at most MAX_PATH characters. Empty when
// the directory cannot be found.
std::wstring TreeLockName(const wchar16* directory) {
  std::wstring path;
  HANDLE handle = CreateFileW(FxWin32Wide(directory), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return path;
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length = GetFinalPathNameByHandleW(handle, buffer.data(), static_cast<DWORD>(buffer.size()),
                                                   FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0) break;
    if (length < buffer.size()) {
      path.assign(buffer.data(), length);
      break;
    }
    buffer.resize(length + 1);
  }
  CloseHandle(handle);
  if (path.empty()) return path;
  // One directory may be spelt in any case.
  CharUpperBuffW(&path[0], static_cast<DWORD>(path.size()));
  for (wchar_t& unit : path)
    if (unit == L'\\') unit = L'/';
  const std::wstring prefix = L"Local\\glossmill-rewriting:";
  if (prefix.size() + path.size() <= MAX_PATH) return prefix + path;
  // A long path is named by a hash of all of it and its last part.
  uint64_t hash = 14695981039346656037ull;
  for (wchar_t unit : path) hash = (hash ^ static_cast<uint16_t>(unit)) * 1099511628211ull;
  wchar_t digits[17];
  swprintf(digits, 17, L"%016llx", static_cast<unsigned long long>(hash));
  const size_t room = MAX_PATH - prefix.size() - 17;
  return prefix + digits + L":" + path.substr(path.size() - room);
}

}  // namespace

eFxTreeLock FxPlatformLockTree(const wchar16* directory, intptr_t& lock) {
  const std::wstring name = TreeLockName(directory);
  if (name.empty()) return eFxTreeLockNone;
  // Not inherited: handles of the program's own are never passed on.
  HANDLE mutex = CreateMutexW(nullptr, FALSE, name.c_str());
  if (mutex == nullptr) return eFxTreeLockNone;
  // A mutex whose holder ended without letting go is the caller's now.
  const DWORD result = WaitForSingleObject(mutex, 0);
  if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED) {
    lock = reinterpret_cast<intptr_t>(mutex);
    return eFxTreeLockTaken;
  }
  CloseHandle(mutex);
  return result == WAIT_TIMEOUT ? eFxTreeLockBusy : eFxTreeLockNone;
}

void FxPlatformUnlockTree(intptr_t lock) {
  ReleaseMutex(reinterpret_cast<HANDLE>(lock));
  CloseHandle(reinterpret_cast<HANDLE>(lock));
}
