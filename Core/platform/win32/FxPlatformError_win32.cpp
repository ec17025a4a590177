// The one place where Win32 system errors (GetLastError) enter the error
// record.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <string>

#include "API/core/FxError.h"
#include "Core/platform/FxPlatform.h"

namespace {

uint32_t CodeFromSystemError(DWORD error) {
  switch (error) {
    case ERROR_TOO_MANY_OPEN_FILES:
      return kFxError::cFileTooMany;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return kFxError::cFileNotFound;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
      return kFxError::cFileAccess;
    case ERROR_NO_MORE_FILES:
      return kFxError::cFileNoMore;
    default:
      return kFxError::cFileOther;
  }
}

}  // namespace

void FxPlatformRecordSystemError() {
  const DWORD error = GetLastError();
  const std::string text = FxPlatformLastErrorText();
  FxSetErrorCode(CodeFromSystemError(error));
  FxSetErrorMessage("%s", text.c_str());
}

std::string FxPlatformLastErrorText() {
  const DWORD error = GetLastError();
  // The system's own sentence, without the line end and full stop it
  // carries, so callers can place it inside a line of their own.
  char text[512];
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                error, 0, text, sizeof text, nullptr);
  while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n' ||
                        text[length - 1] == ' ' || text[length - 1] == '.'))
    --length;
  if (length == 0) return "system error " + std::to_string(static_cast<unsigned long>(error));
  return std::string(text, length);
}
