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

namespace {

char LowerLowByte(wchar16 unit) {
  const char c = static_cast<char>(unit & 0xFF);
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Whether a name is a device's: its part before the first "." (spaces at
// its end dropped) is one of the system's device names.
bool NamesDevice(const wchar16* name, uint32_t length) {
  std::string base;
  for (uint32_t i = 0; i < length && (name[i] & 0xFF) != '.'; ++i) base += LowerLowByte(name[i]);
  while (!base.empty() && base.back() == ' ') base.pop_back();
  if (base == "con" || base == "prn" || base == "aux" || base == "nul" || base == "conin$" || base == "conout$")
    return true;
  // COM1 to COM9 and LPT1 to LPT9, with the superscript digits the system
  // takes for 1, 2 and 3.
  if (base.size() != 4 || (base.compare(0, 3, "com") != 0 && base.compare(0, 3, "lpt") != 0)) return false;
  const unsigned char digit = static_cast<unsigned char>(base[3]);
  return (digit >= '1' && digit <= '9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
}

}  // namespace

bool FxPlatformIsPlainName(const wchar16* name, uint32_t length) {
  for (uint32_t i = 0; i < length; ++i)
    if ((name[i] & 0xFF) == ':') return false;
  const wchar16 last = length != 0 ? static_cast<wchar16>(name[length - 1] & 0xFF) : u'\0';
  return last != u'.' && last != u' ' && !NamesDevice(name, length);
}
