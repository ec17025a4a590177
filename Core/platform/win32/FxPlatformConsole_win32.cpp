// Console, debugger, message box, log viewer and GUID text on Windows.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <rpc.h>

#include <cstring>

#include "Core/platform/FxPlatform.h"

#ifdef _MSC_VER
#pragma comment(lib, "user32.lib")
#pragma comment(lib, "rpcrt4.lib")
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

bool FxPlatformGuidFromString(const char* text, uint8_t out[16]) {
  memset(out, 0, 16);
  // Null would parse as the nil GUID; it is no GUID text either.
  if (text == nullptr) return false;
  UUID uuid;
  if (UuidFromStringA(reinterpret_cast<RPC_CSTR>(const_cast<char*>(text)), &uuid) != RPC_S_OK) {
    return false;
  }
  static_assert(sizeof uuid == 16, "a UUID is 16 bytes");
  memcpy(out, &uuid, 16);
  return true;
}

cFxString FxPlatformGuidToString(const uint8_t guid[16]) {
  UUID uuid;
  memcpy(&uuid, guid, 16);
  RPC_CSTR text = nullptr;
  if (UuidToStringA(&uuid, &text) != RPC_S_OK || text == nullptr) return cFxString();
  cFxString result(reinterpret_cast<const char*>(text));
  RpcStringFreeA(&text);
  return result;
}

bool FxPlatformGuidEqual(const uint8_t a[16], const uint8_t b[16]) {
  UUID first;
  UUID second;
  memcpy(&first, a, 16);
  memcpy(&second, b, 16);
  RPC_STATUS status = RPC_S_OK;
  return UuidEqual(&first, &second, &status) != 0;
}
