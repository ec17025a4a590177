// Directories on POSIX: the one lister (opendir and readdir) and the
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

// Windows-style name pattern: "*" any run, "?" any one byte; "*.*" matches
// every name, also one without a dot.
bool MatchesPattern(const char* name, const char* pattern) {
  if (pattern[0] == '*' && pattern[1] == '.' && pattern[2] == '*' && pattern[3] == '\0') return true;
  const char* starPattern = nullptr;
  const char* starName = nullptr;
  while (*name != '\0') {
    if (*pattern == '*') {
      starPattern = ++pattern;
      starName = name;
    } else if (*pattern == '?' || *pattern == *name) {
      ++pattern;
      ++name;
    } else if (starPattern != nullptr) {
      pattern = starPattern;
      name = ++starName;
    } else {
      return false;
    }
  }
  while (*pattern == '*') ++pattern;
  return *pattern == '\0';
}

void IdentityOf(const struct stat& status, uint64_t* volume, uint64_t* file) {
  if (volume != nullptr) *volume = static_cast<uint64_t>(status.st_dev);
  if (file != nullptr) *file = static_cast<uint64_t>(status.st_ino);
}

}  // namespace

class cFxDirSearch {
 public:
  cFxDirSearch(DIR* directory, const std::string& path, const wchar16* pattern)
      : mDirectory(directory), mPath(path), mMatchAll(pattern == nullptr), mPattern(FxPosixPath(pattern)) {}
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
    for (;;) {
      errno = 0;
      struct dirent* found = readdir(mDirectory);
      if (found == nullptr) return FxPosixError(errno != 0 ? errno : ENODATA);
      if (!mMatchAll && !MatchesPattern(found->d_name, mPattern.c_str())) continue;
      entry.mName = Widen(found->d_name);
      entry.mKind = KindOf(found);
      return cFxOsResult();
    }
  }

  // A link that leads nowhere is described as itself; an entry removed
  // since it was listed has nothing to describe.
  cFxOsResult Describe(const sFxDirEntry& entry, struct stat& status) const {
    const std::string path = mPath + "/" + FxPlatformNameBytes(entry.mName.c_str(), entry.mName.Length());
    if (stat(path.c_str(), &status) == 0 || lstat(path.c_str(), &status) == 0) return cFxOsResult();
    return FxPosixLastError();
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
  bool mMatchAll;
  std::string mPattern;  // the pattern's bytes, as names are matched
};

cFxOsResult FxPlatformFindFirst(const wchar16* directory, const wchar16* pattern, cFxDirSearch*& search,
                                sFxDirEntry& entry) {
  search = nullptr;
  const std::string path = FxPosixPath(directory);
  DIR* handle = opendir(path.c_str());
  if (handle == nullptr) return FxPosixLastError();
  cFxDirSearch* started = new cFxDirSearch(handle, path, pattern);
  const cFxOsResult first = started->Next(entry);
  if (!first.IsOk()) {
    delete started;
    // A listing without a match says so as Windows does.
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

cFxOsResult FxPlatformDescribeEntry(cFxDirSearch* search, const sFxDirEntry& entry, uint64_t& size,
                                    bool& readOnly) {
  struct stat status;
  const cFxOsResult described = search == nullptr ? FxPosixError(EBADF) : search->Describe(entry, status);
  if (!described.IsOk()) return described;
  size = static_cast<uint64_t>(status.st_size);
  // Without the owner's write permission a file counts as read-only.
  readOnly = (status.st_mode & S_IWUSR) == 0;
  return described;
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
