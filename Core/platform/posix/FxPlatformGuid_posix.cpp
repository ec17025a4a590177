// GUID text on POSIX, where no system library parses it: the text form is
// read and written here.
#include <cstdio>
#include <cstring>

#include "Core/platform/FxPlatform.h"

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads `digits` hex digits at text[*pos] into *value.
bool ReadHex(const char* text, size_t* pos, int digits, uint32_t* value) {
  uint32_t result = 0;
  for (int i = 0; i < digits; ++i) {
    const int digit = HexValue(text[*pos]);
    if (digit < 0) return false;
    result = (result << 4) | static_cast<uint32_t>(digit);
    ++*pos;
  }
  *value = result;
  return true;
}

bool ReadDash(const char* text, size_t* pos) { return text[(*pos)++] == '-'; }

}  // namespace

// The text form is "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx", any hex case.
// The first three fields are stored as the machine holds a GUID structure's
// integers in memory.
bool FxPlatformGuidFromString(const char* text, uint8_t out[16]) {
  memset(out, 0, 16);
  if (text == nullptr || strlen(text) != 36) return false;
  size_t pos = 0;
  uint32_t data1 = 0;
  uint32_t data2 = 0;
  uint32_t data3 = 0;
  uint32_t bytes[8] = {};
  bool ok = ReadHex(text, &pos, 8, &data1) && ReadDash(text, &pos) &&
            ReadHex(text, &pos, 4, &data2) && ReadDash(text, &pos) &&
            ReadHex(text, &pos, 4, &data3) && ReadDash(text, &pos) &&
            ReadHex(text, &pos, 2, &bytes[0]) && ReadHex(text, &pos, 2, &bytes[1]) &&
            ReadDash(text, &pos);
  for (int i = 2; ok && i < 8; ++i) ok = ReadHex(text, &pos, 2, &bytes[i]);
  if (!ok) return false;
  const uint16_t d2 = static_cast<uint16_t>(data2);
  const uint16_t d3 = static_cast<uint16_t>(data3);
  memcpy(out, &data1, 4);
  memcpy(out + 4, &d2, 2);
  memcpy(out + 6, &d3, 2);
  for (int i = 0; i < 8; ++i) out[8 + i] = static_cast<uint8_t>(bytes[i]);
  return true;
}

cFxString FxPlatformGuidToString(const uint8_t guid[16]) {
  uint32_t data1;
  uint16_t data2;
  uint16_t data3;
  memcpy(&data1, guid, 4);
  memcpy(&data2, guid + 4, 2);
  memcpy(&data3, guid + 6, 2);
  char text[40];
  snprintf(text, sizeof text, "%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x",
           static_cast<unsigned int>(data1), static_cast<unsigned int>(data2),
           static_cast<unsigned int>(data3), guid[8], guid[9], guid[10], guid[11], guid[12],
           guid[13], guid[14], guid[15]);
  return cFxString(text);
}

bool FxPlatformGuidEqual(const uint8_t a[16], const uint8_t b[16]) { return memcmp(a, b, 16) == 0; }
