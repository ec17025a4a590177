// Putting written files on the storage device, on Windows.
#include "Core/platform/win32/FxWin32.h"

cFxOsResult FxPlatformSyncFile(const wchar16* path) {
  // Flushing a file's buffers needs write access to it.
  HANDLE handle = CreateFileW(FxWin32Wide(path), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle != INVALID_HANDLE_VALUE && FlushFileBuffers(handle) && CloseHandle(handle)) return cFxOsResult();
  const cFxOsResult failure = FxWin32LastError();
  if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  return failure;
}

std::vector<cFxOsResult> FxPlatformSyncFiles(const std::vector<std::u16string>& paths) {
  // Flushing a whole volume needs a privilege users rarely hold: file by file.
  std::vector<cFxOsResult> results;
  results.reserve(paths.size());
  for (const std::u16string& path : paths) results.push_back(FxPlatformSyncFile(path.c_str()));
  return results;
}
