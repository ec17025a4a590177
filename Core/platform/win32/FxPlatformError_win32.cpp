// The one place where Win32 system errors (GetLastError) become the seam's
// results.
#include "Core/platform/win32/FxWin32.h"

cFxOsResult FxWin32Error(DWORD error) {
  uint32_t code;
  switch (error) {
    case ERROR_TOO_MANY_OPEN_FILES:
      code = kFxError::cFileTooMany;
      break;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      code = kFxError::cFileNotFound;
      break;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
      code = kFxError::cFileAccess;
      break;
    case ERROR_NO_MORE_FILES:
      code = kFxError::cFileNoMore;
      break;
    default:
      code = kFxError::cFileOther;
      break;
  }
  // The system's own sentence, without the line end and full stop it
  // carries, so callers can place it inside a line of their own.
  char text[512];
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                error, 0, text, sizeof text, nullptr);
  while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n' ||
                        text[length - 1] == ' ' || text[length - 1] == '.'))
    --length;
  if (length == 0) return cFxOsResult(code, "system error " + std::to_string(static_cast<unsigned long>(error)));
  return cFxOsResult(code, std::string(text, length));
}

void FxPlatformRecordSystemError() { FxWin32LastError().Record(); }

std::string FxPlatformLastErrorText() { return FxWin32LastError().Text(); }
