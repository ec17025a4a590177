// Win32 backend of the OS file layer: file handles and attributes through
// the ANSI file functions.
#include "Core/platform/win32/FxWin32.h"
// The layer's own operations share these names.
#undef CreateDirectory
#undef RemoveDirectory

#include <cstring>
#include <string>

#include "Core/cFxOsFileSystem.h"

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
  const HANDLE handle = FxWin32Open(ToStd(nativePath), request);
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
