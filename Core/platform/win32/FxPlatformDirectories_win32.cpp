// Directories on Windows: the one lister (FindFirstFileW and FindNextFileW)
// and the identity of a directory (its volume and file index).
#include "Core/platform/win32/FxWin32.h"

class cFxDirSearch {
 public:
  cFxDirSearch(HANDLE handle, const WIN32_FIND_DATAW& data, const wchar16* directory)
      : mHandle(handle), mData(data), mDirectory(directory) {}
  ~cFxDirSearch() {
    if (mHandle != INVALID_HANDLE_VALUE) FindClose(mHandle);
  }
  cFxDirSearch(const cFxDirSearch&) = delete;
  cFxDirSearch& operator=(const cFxDirSearch&) = delete;

  HANDLE mHandle;
  WIN32_FIND_DATAW mData;  // the entry found last
  // A find handle tells nothing of its directory: the identity comes from
  // the name the search started on.
  std::u16string mDirectory;
};

namespace {

void EntryFromData(const WIN32_FIND_DATAW& data, sFxDirEntry& entry) {
  entry.mName = cFxWString(reinterpret_cast<const wchar16*>(data.cFileName));
  // Junctions and directory links carry the directory attribute as well.
  entry.mKind =
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? eFxEntryDirectory : eFxEntryFile;
}

}  // namespace

cFxOsResult FxPlatformFindFirst(const wchar16* directory, const wchar16* pattern, cFxDirSearch*& search,
                                sFxDirEntry& entry) {
  search = nullptr;
  if (directory == nullptr) return FxWin32Error(ERROR_INVALID_PARAMETER);
  std::wstring path(FxWin32Wide(directory));
  if (!path.empty() && path.back() != L'\\' && path.back() != L'/') path += L'\\';
  path += pattern != nullptr ? FxWin32Wide(pattern) : L"*";
  // The system matches the pattern itself.
  WIN32_FIND_DATAW data;
  HANDLE handle = FindFirstFileW(path.c_str(), &data);
  if (handle == INVALID_HANDLE_VALUE) return FxWin32LastError();
  EntryFromData(data, entry);
  search = new cFxDirSearch(handle, data, directory);
  return cFxOsResult();
}

cFxOsResult FxPlatformFindNext(cFxDirSearch* search, sFxDirEntry& entry) {
  if (search == nullptr) return FxWin32Error(ERROR_INVALID_HANDLE);
  if (!FindNextFileW(search->mHandle, &search->mData)) return FxWin32LastError();
  EntryFromData(search->mData, entry);
  return cFxOsResult();
}

cFxOsResult FxPlatformFindClose(cFxDirSearch* search) {
  if (search == nullptr) return cFxOsResult();
  const bool closed = FindClose(search->mHandle) != 0;
  const cFxOsResult result = closed ? cFxOsResult() : FxWin32LastError();
  search->mHandle = INVALID_HANDLE_VALUE;
  delete search;
  return result;
}

cFxOsResult FxPlatformDescribeEntry(cFxDirSearch* search, const sFxDirEntry&, uint64_t& size, bool& readOnly) {
  if (search == nullptr) return FxWin32Error(ERROR_INVALID_HANDLE);
  // The find data holds it: no second look at the name.
  size = (static_cast<uint64_t>(search->mData.nFileSizeHigh) << 32) | search->mData.nFileSizeLow;
  readOnly = (search->mData.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
  return cFxOsResult();
}

cFxOsResult FxPlatformGetSearchIdentity(cFxDirSearch* search, uint64_t* volume, uint64_t* file) {
  if (search == nullptr) return FxWin32Error(ERROR_INVALID_HANDLE);
  return FxPlatformGetDirectoryIdentity(search->mDirectory.c_str(), volume, file);
}

cFxOsResult FxPlatformGetDirectoryIdentity(const wchar16* directory, uint64_t* volume, uint64_t* file) {
  // Opening a directory needs backup semantics; no access is asked for.
  HANDLE handle = CreateFileW(FxWin32Wide(directory), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return FxWin32LastError();
  BY_HANDLE_FILE_INFORMATION information;
  const bool known = GetFileInformationByHandle(handle, &information) != 0;
  const cFxOsResult result = known ? cFxOsResult() : FxWin32LastError();
  CloseHandle(handle);
  if (!known) return result;
  if (volume != nullptr) *volume = information.dwVolumeSerialNumber;
  if (file != nullptr)
    *file = (static_cast<uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
  return result;
}
