// The one place where POSIX system errors (errno) enter the error record.
#include <errno.h>

#include <cstring>

#include "API/core/FxError.h"
#include "Core/platform/FxPlatform.h"

namespace {

uint32_t CodeFromErrno(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return kFxError::cFileNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
      return kFxError::cFileAccess;
    case EMFILE:
    case ENFILE:
      return kFxError::cFileTooMany;
    default:
      return kFxError::cFileOther;
  }
}

}  // namespace

void FxPlatformRecordSystemError() {
  // Read once: formatting the message may itself change errno.
  const int error = errno;
  const std::string text = FxPlatformLastErrorText();
  FxSetErrorCode(CodeFromErrno(error));
  FxSetErrorMessage("%s", text.c_str());
}

std::string FxPlatformLastErrorText() {
  const int error = errno;
  char buffer[256];
  // The GNU form, which answers its text: the buffer or a constant string.
  // (strerror itself may share one buffer between threads.)
  return std::string(strerror_r(error, buffer, sizeof buffer));
}
