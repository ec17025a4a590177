// File names and paths as 16-bit text on Windows: the wide system functions
// take the text as it is; an 8-bit name is the low byte of each unit, and a
// name typed in 8 bits widens by sign extension.
#include "Core/platform/win32/FxWin32.h"
// The shell's path functions, after the system's own header.
#include <shlwapi.h>

#include <cstring>
#include <string>

#ifdef _MSC_VER
#pragma comment(lib, "shlwapi.lib")
#endif

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

std::u16string FxPlatformNativePathUnits(const char* path, uint32_t length) {
  // As the system's 8-bit file functions read a path: through the ANSI code
  // page.
  if (length == 0) return std::u16string();
  const int count = MultiByteToWideChar(CP_ACP, 0, path, static_cast<int>(length), nullptr, 0);
  std::u16string units(static_cast<size_t>(count), u'\0');
  MultiByteToWideChar(CP_ACP, 0, path, static_cast<int>(length), reinterpret_cast<wchar_t*>(&units[0]), count);
  return units;
}

// ---- Current directory and native paths ------------------------------------------------

uint32_t FxPlatformGetCurrentDirectory(wchar16* buffer, uint32_t capacity) {
  if (buffer == nullptr || capacity == 0) return 0;
  DWORD length = GetCurrentDirectoryW(capacity, reinterpret_cast<wchar_t*>(buffer));
  // A directory that does not fit answers the size it would need.
  return length < capacity ? length : 0;
}

bool FxPlatformNativeToInternal(const char* nativePath, cFxString& internal) {
  if (nativePath == nullptr || std::strlen(nativePath) >= MAX_PATH) return false;
  char text[MAX_PATH];
  std::strcpy(text, nativePath);
  PathRemoveBlanksA(text);
  // The system takes "/" for a separator too; the shell path functions
  // below know only "\\".
  for (char* c = text; *c != '\0'; ++c) {
    if (*c == '/') *c = '\\';
  }

  char combined[MAX_PATH];
  bool oneBackslash = text[0] == '\\' && text[1] != '\\';
  if (PathIsRelativeA(text) || oneBackslash) {
    // PathCombineA puts a path with one leading backslash on the drive root.
    char directory[MAX_PATH];
    DWORD length = GetCurrentDirectoryA(MAX_PATH, directory);
    if (length == 0 || length >= MAX_PATH) return false;
    if (PathCombineA(combined, directory, text) == nullptr) return false;
  } else {
    std::strcpy(combined, text);
  }
  char canonical[MAX_PATH];
  if (!PathCanonicalizeA(canonical, combined)) return false;

  std::string result = "@os:";
  const char* belowRoot = nullptr;
  int drive = PathGetDriveNumberA(canonical);
  if (drive >= 0) {
    result += static_cast<char>('a' + drive);
    result += '/';
    belowRoot = PathSkipRootA(canonical);
  } else if (canonical[0] == '\\' && canonical[1] == '\\') {
    result += "\\\\";
    belowRoot = canonical + 2;
  }
  if (belowRoot == nullptr) return false;
  // Names below the root, one "/" between them: a trailing or doubled
  // separator names no further directory.
  bool separate = false;
  for (const char* c = belowRoot; *c != '\0'; ++c) {
    if (*c == '\\') {
      separate = true;
      continue;
    }
    if (separate && result.back() != '/' && result.back() != '\\') result += '/';
    separate = false;
    result += *c;
  }
  internal = cFxString(result.c_str(), static_cast<uint32_t>(result.size()));
  return true;
}

uint32_t FxPlatformPathLimit() { return MAX_PATH; }
