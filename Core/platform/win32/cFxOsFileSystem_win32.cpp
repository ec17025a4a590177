// Win32 backend of the OS file layer: file handles, attributes and searches
// through the ANSI file functions.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>
// The layer's own operations share these names.
#undef CreateDirectory
#undef RemoveDirectory

#include <cstring>
#include <string>

#include "API/core/FxError.h"
#include "Core/cFxOsFileSystem.h"
#include "Core/platform/FxPlatform.h"

namespace {

// The status an overlapped record holds while its read is in progress.
constexpr ULONG_PTR cStatusPending = 259;

HANDLE Native(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

// The record of the one overlapped read the process may have pending.
OVERLAPPED gOverlapped;

std::string ToStd(const cFxString& text) { return std::string(text.c_str(), text.Length()); }

void InfoFromAttributes(DWORD attributes, DWORD sizeLow, sFxFileInfo& info) {
  info.mSize = sizeLow;
  info.mFlags = 0;
  if (attributes & FILE_ATTRIBUTE_READONLY) info.mFlags |= kFxFileInfo::cReadOnly;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) info.mFlags |= kFxFileInfo::cDirectory;
}

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

// Opens a file as the layer's request says; INVALID_HANDLE_VALUE, with the
// system's last error set, when it cannot.
HANDLE OpenHandle(const std::string& native, const sFxOpenRequest& request) {
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

}  // namespace

// ---- File object ------------------------------------------------------------------

bool cFxOsFile::CloseNative(intptr_t handle) {
  if (CloseHandle(Native(handle))) return true;
  FxPlatformRecordSystemError();
  return false;
}

int cFxOsFile::ReadNative(void* buffer, int count) {
  DWORD read = 0;
  if (!ReadFile(Native(mHandle), buffer, static_cast<DWORD>(count), &read, nullptr)) {
    FxPlatformRecordSystemError();
    return -1;
  }
  return static_cast<int>(read);
}

bool cFxOsFile::StartReadNative(uint32_t offset, void* buffer, int count) {
  std::memset(&gOverlapped, 0, sizeof gOverlapped);
  gOverlapped.Offset = offset;
  if (ReadFile(Native(mHandle), buffer, static_cast<DWORD>(count), nullptr, &gOverlapped)) return true;
  DWORD error = GetLastError();
  if (error == ERROR_HANDLE_EOF || error == ERROR_IO_PENDING) return true;
  FxPlatformRecordSystemError();  // the last error is still `error`
  return false;
}

bool cFxOsFile::IsReadFinishedNative() { return gOverlapped.Internal != cStatusPending; }

bool cFxOsFile::WaitReadNative() {
  if (WaitForSingleObject(Native(mHandle), INFINITE) == WAIT_OBJECT_0) return true;
  FxSetErrorCode(kFxError::cFileOther);
  return false;
}

void cFxOsFile::CancelReadNative() {
  // The system still writes into the caller's buffer: end the read first.
  DWORD transferred;
  CancelIo(Native(mHandle));
  GetOverlappedResult(Native(mHandle), &gOverlapped, &transferred, TRUE);
}

int cFxOsFile::WriteNative(const void* buffer, int count) {
  DWORD written = 0;
  if (!WriteFile(Native(mHandle), buffer, static_cast<DWORD>(count), &written, nullptr)) {
    FxPlatformRecordSystemError();
    return -1;
  }
  return static_cast<int>(written);
}

bool cFxOsFile::Flush() {
  if (FlushFileBuffers(Native(mHandle))) return true;
  FxPlatformRecordSystemError();
  return false;
}

bool cFxOsFile::MoveNative(int distance, eOrigin origin, int64_t& position) {
  static const DWORD cMethod[] = {FILE_BEGIN, FILE_CURRENT, FILE_END};
  // Without a high word the system refuses positions beyond 32 bits.
  DWORD result = SetFilePointer(Native(mHandle), distance, nullptr, cMethod[origin]);
  if (result == INVALID_SET_FILE_POINTER) {
    FxPlatformRecordSystemError();
    return false;
  }
  position = static_cast<int64_t>(result);
  return true;
}

// ---- Search object ------------------------------------------------------------------

bool cFxOsSearch::Close() {
  if (mHandle == nullptr) return true;
  BOOL closed = FindClose(static_cast<HANDLE>(mHandle));
  mHandle = nullptr;
  if (!closed) {
    FxPlatformRecordSystemError();
    return false;
  }
  return true;
}

bool cFxOsSearch::FindNext(sFxFileInfo& info) {
  WIN32_FIND_DATAA data;
  if (mHandle == nullptr || !FindNextFileA(static_cast<HANDLE>(mHandle), &data)) {
    FxPlatformRecordSystemError();
    return false;
  }
  InfoFromAttributes(data.dwFileAttributes, data.nFileSizeLow, info);
  return true;
}

// ---- The layer ----------------------------------------------------------------------

cFxString cFxOsFileSystem::GetNativePath(const cFxString& path) {
  std::string text = ToStd(path);
  if (!text.empty() && text[0] == '@') {
    std::string::size_type colon = text.find(':');
    if (colon != std::string::npos) text.erase(0, colon + 1);
  }
  // "c/data/a.xml" is "c:\data\a.xml"; a network path keeps its form.
  std::string native;
  if (text.compare(0, 2, "\\\\") == 0) {
    native = text;
  } else if (!text.empty()) {
    native = std::string(1, text[0]) + ":\\" + (text.size() > 2 ? text.substr(2) : std::string());
  }
  for (char& c : native) {
    if (c == '/') c = '\\';
  }
  return cFxString(native.c_str(), static_cast<uint32_t>(native.size()));
}

intptr_t cFxOsFileSystem::OpenNative(const cFxString& nativePath, const sFxOpenRequest& request) {
  const HANDLE handle = OpenHandle(ToStd(nativePath), request);
  if (handle != INVALID_HANDLE_VALUE) return reinterpret_cast<intptr_t>(handle);
  FxPlatformRecordSystemError();
  return -1;
}

bool cFxOsFileSystem::GetInfo(const cFxString& path, sFxFileInfo& info) {
  std::string native = ToStd(GetNativePath(path));
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(native.c_str(), GetFileExInfoStandard, &data)) {
    FxPlatformRecordSystemError();
    return false;
  }
  InfoFromAttributes(data.dwFileAttributes, data.nFileSizeLow, info);
  return true;
}

bool cFxOsFileSystem::SetInfo(const cFxString& path, const sFxFileInfo& info) {
  std::string native = ToStd(GetNativePath(path));
  DWORD attributes = (info.mFlags & kFxFileInfo::cReadOnly) ? FILE_ATTRIBUTE_READONLY : 0;
  if (!SetFileAttributesA(native.c_str(), attributes)) {
    FxPlatformRecordSystemError();
    return false;
  }
  return true;
}

bool cFxOsFileSystem::Delete(const cFxString& path) {
  std::string native = ToStd(GetNativePath(path));
  if (!DeleteFileA(native.c_str())) {
    FxPlatformRecordSystemError();
    return false;
  }
  return true;
}

cFxOsSearch* cFxOsFileSystem::FindFirst(const cFxString& pattern, sFxFileInfo& info) {
  std::string native = ToStd(GetNativePath(pattern));
  WIN32_FIND_DATAA data;
  HANDLE handle = FindFirstFileA(native.c_str(), &data);
  if (handle == INVALID_HANDLE_VALUE) {
    FxPlatformRecordSystemError();
    return nullptr;
  }
  cFxOsSearch* search = new cFxOsSearch(handle);
  if (search == nullptr) {
    FindClose(handle);
    FxSetErrorCode(kFxError::cFileOther);
    return nullptr;
  }
  InfoFromAttributes(data.dwFileAttributes, data.nFileSizeLow, info);
  return search;
}

bool cFxOsFileSystem::MakeDirectoryNative(const cFxString& nativePath) {
  return CreateDirectoryA(ToStd(nativePath).c_str(), nullptr) != 0;
}

bool cFxOsFileSystem::RemoveDirectory(const cFxString& path) {
  std::string native = ToStd(GetNativePath(path));
  if (!RemoveDirectoryA(native.c_str())) {
    FxPlatformRecordSystemError();
    return false;
  }
  return true;
}

// ---- Files written on a thread of their own -----------------------------------------

bool FxPlatformCreateTemporaryFile(const char* nativePath, intptr_t& handle, std::string& reason) {
  const HANDLE file = OpenHandle(nativePath, FxDecodeOpenMode(kFxFileMode::cModeTemporary, 0));
  if (file == INVALID_HANDLE_VALUE) {
    reason = FxPlatformLastErrorText();
    return false;
  }
  handle = reinterpret_cast<intptr_t>(file);
  return true;
}

bool FxPlatformWriteFile(intptr_t handle, const void* bytes, size_t count, std::string& reason) {
  const char* next = static_cast<const char*>(bytes);
  while (count != 0) {
    // One call takes at most what a DWORD counts.
    const DWORD piece = count > 0x40000000u ? 0x40000000u : static_cast<DWORD>(count);
    DWORD written = 0;
    if (!WriteFile(Native(handle), next, piece, &written, nullptr)) {
      reason = FxPlatformLastErrorText();
      return false;
    }
    if (written == 0) {
      // Nothing taken and no reason given: retrying could loop for ever.
      SetLastError(ERROR_WRITE_FAULT);
      reason = FxPlatformLastErrorText();
      return false;
    }
    next += written;
    count -= written;
  }
  return true;
}

bool FxPlatformCloseFile(intptr_t handle, std::string& reason) {
  if (CloseHandle(Native(handle))) return true;
  reason = FxPlatformLastErrorText();
  return false;
}

// ---- Files read on a thread of their own ----------------------------------------------

bool FxPlatformOpenFileForReading(const char* nativePath, intptr_t& handle, uint64_t& size, std::string& reason) {
  const HANDLE file = OpenHandle(nativePath, FxDecodeOpenMode(kFxFileMode::cModeRead, 0));
  if (file == INVALID_HANDLE_VALUE) {
    reason = FxPlatformLastErrorText();
    return false;
  }
  LARGE_INTEGER length;
  size = GetFileSizeEx(file, &length) && length.QuadPart > 0 ? static_cast<uint64_t>(length.QuadPart) : 0;
  handle = reinterpret_cast<intptr_t>(file);
  return true;
}

bool FxPlatformReadFile(intptr_t handle, void* bytes, size_t count, size_t& got, std::string& reason) {
  // One call takes at most what a DWORD counts.
  const DWORD piece = count > 0x40000000u ? 0x40000000u : static_cast<DWORD>(count);
  DWORD read = 0;
  got = 0;
  if (!ReadFile(Native(handle), bytes, piece, &read, nullptr)) {
    reason = FxPlatformLastErrorText();
    return false;
  }
  got = read;
  return true;
}
