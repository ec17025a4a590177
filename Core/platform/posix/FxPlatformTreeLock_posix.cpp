// The lock of a rewriting run on POSIX: flock on the tree's directory.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "Core/platform/posix/FxPosix.h"

eFxTreeLock FxPlatformLockTree(const wchar16* directory, intptr_t& lock) {
  // The directory itself carries the lock: a file beside the data files
  // would be one more thing a killed run leaves behind. The serializer and
  // other children must not inherit it.
  int descriptor;
  do {
    descriptor = open(FxPosixPath(directory).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  } while (descriptor < 0 && errno == EINTR);
  if (descriptor < 0) return eFxTreeLockNone;
  int result;
  do {
    result = flock(descriptor, LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  if (result == 0) {
    lock = descriptor;
    return eFxTreeLockTaken;
  }
  const bool busy = errno == EWOULDBLOCK;
  close(descriptor);
  return busy ? eFxTreeLockBusy : eFxTreeLockNone;
}

void FxPlatformUnlockTree(intptr_t lock) {
  // Closing the only descriptor of the lock drops it.
  close(static_cast<int>(lock));
}
