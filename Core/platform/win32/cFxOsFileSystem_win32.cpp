// Win32 backend of the OS file layer: file handles, attributes and searches
// through the ANSI file functions.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>
// The layer's own operations share these names.
#undef CreateDirectory
#undef RemoveDirectory

#include <climits>
#include <cstring>
#include <string>

#include "API/core/FxError.h"
#include "Core/cFxOsFileSystem.h"

namespace {

// The status an overlapped record holds while its read is in progress.
constexpr ULONG_PTR cStatusPending = 259;

// The one place where system errors become the layer's codes.
uint32_t CodeFromSystemError(DWORD error) {
  switch (error) {
    case ERROR_TOO_MANY_OPEN_FILES:
      return kFxError::cFileTooMany;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return kFxError::cFileNotFound;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
      return kFxError::cFileAccess;
    case ERROR_NO_MORE_FILES:
      return kFxError::cFileNoMore;
    default:
      return kFxError::cFileOther;
  }
}

void RecordLastError() { FxSetErrorCode(CodeFromSystemError(GetLastError())); }

HANDLE Native(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

// One overlapped read for the whole process.
OVERLAPPED gOverlapped;
const cFxOsFile* gPendingRead = nullptr;

std::string ToStd(const cFxString& text) { return std::string(text.c_str(), text.Length()); }

void InfoFromAttributes(DWORD attributes, DWORD sizeLow, sFxFileInfo& info) {
  info.mSize = sizeLow;
  info.mFlags = 0;
  if (attributes & FILE_ATTRIBUTE_READONLY) info.mFlags |= kFxFileInfo::cReadOnly;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) info.mFlags |= kFxFileInfo::cDirectory;
}

bool MovePointer(HANDLE handle, int distance, DWORD method, int* position) {
  DWORD result = SetFilePointer(handle, distance, nullptr, method);
  if (result == INVALID_SET_FILE_POINTER) {
    RecordLastError();
    return false;
  }
  if (result > static_cast<DWORD>(INT_MAX)) {
    FxSetErrorCode(kFxError::cFileOther);
    return false;
  }
  if (position != nullptr) *position = static_cast<int>(result);
  return true;
}

}  // namespace

static_assert(sizeof(cFxOsFile) <= kFxFilePool::cEntryBytes, "a file object must fit a pool entry");

// ---- File object ------------------------------------------------------------------

bool cFxOsFile::Close() {
  if (gPendingRead == this) {
    // The system still writes into the caller's buffer: end the read first.
    DWORD transferred;
    CancelIo(Native(mHandle));
    GetOverlappedResult(Native(mHandle), &gOverlapped, &transferred, TRUE);
    gPendingRead = nullptr;
  }
  if (mHandle == -1) return true;
  BOOL closed = CloseHandle(Native(mHandle));
  mHandle = -1;
  if (!closed) {
    RecordLastError();
    return false;
  }
  return true;
}

int cFxOsFile::Read(void* buffer, int count) {
  if (count < 0 || (buffer == nullptr && count > 0)) {
    FxSetErrorCode(kFxError::cFileOther);
    return -1;
  }
  DWORD read = 0;
  if (!ReadFile(Native(mHandle), buffer, static_cast<DWORD>(count), &read, nullptr)) {
    RecordLastError();
    return -1;
  }
  return static_cast<int>(read);
}

bool cFxOsFile::ReadAsync(uint32_t offset, void* buffer, int count) {
  if (gPendingRead != nullptr) {
    FxSetErrorCode(kFxError::cFileReadPending);
    return false;
  }
  if (count < 0 || (buffer == nullptr && count > 0)) {
    FxSetErrorCode(kFxError::cFileOther);
    return false;
  }
  std::memset(&gOverlapped, 0, sizeof gOverlapped);
  gOverlapped.Offset = offset;
  gOverlapped.OffsetHigh = 0;
  gOverlapped.hEvent = nullptr;
  gPendingRead = this;
  if (ReadFile(Native(mHandle), buffer, static_cast<DWORD>(count), nullptr, &gOverlapped)) return true;
  DWORD error = GetLastError();
  if (error == ERROR_HANDLE_EOF || error == ERROR_IO_PENDING) return true;
  // Nothing is pending after a read that could not start.
  gPendingRead = nullptr;
  FxSetErrorCode(CodeFromSystemError(error));
  return false;
}

bool cFxOsFile::IsReadDone() {
  if (gPendingRead != this) {
    FxSetErrorCode(kFxError::cFileReadPending);
    return false;
  }
  return gOverlapped.Internal != cStatusPending;
}

bool cFxOsFile::WaitRead() {
  if (gPendingRead != this) {
    FxSetErrorCode(kFxError::cFileReadPending);
    return false;
  }
  gPendingRead = nullptr;
  if (WaitForSingleObject(Native(mHandle), INFINITE) != WAIT_OBJECT_0) {
    FxSetErrorCode(kFxError::cFileOther);
    return false;
  }
  return true;
}

int cFxOsFile::Write(const void* buffer, int count) {
  if (count < 0 || (buffer == nullptr && count > 0)) {
    FxSetErrorCode(kFxError::cFileOther);
    return -1;
  }
  DWORD written = 0;
  if (!WriteFile(Native(mHandle), buffer, static_cast<DWORD>(count), &written, nullptr)) {
    RecordLastError();
    return -1;
  }
  return static_cast<int>(written);
}

bool cFxOsFile::Flush() {
  if (FlushFileBuffers(Native(mHandle))) return true;
  RecordLastError();
  return false;
}

bool cFxOsFile::Tell(int& position) { return MovePointer(Native(mHandle), 0, FILE_CURRENT, &position); }

bool cFxOsFile::Seek(int position) { return MovePointer(Native(mHandle), position, FILE_BEGIN, nullptr); }

bool cFxOsFile::SeekRelative(int delta) {
  return MovePointer(Native(mHandle), delta, FILE_CURRENT, nullptr);
}

bool cFxOsFile::SeekFromEnd(int delta) { return MovePointer(Native(mHandle), delta, FILE_END, nullptr); }

// ---- Search object ------------------------------------------------------------------

bool cFxOsSearch::Close() {
  if (mHandle == nullptr) return true;
  BOOL closed = FindClose(static_cast<HANDLE>(mHandle));
  mHandle = nullptr;
  if (!closed) {
    RecordLastError();
    return false;
  }
  return true;
}

bool cFxOsSearch::FindNext(sFxFileInfo& info) {
  WIN32_FIND_DATAA data;
  if (mHandle == nullptr || !FindNextFileA(static_cast<HANDLE>(mHandle), &data)) {
    RecordLastError();
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

cFxOsFile* cFxOsFileSystem::Open(const cFxString& path, int mode, int attributes) {
  std::string native = ToStd(GetNativePath(path));
  DWORD access = 0;
  if (mode & kFxFileMode::cRead) access |= GENERIC_READ;
  if (mode & kFxFileMode::cWrite) access |= GENERIC_WRITE;
  DWORD disposition;
  if (mode & kFxFileMode::cCreate) {
    if (mode & kFxFileMode::cOnlyNew)
      disposition = CREATE_NEW;
    else if (mode & kFxFileMode::cReplace)
      disposition = CREATE_ALWAYS;
    else
      disposition = OPEN_ALWAYS;
  } else {
    disposition = (mode & kFxFileMode::cReplace) ? TRUNCATE_EXISTING : OPEN_EXISTING;
  }
  DWORD flags = (attributes & kFxFileAttribute::cReadOnly) ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL;
  if (mode & kFxFileMode::cOverlapped) flags |= FILE_FLAG_OVERLAPPED;

  HANDLE handle = CreateFileA(native.c_str(), access, 0, nullptr, disposition, flags, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    RecordLastError();
    return nullptr;
  }
  cFxOsFile* file = new (kFxFromFilePool) cFxOsFile(reinterpret_cast<intptr_t>(handle));
  if (file == nullptr) {
    CloseHandle(handle);  // the pool recorded why
    return nullptr;
  }
  if ((mode & kFxFileMode::cAppend) && !file->SeekFromEnd(0)) {
    delete file;
    return nullptr;
  }
  return file;
}

bool cFxOsFileSystem::GetInfo(const cFxString& path, sFxFileInfo& info) {
  std::string native = ToStd(GetNativePath(path));
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(native.c_str(), GetFileExInfoStandard, &data)) {
    RecordLastError();
    return false;
  }
  InfoFromAttributes(data.dwFileAttributes, data.nFileSizeLow, info);
  return true;
}

bool cFxOsFileSystem::SetInfo(const cFxString& path, const sFxFileInfo& info) {
  std::string native = ToStd(GetNativePath(path));
  DWORD attributes = (info.mFlags & kFxFileInfo::cReadOnly) ? FILE_ATTRIBUTE_READONLY : 0;
  if (!SetFileAttributesA(native.c_str(), attributes)) {
    RecordLastError();
    return false;
  }
  return true;
}

bool cFxOsFileSystem::Delete(const cFxString& path) {
  std::string native = ToStd(GetNativePath(path));
  if (!DeleteFileA(native.c_str())) {
    RecordLastError();
    return false;
  }
  return true;
}

cFxOsSearch* cFxOsFileSystem::FindFirst(const cFxString& pattern, sFxFileInfo& info) {
  std::string native = ToStd(GetNativePath(pattern));
  WIN32_FIND_DATAA data;
  HANDLE handle = FindFirstFileA(native.c_str(), &data);
  if (handle == INVALID_HANDLE_VALUE) {
    RecordLastError();
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

bool cFxOsFileSystem::CreateDirectory(const cFxString& path, const sFxFileInfo& info) {
  std::string native = ToStd(GetNativePath(path));
  if (!CreateDirectoryA(native.c_str(), nullptr)) return false;
  if (!ApplyInfo(path, info)) {
    uint32_t code = FxGetErrorCode();
    RemoveDirectory(path);
    FxSetErrorCode(code);
    return false;
  }
  return true;
}

bool cFxOsFileSystem::RemoveDirectory(const cFxString& path) {
  std::string native = ToStd(GetNativePath(path));
  if (!RemoveDirectoryA(native.c_str())) {
    RecordLastError();
    return false;
  }
  return true;
}
