// POSIX backend of the OS file layer: file descriptors and stat.
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

void InfoFromStatus(const struct stat& status, sFxFileInfo& info) {
  info.mSize = static_cast<uint32_t>(static_cast<uint64_t>(status.st_size));
  info.mFlags = 0;
  // Without the owner's write permission a file counts as read-only.
  if ((status.st_mode & S_IWUSR) == 0) info.mFlags |= kFxFileInfo::cReadOnly;
  if (S_ISDIR(status.st_mode)) info.mFlags |= kFxFileInfo::cDirectory;
}

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
