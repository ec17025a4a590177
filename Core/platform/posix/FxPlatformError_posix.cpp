// The one place where POSIX system errors (errno) become the seam's results.
#include <cstring>

#include "Core/platform/posix/FxPosix.h"

cFxOsResult FxPosixError(int error) {
  uint32_t code;
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      code = kFxError::cFileNotFound;
      break;
    case EACCES:
    case EPERM:
    case EROFS:
    // A directory where a file is opened, or deleted as one: Windows denies
    // access to it.
    case EISDIR:
      code = kFxError::cFileAccess;
      break;
    case EMFILE:
    case ENFILE:
      code = kFxError::cFileTooMany;
      break;
    // No call fails with it here: a listing at its end says it, as Windows
    // says it has no more files.
    case ENODATA:
      code = kFxError::cFileNoMore;
      break;
    default:
      code = kFxError::cFileOther;
      break;
  }
  char buffer[256];
  // The GNU form, which answers its text: the buffer or a constant string.
  // (strerror itself may share one buffer between threads.)
  return cFxOsResult(code, strerror_r(error, buffer, sizeof buffer));
}

void FxPlatformRecordSystemError() { FxPosixLastError().Record(); }

std::string FxPlatformLastErrorText() { return FxPosixLastError().Text(); }
