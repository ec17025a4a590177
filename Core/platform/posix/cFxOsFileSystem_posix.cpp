// POSIX backend of the OS file layer: file descriptors and stat; a
// directory is read through the platform's one enumeration, which the data
// file walker reads through too.
//
// File names are bytes; the layer's paths are narrow strings and reach the
// system unchanged once the "@os:" prefix is dropped.
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "Core/cFxOsFileSystem.h"
#include "Core/platform/posix/FxPosix.h"

namespace {

int Descriptor(intptr_t handle) { return static_cast<int>(handle); }

// Copies the text out of the string heap: a later allocation may move it.
std::string ToStd(const cFxString& text) { return std::string(text.c_str(), text.Length()); }

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

void InfoFromStatus(const struct stat& status, sFxFileInfo& info) {
  info.mSize = static_cast<uint32_t>(static_cast<uint64_t>(status.st_size));
  info.mFlags = 0;
  // Without the owner's write permission a file counts as read-only.
  if ((status.st_mode & S_IWUSR) == 0) info.mFlags |= kFxFileInfo::cReadOnly;
  if (S_ISDIR(status.st_mode)) info.mFlags |= kFxFileInfo::cDirectory;
}

// What a search object's native handle points to.
struct sSearchState {
  cFxDirSearch* mEntries = nullptr;
  sFxDirEntry mEntry;
  bool mEntryUnseen = true;    // mEntry came with the start and is not looked at yet
  std::string mDirectoryPath;  // with a trailing "/"
  std::string mPattern;
};

}  // namespace

// ---- File object ------------------------------------------------------------------

bool cFxOsFile::CloseNative(intptr_t handle) {
  if (FxPosixClose(Descriptor(handle))) return true;
  FxPlatformRecordSystemError();
  return false;
}

int cFxOsFile::ReadNative(void* buffer, int count) {
  ssize_t result;
  do {
    result = read(Descriptor(mHandle), buffer, static_cast<size_t>(count));
  } while (result < 0 && errno == EINTR);
  if (result < 0) {
    FxPlatformRecordSystemError();
    return -1;
  }
  return static_cast<int>(result);
}

// There is no overlapped input here: the read is done at once with pread,
// beside the file's position, and is finished before anyone asks.
bool cFxOsFile::StartReadNative(uint32_t offset, void* buffer, int count) {
  ssize_t result;
  do {
    result = pread(Descriptor(mHandle), buffer, static_cast<size_t>(count), static_cast<off_t>(offset));
  } while (result < 0 && errno == EINTR);
  if (result < 0) {
    FxPlatformRecordSystemError();
    return false;
  }
  return true;
}

bool cFxOsFile::IsReadFinishedNative() { return true; }
bool cFxOsFile::WaitReadNative() { return true; }
void cFxOsFile::CancelReadNative() {}

int cFxOsFile::WriteNative(const void* buffer, int count) {
  if (FxPosixWriteAll(Descriptor(mHandle), buffer, static_cast<size_t>(count))) return count;
  FxPlatformRecordSystemError();
  return -1;
}

bool cFxOsFile::Flush() {
  if (fsync(Descriptor(mHandle)) == 0) return true;
  // Pipes and character devices have nothing to hand to a disk.
  if (errno == EINVAL) return true;
  FxPlatformRecordSystemError();
  return false;
}

bool cFxOsFile::MoveNative(int distance, eOrigin origin, int64_t& position) {
  static const int cWhence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
  const off_t result = lseek(Descriptor(mHandle), distance, cWhence[origin]);
  if (result < 0) {
    FxPlatformRecordSystemError();
    return false;
  }
  position = static_cast<int64_t>(result);
  return true;
}

// ---- Search object ------------------------------------------------------------------

bool cFxOsSearch::Close() {
  sSearchState* state = static_cast<sSearchState*>(mHandle);
  if (state == nullptr) return true;
  mHandle = nullptr;
  FxPlatformFindClose(state->mEntries);
  delete state;
  return true;
}

bool cFxOsSearch::FindNext(sFxFileInfo& info) {
  sSearchState* state = static_cast<sSearchState*>(mHandle);
  if (state == nullptr) {
    FxSetErrorCode(kFxError::cFileOther);
    return false;
  }
  for (;;) {
    if (!state->mEntryUnseen) {
      const cFxOsResult next = FxPlatformFindNext(state->mEntries, state->mEntry);
      if (!next.IsOk()) {
        next.Record();
        return false;
      }
    }
    state->mEntryUnseen = false;
    // The entry's name as the bytes on disk: every name round-trips.
    const cFxWString& wideName = state->mEntry.mName;
    const std::string name = FxPlatformNameBytes(wideName.c_str(), wideName.Length());
    if (!MatchesPattern(name.c_str(), state->mPattern.c_str())) continue;
    std::string path = state->mDirectoryPath + name;
    struct stat status;
    // A dangling link is still a name in the directory: describe the link.
    // An entry removed since the enumeration saw it is skipped.
    if (stat(path.c_str(), &status) == 0 || lstat(path.c_str(), &status) == 0) {
      InfoFromStatus(status, info);
      return true;
    }
  }
}

// ---- The layer ----------------------------------------------------------------------

cFxString cFxOsFileSystem::GetNativePath(const cFxString& path) {
  // After "@os:" the internal form already is the absolute POSIX path.
  if (path.c_str()[0] == '@') {
    int32_t colon = path.FindChar(':');
    if (colon >= 0) return path.Substring(colon + 1);
  }
  return path;
}

intptr_t cFxOsFileSystem::OpenNative(const cFxString& nativePath, const sFxOpenRequest& request) {
  const int descriptor = FxPosixOpen(ToStd(nativePath), request);
  if (descriptor < 0) FxPlatformRecordSystemError();
  return descriptor;
}

bool cFxOsFileSystem::GetInfo(const cFxString& path, sFxFileInfo& info) {
  std::string native = ToStd(GetNativePath(path));
  struct stat status;
  if (stat(native.c_str(), &status) != 0) {
    FxPlatformRecordSystemError();
    return false;
  }
  InfoFromStatus(status, info);
  return true;
}

bool cFxOsFileSystem::SetInfo(const cFxString& path, const sFxFileInfo& info) {
  std::string native = ToStd(GetNativePath(path));
  struct stat status;
  if (stat(native.c_str(), &status) != 0) {
    FxPlatformRecordSystemError();
    return false;
  }
  // Read-only takes every write permission away; writable gives the owner
  // write permission back.
  mode_t permissions = status.st_mode & 07777;
  if (info.mFlags & kFxFileInfo::cReadOnly)
    permissions &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
  else
    permissions |= S_IWUSR;
  if (chmod(native.c_str(), permissions) != 0) {
    FxPlatformRecordSystemError();
    return false;
  }
  return true;
}

bool cFxOsFileSystem::Delete(const cFxString& path) {
  std::string native = ToStd(GetNativePath(path));
  if (unlink(native.c_str()) != 0) {
    FxPlatformRecordSystemError();
    return false;
  }
  return true;
}

cFxOsSearch* cFxOsFileSystem::FindFirst(const cFxString& pattern, sFxFileInfo& info) {
  std::string native = ToStd(GetNativePath(pattern));
  std::string::size_type slash = native.rfind('/');
  std::string directory =
      slash == std::string::npos ? std::string("./") : native.substr(0, slash + 1);
  std::string namePattern = slash == std::string::npos ? native : native.substr(slash + 1);

  const std::u16string wideDirectory =
      FxPlatformNameUnits(directory.data(), static_cast<uint32_t>(directory.size()));
  sSearchState* state = new sSearchState;
  state->mDirectoryPath = directory;
  state->mPattern = namePattern;
  const cFxOsResult first = FxPlatformFindFirst(wideDirectory.c_str(), state->mEntries, state->mEntry);
  cFxOsSearch* search = nullptr;
  if (!first.IsOk()) {
    first.Record();
    delete state;
  } else {
    search = new cFxOsSearch(state);
    if (search == nullptr) {
      FxPlatformFindClose(state->mEntries);
      delete state;
      FxSetErrorCode(kFxError::cFileOther);
      return nullptr;
    }
    if (search->FindNext(info)) return search;
    delete search;
  }
  if (FxGetErrorCode() == kFxError::cFileNoMore) FxSetErrorCode(kFxError::cFileNotFound);
  return nullptr;
}

bool cFxOsFileSystem::MakeDirectoryNative(const cFxString& nativePath) {
  return mkdir(ToStd(nativePath).c_str(), 0777) == 0;
}

bool cFxOsFileSystem::RemoveDirectory(const cFxString& path) {
  std::string native = ToStd(GetNativePath(path));
  if (rmdir(native.c_str()) != 0) {
    FxPlatformRecordSystemError();
    return false;
  }
  return true;
}
