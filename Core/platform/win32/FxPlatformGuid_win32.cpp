// GUID text on Windows, through the RPC runtime's identifier functions.
#include "Core/platform/win32/FxWin32.h"
// The RPC runtime's header, after the system's own.
#include <rpc.h>

#include <cstring>

#ifdef _MSC_VER
#pragma comment(lib, "rpcrt4.lib")
#endif

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
