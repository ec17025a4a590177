// Console, debugger, message box and log viewer on Windows.
#include <cstring>

#include "Core/platform/win32/FxWin32.h"

#ifdef _MSC_VER
#pragma comment(lib, "user32.lib")
#endif

// Writes to a pipe whose reader has gone, or beyond a quota, fail; nothing
// ends the process.
void FxPlatformKeepRunningWhenWritesFail() {}

void FxPlatformWriteStdErr(const char* text) {
  if (text == nullptr) return;
  HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
  // A program started without a console has no standard error to write to.
  if (err == nullptr || err == INVALID_HANDLE_VALUE) return;
  DWORD left = static_cast<DWORD>(strlen(text));
  while (left > 0) {
    DWORD written = 0;
    if (!WriteFile(err, text, left, &written, nullptr) || written == 0) return;
    text += written;
    left -= written;
  }
}

void FxPlatformDebugOutput(const char* text) {
  if (text != nullptr) OutputDebugStringA(text);
}

void FxPlatformMessageBox(const char* text, const char* caption) {
  MessageBoxA(nullptr, text, caption, MB_OK);
}

void FxPlatformDebugBreak() {
  // Without a debugger the breakpoint would end the process.
  if (IsDebuggerPresent()) DebugBreak();
}

void* FxPlatformFindWindow(const char* title) { return FindWindowA(nullptr, title); }

void FxPlatformSendCopyData(void* window, uint32_t kind, const void* data, uint32_t size) {
  if (window == nullptr) return;
  COPYDATASTRUCT message;
  message.dwData = kind;
  message.cbData = size;
  message.lpData = const_cast<void*>(data);
  SendMessageA(static_cast<HWND>(window), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&message));
}
