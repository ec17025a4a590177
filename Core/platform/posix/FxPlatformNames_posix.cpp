// File names and paths as 16-bit text on POSIX.
//
// POSIX names are bytes, by convention UTF-8. A name enters as the UTF-16
// text of its UTF-8 sequences, so "Städte" gives the same key on every
// platform; a byte that starts no valid sequence (Latin-1 names, cut
// sequences, overlong forms, encoded surrogates) becomes U+DC00 + byte. Text
// goes back the same way, so every byte string comes back unchanged.
#include <limits.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "API/core/FxUtf8.h"
#include "Core/platform/posix/FxPosix.h"

namespace {
constexpr char16_t cByteEscape = 0xDC00;
}  // namespace

std::u16string FxPlatformNameUnits(const char* name, uint32_t length) {
  std::u16string units;
  units.reserve(length);
  for (size_t i = 0; i < length;) {
    // ASCII, nearly every name's every byte, stands for itself.
    if (static_cast<unsigned char>(name[i]) < 0x80) {
      units += static_cast<char16_t>(name[i++]);
      continue;
    }
    char32_t point;
    const size_t sequence = FxDecodeUtf8(name + i, length - i, point);
    if (sequence == 0) {
      units += static_cast<char16_t>(cByteEscape + static_cast<unsigned char>(name[i]));
      ++i;
    } else {
      FxAppendUtf16(point, units);
      i += sequence;
    }
  }
  return units;
}

std::string FxPlatformNameBytes(const wchar16* text, uint32_t length) {
  // The ASCII start of a name, nearly always all of it, in one go.
  size_t ascii = 0;
  while (ascii < length && text[ascii] < 0x80) ++ascii;
  std::string bytes(ascii, '\0');
  for (size_t i = 0; i < ascii; ++i) bytes[i] = static_cast<char>(text[i]);
  if (ascii == length) return bytes;
  bytes.reserve(length);
  for (size_t i = ascii; i < length;) {
    if (text[i] < 0x80) {
      bytes += static_cast<char>(text[i++]);
      continue;
    }
    const char32_t point = FxReadUtf16(text, length, i);
    if (point >= cByteEscape + 0x80 && point <= cByteEscape + 0xFF) {
      bytes += static_cast<char>(point - cByteEscape);
    } else {
      // Any other point, a lone surrogate too, in its UTF-8 form: no name on
      // disk gives such text, so it names no file.
      FxAppendUtf8(point, bytes);
    }
  }
  return bytes;
}

// A POSIX name is any bytes but "/" and NUL, and the system takes it as
// it is.
bool FxPlatformIsPlainName(const wchar16*, uint32_t) { return true; }

std::u16string FxPlatformNativePathUnits(const char* path, uint32_t length) {
  return FxPlatformNameUnits(path, length);
}

std::string FxPosixPath(const wchar16* path) {
  if (path == nullptr) return std::string();
  uint32_t length = 0;
  while (path[length] != 0) ++length;
  return FxPlatformNameBytes(path, length);
}

// ---- Current directory and native paths ------------------------------------------------

bool FxPosixCurrentDirectory(std::string& directory) {
  std::vector<char> buffer(PATH_MAX + 1);
  if (getcwd(buffer.data(), buffer.size()) == nullptr) return false;
  directory = buffer.data();
  return true;
}

uint32_t FxPlatformGetCurrentDirectory(wchar16* buffer, uint32_t capacity) {
  std::string directory;
  if (buffer == nullptr || !FxPosixCurrentDirectory(directory)) return 0;
  const std::u16string units =
      FxPlatformNameUnits(directory.data(), static_cast<uint32_t>(directory.size()));
  if (units.size() + 1 > capacity) return 0;
  units.copy(buffer, units.size());
  buffer[units.size()] = 0;
  return static_cast<uint32_t>(units.size());
}

bool FxPlatformNativeToInternal(const char* nativePath, cFxString& internal) {
  if (nativePath == nullptr) return false;
  std::string text(nativePath);
  // Blanks only: a TAB is part of the name.
  size_t first = text.find_first_not_of(' ');
  size_t last = text.find_last_not_of(' ');
  text = first == std::string::npos ? std::string() : text.substr(first, last - first + 1);

  if (text.empty() || text[0] != '/') {
    std::string directory;
    if (!FxPosixCurrentDirectory(directory)) return false;
    text = directory + "/" + text;
  }

  // A run of "/" separates like one, and a trailing "/" names the directory
  // itself; "." and ".." are left to the path's own normalisation.
  std::string result = "@os:";
  for (char c : text) {
    if (c != '/' || result.back() != '/') result += c;
  }
  if (result.size() > 5 && result.back() == '/') result.pop_back();
  internal = cFxString(result.c_str(), static_cast<uint32_t>(result.size()));
  return true;
}

uint32_t FxPlatformPathLimit() { return PATH_MAX; }
