// Files on POSIX: by wide path for the walker, the conversion and the
// write-back, and by descriptor for threads of their own; the OS file layer
// opens, writes and closes through the same calls.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "Core/cFxOsFileSystem.h"
#include "Core/platform/posix/FxPosix.h"

// ---- Shared with the OS file layer ------------------------------------------------

int FxPosixOpen(const std::string& native, const sFxOpenRequest& request, uint64_t* size) {
  static const int cDisposition[] = {0, O_TRUNC, O_CREAT, O_CREAT | O_TRUNC, O_CREAT | O_EXCL,
                                     O_CREAT | O_EXCL | O_NOFOLLOW};
  // Children (the serializer) must not inherit open data files.
  int flags = O_CLOEXEC | cDisposition[request.mDisposition] |
              (request.mRead && request.mWrite ? O_RDWR : request.mWrite ? O_WRONLY : O_RDONLY);
  const mode_t permissions = request.mReadOnlyFile ? 0444 : 0666;

  // A name cleared first is then created exclusively: a link put there,
  // even one planted again since, is never written through.
  if (request.mDisposition == eFxClearAndCreateNew && unlink(native.c_str()) != 0 && errno != ENOENT) return -1;
  int descriptor;
  do {
    descriptor = open(native.c_str(), flags, permissions);
  } while (descriptor < 0 && errno == EINTR);
  if (descriptor < 0) return -1;
  // A directory opened for writing is refused by open itself: only one
  // opened for reading alone needs a look at what it is.
  if (request.mWrite && size == nullptr) return descriptor;
  struct stat status;
  const bool known = fstat(descriptor, &status) == 0;
  if (known && S_ISDIR(status.st_mode)) {
    close(descriptor);
    errno = EISDIR;
    return -1;
  }
  if (size != nullptr) *size = known && status.st_size > 0 ? static_cast<uint64_t>(status.st_size) : 0;
  return descriptor;
}

bool FxPosixWriteAll(int descriptor, const void* bytes, size_t count) {
  // write may take less than asked (a full disk, a signal): go on until all
  // is written or it fails.
  const char* next = static_cast<const char*>(bytes);
  size_t written = 0;
  while (written < count) {
    ssize_t result = write(descriptor, next + written, count - written);
    if (result < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (result == 0) {
      // Nothing taken and no reason given: retrying could loop for ever.
      errno = EIO;
      return false;
    }
    written += static_cast<size_t>(result);
  }
  return true;
}

// EINTR still releases the descriptor on Linux: retrying could close a
// descriptor opened meanwhile.
bool FxPosixClose(int descriptor) { return close(descriptor) == 0 || errno == EINTR; }

// ---- By wide native path ------------------------------------------------------------

cFxOsResult FxPlatformAccessReadWrite(const wchar16* path) {
  if (access(FxPosixPath(path).c_str(), R_OK | W_OK) == 0) return cFxOsResult();
  return FxPosixLastError();
}

cFxOsResult FxPlatformMakeReadWrite(const wchar16* path) {
  const std::string native = FxPosixPath(path);
  struct stat status;
  if (stat(native.c_str(), &status) != 0 || chmod(native.c_str(), (status.st_mode & 07777) | S_IRUSR | S_IWUSR) != 0)
    return FxPosixLastError();
  return cFxOsResult();
}

cFxOsResult FxPlatformDeleteFile(const wchar16* path) {
  if (unlink(FxPosixPath(path).c_str()) == 0) return cFxOsResult();
  return FxPosixLastError();
}

cFxOsResult FxPlatformReplaceFile(const wchar16* source, const wchar16* target) {
  // rename swaps the directory entry in one step: readers see the old file
  // or the new one, never a missing or partial one.
  if (rename(FxPosixPath(source).c_str(), FxPosixPath(target).c_str()) == 0) return cFxOsResult();
  return FxPosixLastError();
}

// ---- On a thread of their own ------------------------------------------------------

cFxOsResult FxPlatformCreateTemporaryFile(const char* nativePath, intptr_t& handle) {
  const int descriptor = FxPosixOpen(nativePath, FxDecodeOpenMode(kFxFileMode::cModeTemporary, 0));
  if (descriptor < 0) return FxPosixLastError();
  handle = descriptor;
  return cFxOsResult();
}

cFxOsResult FxPlatformOpenFileForReading(const char* nativePath, intptr_t& handle, uint64_t& size) {
  const int descriptor = FxPosixOpen(nativePath, FxDecodeOpenMode(kFxFileMode::cModeRead, 0), &size);
  if (descriptor < 0) return FxPosixLastError();
  handle = descriptor;
  return cFxOsResult();
}

cFxOsResult FxPlatformReadFile(intptr_t handle, void* bytes, size_t count, size_t& got) {
  ssize_t result;
  do {
    result = read(static_cast<int>(handle), bytes, count);
  } while (result < 0 && errno == EINTR);
  if (result < 0) {
    got = 0;
    return FxPosixLastError();
  }
  got = static_cast<size_t>(result);
  return cFxOsResult();
}

cFxOsResult FxPlatformWriteFile(intptr_t handle, const void* bytes, size_t count) {
  if (FxPosixWriteAll(static_cast<int>(handle), bytes, count)) return cFxOsResult();
  return FxPosixLastError();
}

cFxOsResult FxPlatformCloseFile(intptr_t handle) {
  if (FxPosixClose(static_cast<int>(handle))) return cFxOsResult();
  return FxPosixLastError();
}
