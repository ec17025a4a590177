// Putting written files on the storage device, on POSIX.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "Core/platform/posix/FxPosix.h"

cFxOsResult FxPlatformSyncFile(const wchar16* path) {
  const int descriptor = open(FxPosixPath(path).c_str(), O_RDONLY | O_CLOEXEC);
  // fsync works on the file, through whichever descriptor names it.
  if (descriptor >= 0 && fsync(descriptor) == 0 && close(descriptor) == 0) return cFxOsResult();
  const cFxOsResult failure = FxPosixLastError();
  if (descriptor >= 0) close(descriptor);
  return failure;
}

std::vector<cFxOsResult> FxPlatformSyncFiles(const std::vector<std::u16string>& paths) {
  std::vector<cFxOsResult> results(paths.size());
  // The file systems this call has flushed, and those that refused.
  std::vector<dev_t> flushed;
  std::vector<dev_t> refused;
  const auto among = [](const std::vector<dev_t>& devices, dev_t device) {
    return std::find(devices.begin(), devices.end(), device) != devices.end();
  };
  for (size_t i = 0; i < paths.size(); ++i) {
    const std::string native = FxPosixPath(paths[i].c_str());
    // Every file of the batch was closed before the call, so one flush of
    // its file system, made after the first of them was found there, holds
    // the rest too.
    struct stat status;
    if (stat(native.c_str(), &status) != 0) {
      results[i] = FxPosixLastError();
      continue;
    }
    if (among(flushed, status.st_dev)) continue;
    const int descriptor = open(native.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
      results[i] = FxPosixLastError();
      continue;
    }
    bool onDisk = false;
    if (!among(refused, status.st_dev)) {
      onDisk = syncfs(descriptor) == 0;
      (onDisk ? flushed : refused).push_back(status.st_dev);
    }
    // A file system that would not flush as a whole (or said a write of any
    // file on it had failed) is asked file by file, so each answer is the
    // file's own.
    if (!onDisk && fsync(descriptor) != 0) results[i] = FxPosixLastError();
    if (close(descriptor) != 0 && results[i].IsOk()) results[i] = FxPosixLastError();
  }
  return results;
}
