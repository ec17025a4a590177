// Directories on POSIX: the lister (opendir and readdir) and the
// identity of a directory (its device and inode).
//
// Names cross between bytes and 16-bit text as FxPlatformNameUnits and
// FxPlatformNameBytes say, so every byte string comes back unchanged.
#include <dirent.h>
#include <sys/stat.h>

#include <cstring>

#include "Core/platform/posix/FxPosix.h"

namespace {

cFxWString Widen(const char* name) {
  const std::u16string units = FxPlatformNameUnits(name, static_cast<uint32_t>(strlen(name)));
  return cFxWString(units.data(), static_cast<uint32_t>(units.size()));
}

void IdentityOf(const struct stat& status, uint64_t* volume, uint64_t* file) {
  if (volume != nullptr) *volume = static_cast<uint64_t>(status.st_dev);
  if (file != nullptr) *file = static_cast<uint64_t>(status.st_ino);
}

}  // namespace

class cFxDirSearch {
 public:
  cFxDirSearch(DIR* directory, const std::string& path) : mDirectory(directory), mPath(path) {}
  ~cFxDirSearch() {
    if (mDirectory != nullptr) closedir(mDirectory);
  }
  cFxDirSearch(const cFxDirSearch&) = delete;
  cFxDirSearch& operator=(const cFxDirSearch&) = delete;

  // The open directory's own identity: no name to look up.
  cFxOsResult GetIdentity(uint64_t* volume, uint64_t* file) const {
    struct stat status;
    if (fstat(dirfd(mDirectory), &status) != 0) return FxPosixLastError();
    IdentityOf(status, volume, file);
    return cFxOsResult();
  }

  cFxOsResult Next(sFxDirEntry& entry) {
    errno = 0;
    struct dirent* found = readdir(mDirectory);
    if (found == nullptr) return FxPosixError(errno != 0 ? errno : ENODATA);
    entry.mName = Widen(found->d_name);
    entry.mKind = KindOf(found);
    return cFxOsResult();
  }

  cFxOsResult Close() {
    const bool closed = closedir(mDirectory) == 0;
    mDirectory = nullptr;
    return closed ? cFxOsResult() : FxPosixLastError();
  }

 private:
  // A link is what it leads to: a link to a directory is walked like the
  // directory itself. A link that leads nowhere is still a name, which a
  // reader then fails to open.
  eFxEntryKind KindOf(const struct dirent* found) const {
    mode_t type;
    if (found->d_type == DT_LNK || found->d_type == DT_UNKNOWN) {
      struct stat status;
      const std::string path = mPath + "/" + found->d_name;
      if (stat(path.c_str(), &status) != 0) return eFxEntryFile;
      type = status.st_mode & S_IFMT;
    } else {
      type = DTTOIF(found->d_type);
    }
    if (S_ISDIR(type)) return eFxEntryDirectory;
    return S_ISREG(type) ? eFxEntryFile : eFxEntrySpecial;
  }

  DIR* mDirectory;
  std::string mPath;
};

cFxOsResult FxPlatformFindFirst(const wchar16* directory, cFxDirSearch*& search, sFxDirEntry& entry) {
  search = nullptr;
  const std::string path = FxPosixPath(directory);
  DIR* handle = opendir(path.c_str());
  if (handle == nullptr) return FxPosixLastError();
  cFxDirSearch* started = new cFxDirSearch(handle, path);
  const cFxOsResult first = started->Next(entry);
  if (!first.IsOk()) {
    delete started;
    // A listing without an entry says so as Windows does.
    return first.IsEnd() ? FxPosixError(ENOENT) : first;
  }
  search = started;
  return first;
}

cFxOsResult FxPlatformFindNext(cFxDirSearch* search, sFxDirEntry& entry) {
  return search == nullptr ? FxPosixError(EBADF) : search->Next(entry);
}

cFxOsResult FxPlatformFindClose(cFxDirSearch* search) {
  if (search == nullptr) return cFxOsResult();
  const cFxOsResult closed = search->Close();
  delete search;
  return closed;
}

cFxOsResult FxPlatformGetSearchIdentity(cFxDirSearch* search, uint64_t* volume, uint64_t* file) {
  return search == nullptr ? FxPosixError(EBADF) : search->GetIdentity(volume, file);
}

cFxOsResult FxPlatformGetDirectoryIdentity(const wchar16* directory, uint64_t* volume, uint64_t* file) {
  struct stat status;
  if (stat(FxPosixPath(directory).c_str(), &status) != 0) return FxPosixLastError();
  IdentityOf(status, volume, file);
  return cFxOsResult();
}
