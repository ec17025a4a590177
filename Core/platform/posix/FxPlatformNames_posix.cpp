// File names as 16-bit text on POSIX.
//
// POSIX names are bytes, by convention UTF-8. A name enters as the UTF-16
// text of its UTF-8 sequences, so "Städte" gives the same key on every
// platform; a byte that starts no valid sequence (Latin-1 names, cut
// sequences, overlong forms, encoded surrogates) becomes U+DC00 + byte. Text
// goes back the same way, so every byte string comes back unchanged.
#include <string>

#include "Core/platform/FxPlatform.h"

namespace {

constexpr char16_t cByteEscape = 0xDC00;

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The length of the valid UTF-8 sequence at `bytes` (`left` bytes there), or
// 0 when its first byte starts none. The second byte's range rules out
// overlong forms, surrogates and values above U+10FFFF.
size_t SequenceLength(const unsigned char* bytes, size_t left) {
  const unsigned char lead = bytes[0];
  if (lead < 0x80) return 1;
  size_t length;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (left < length || bytes[1] < low || bytes[1] > high) return 0;
  for (size_t i = 2; i < length; ++i)
    if (!IsContinuation(bytes[i])) return 0;
  return length;
}

void AppendUtf8(char32_t point, std::string& out) {
  if (point < 0x80) {
    out += static_cast<char>(point);
  } else if (point < 0x800) {
    out += static_cast<char>(0xC0 | (point >> 6));
    out += static_cast<char>(0x80 | (point & 0x3F));
  } else if (point < 0x10000) {
    out += static_cast<char>(0xE0 | (point >> 12));
    out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (point & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (point >> 18));
    out += static_cast<char>(0x80 | ((point >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (point & 0x3F));
  }
}

}  // namespace

std::u16string FxPlatformNameUnits(const char* name, uint32_t length) {
  std::u16string units;
  units.reserve(length);
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(name);
  for (size_t i = 0; i < length;) {
    const size_t sequence = SequenceLength(bytes + i, length - i);
    if (sequence == 0) {
      units += static_cast<char16_t>(cByteEscape + bytes[i]);
      ++i;
      continue;
    }
    char32_t point = sequence == 1 ? bytes[i] : bytes[i] & (0x7F >> sequence);
    for (size_t k = 1; k < sequence; ++k) point = (point << 6) | (bytes[i + k] & 0x3F);
    if (point >= 0x10000) {
      point -= 0x10000;
      units += static_cast<char16_t>(0xD800 + (point >> 10));
      units += static_cast<char16_t>(0xDC00 + (point & 0x3FF));
    } else {
      units += static_cast<char16_t>(point);
    }
    i += sequence;
  }
  return units;
}

std::string FxPlatformNameBytes(const wchar16* text, uint32_t length) {
  std::string bytes;
  bytes.reserve(length);
  for (uint32_t i = 0; i < length; ++i) {
    const char32_t unit = text[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      AppendUtf8(0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00), bytes);
      ++i;
    } else if (unit >= cByteEscape + 0x80 && unit <= cByteEscape + 0xFF) {
      bytes += static_cast<char>(unit - cByteEscape);
    } else {
      // Any other unit, a lone surrogate too, in its three-byte form: no
      // name on disk gives such text, so it names no file.
      AppendUtf8(unit, bytes);
    }
  }
  return bytes;
}
