// Files on Windows: by wide path for the walker, the conversion and the
// write-back, and by handle for threads of their own; the OS file layer
// opens through the same call.
#include <errno.h>
#include <io.h>
#include <stdlib.h>
#include <sys/stat.h>

#include "Core/cFxOsFileSystem.h"
#include "Core/platform/win32/FxWin32.h"

namespace {

HANDLE Native(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

// Removes whatever stands at `native` as itself: a reparse point (a link,
// a junction) is deleted, never what it leads to; a real directory cannot
// be, and fails as deleting a directory fails (access denied). A name that
// stands for nothing is clear already. False, with the system's last error
// set, when something stays.
bool ClearName(const std::string& native) {
  const DWORD attributes = GetFileAttributesA(native.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
  }
  // A link to a directory is removed as a directory, which removes the
  // link alone.
  const DWORD directoryLink = FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY;
  if ((attributes & directoryLink) == directoryLink) return RemoveDirectoryA(native.c_str()) != 0;
  return DeleteFileA(native.c_str()) != 0 || GetLastError() == ERROR_FILE_NOT_FOUND;
}

// The runtime's functions sort the system's error into errno (a bad drive
// or network path counts as missing, a sharing violation as refused), and
// that sorting decides; the system's error, kept in _doserrno, names it
// where it agrees.
cFxOsResult RuntimeError() {
  const int sorted = errno;
  const cFxOsResult system = FxWin32Error(static_cast<DWORD>(_doserrno));
  if (sorted == ENOENT && !system.IsMissing()) return FxWin32Error(ERROR_FILE_NOT_FOUND);
  if (sorted == EACCES && !system.IsDenied()) return FxWin32Error(ERROR_ACCESS_DENIED);
  return system;
}

}  // namespace

// ---- Shared with the OS file layer ------------------------------------------------

HANDLE FxWin32Open(const std::string& native, const sFxOpenRequest& request) {
  static const DWORD cDisposition[] = {OPEN_EXISTING, TRUNCATE_EXISTING, OPEN_ALWAYS, CREATE_ALWAYS,
                                       CREATE_NEW, CREATE_NEW};
  DWORD access = 0;
  if (request.mRead) access |= GENERIC_READ;
  if (request.mWrite) access |= GENERIC_WRITE;
  DWORD flags = request.mReadOnlyFile ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL;
  if (request.mOverlapped) flags |= FILE_FLAG_OVERLAPPED;
  if (request.mDisposition == eFxClearAndCreateNew) {
    if (!ClearName(native)) return INVALID_HANDLE_VALUE;
    // A reparse point put there since is not opened through: CREATE_NEW
    // then finds the name taken.
    flags |= FILE_FLAG_OPEN_REPARSE_POINT;
  }
  // No sharing: nobody else may change a data file while it is open here.
  return CreateFileA(native.c_str(), access, 0, nullptr, cDisposition[request.mDisposition], flags, nullptr);
}

// ---- By wide native path ------------------------------------------------------------

cFxOsResult FxPlatformAccessReadWrite(const wchar16* path) {
  if (_waccess(FxWin32Wide(path), 6) == 0) return cFxOsResult();
  return RuntimeError();
}

cFxOsResult FxPlatformMakeReadWrite(const wchar16* path) {
  if (_wchmod(FxWin32Wide(path), _S_IREAD | _S_IWRITE) == 0) return cFxOsResult();
  return RuntimeError();
}

cFxOsResult FxPlatformDeleteFile(const wchar16* path) {
  if (DeleteFileW(FxWin32Wide(path)) != 0) return cFxOsResult();
  return FxWin32LastError();
}

cFxOsResult FxPlatformReplaceFile(const wchar16* source, const wchar16* target) {
  // Windows refuses to replace a file anybody holds open, if only for a
  // moment: a virus scanner or indexer looking at it, or the run's own
  // look-up of which file a name stands for. Such holders let go at once,
  // so the refusal is tried again for a while; a target that could never be
  // replaced (a folder, a read-only file) is refused at once.
  DWORD pause = 1;
  for (DWORD waited = 0;; waited += pause, pause = pause < 64 ? 2 * pause : pause) {
    if (MoveFileExW(FxWin32Wide(source), FxWin32Wide(target), MOVEFILE_REPLACE_EXISTING) != 0) return cFxOsResult();
    const DWORD error = GetLastError();
    const DWORD attributes = GetFileAttributesW(FxWin32Wide(target));
    const bool heldOpen = (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION) &&
                          attributes != INVALID_FILE_ATTRIBUTES &&
                          (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) == 0;
    if (!heldOpen || waited >= cFxReplaceWaitMilliseconds) return FxWin32Error(error);
    Sleep(pause);
  }
}

// ---- On a thread of their own ------------------------------------------------------

cFxOsResult FxPlatformCreateTemporaryFile(const char* nativePath, intptr_t& handle) {
  const HANDLE file = FxWin32Open(nativePath, FxDecodeOpenMode(kFxFileMode::cModeTemporary, 0));
  if (file == INVALID_HANDLE_VALUE) return FxWin32LastError();
  handle = reinterpret_cast<intptr_t>(file);
  return cFxOsResult();
}

cFxOsResult FxPlatformOpenFileForReading(const char* nativePath, intptr_t& handle, uint64_t& size) {
  const HANDLE file = FxWin32Open(nativePath, FxDecodeOpenMode(kFxFileMode::cModeRead, 0));
  if (file == INVALID_HANDLE_VALUE) return FxWin32LastError();
  LARGE_INTEGER length;
  size = GetFileSizeEx(file, &length) && length.QuadPart > 0 ? static_cast<uint64_t>(length.QuadPart) : 0;
  handle = reinterpret_cast<intptr_t>(file);
  return cFxOsResult();
}

cFxOsResult FxPlatformReadFile(intptr_t handle, void* bytes, size_t count, size_t& got) {
  // One call takes at most what a DWORD counts.
  const DWORD piece = count > 0x40000000u ? 0x40000000u : static_cast<DWORD>(count);
  DWORD read = 0;
  got = 0;
  if (!ReadFile(Native(handle), bytes, piece, &read, nullptr)) return FxWin32LastError();
  got = read;
  return cFxOsResult();
}

cFxOsResult FxPlatformWriteFile(intptr_t handle, const void* bytes, size_t count) {
  const char* next = static_cast<const char*>(bytes);
  while (count != 0) {
    // One call takes at most what a DWORD counts.
    const DWORD piece = count > 0x40000000u ? 0x40000000u : static_cast<DWORD>(count);
    DWORD written = 0;
    if (!WriteFile(Native(handle), next, piece, &written, nullptr)) return FxWin32LastError();
    // Nothing taken and no reason given: retrying could loop for ever.
    if (written == 0) return FxWin32Error(ERROR_WRITE_FAULT);
    next += written;
    count -= written;
  }
  return cFxOsResult();
}

cFxOsResult FxPlatformCloseFile(intptr_t handle) {
  if (CloseHandle(Native(handle))) return cFxOsResult();
  return FxWin32LastError();
}
