// File names as 16-bit text on POSIX.
//
// POSIX names are bytes, by convention UTF-8. A name enters as the UTF-16
// text of its UTF-8 sequences, so "Städte" gives the same key on every
// platform; a byte that starts no valid sequence (Latin-1 names, cut
// sequences, overlong forms, encoded surrogates) becomes U+DC00 + byte. Text
// goes back the same way, so every byte string comes back unchanged.
#include <string>

#include "API/core/FxUtf8.h"
#include "Core/platform/FxPlatform.h"

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
