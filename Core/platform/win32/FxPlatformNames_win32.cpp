// File names as 16-bit text on Windows: the wide system functions take the
// text as it is; an 8-bit name is the low byte of each unit, and a name
// typed in 8 bits widens by sign extension.
#include <string>

#include "Core/platform/FxPlatform.h"

std::u16string FxPlatformNameUnits(const char* name, uint32_t length) {
  std::u16string units(length, u'\0');
  for (uint32_t i = 0; i < length; ++i)
    units[i] = static_cast<char16_t>(static_cast<int16_t>(static_cast<signed char>(name[i])));
  return units;
}

std::string FxPlatformNameBytes(const wchar16* text, uint32_t length) {
  std::string bytes(length, '\0');
  for (uint32_t i = 0; i < length; ++i) bytes[i] = static_cast<char>(text[i] & 0xFF);
  return bytes;
}
