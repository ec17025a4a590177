#include "API/core/FxUtf8.h"

namespace {

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }
bool IsHighSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

}  // namespace

size_t FxDecodeUtf8(const char* bytes, size_t available, char32_t& point) {
  const unsigned char* at = reinterpret_cast<const unsigned char*>(bytes);
  const unsigned char lead = at[0];
  if (lead < 0x80) {
    point = lead;
    return 1;
  }
  // The second byte's range rules out overlong forms, surrogates and values
  // above U+10FFFF, so every later byte need only continue the sequence.
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
  if (available < length || at[1] < low || at[1] > high) return 0;
  for (size_t i = 2; i < length; ++i)
    if (!IsContinuation(at[i])) return 0;
  point = lead & (0x7F >> length);
  for (size_t i = 1; i < length; ++i) point = (point << 6) | (at[i] & 0x3F);
  return length;
}

void FxAppendUtf8(char32_t point, std::string& out) {
  uint8_t bytes[4];
  uint8_t* end = bytes;
  if (point < 0x10000) {
    end = FxPutUtf8Unit(bytes, static_cast<wchar16>(point));
  } else {
    *end++ = static_cast<uint8_t>(0xF0 | (point >> 18));
    *end++ = static_cast<uint8_t>(0x80 | ((point >> 12) & 0x3F));
    *end++ = static_cast<uint8_t>(0x80 | ((point >> 6) & 0x3F));
    *end++ = static_cast<uint8_t>(0x80 | (point & 0x3F));
  }
  out.append(reinterpret_cast<const char*>(bytes), static_cast<size_t>(end - bytes));
}

void FxAppendUnitBytes(const wchar16* units, size_t length, std::string& out) {
  // Room for the longest form, written in place, then cut to what it took.
  const size_t start = out.size();
  out.resize(start + kFxUtf8::cMaxUnitBytes * length);
  uint8_t* const begin = reinterpret_cast<uint8_t*>(&out[0] + start);
  uint8_t* end = begin;
  for (size_t i = 0; i < length; ++i) end = FxPutUtf8Unit(end, units[i]);
  out.resize(start + static_cast<size_t>(end - begin));
}

void FxAppendCount(size_t count, std::string& out) {
  while (count >= 0x80) {
    out += static_cast<char>(0x80 | (count & 0x7F));
    count >>= 7;
  }
  out += static_cast<char>(count);
}

size_t FxReadCount(const std::string& bytes, size_t& at) {
  size_t count = 0;
  for (int shift = 0;; shift += 7) {
    const unsigned char byte = static_cast<unsigned char>(bytes[at++]);
    count |= static_cast<size_t>(byte & 0x7F) << shift;
    if (byte < 0x80) return count;
  }
}

void FxAppendUnitsOfBytes(const char* bytes, size_t length, std::u16string& out) {
  const unsigned char* at = reinterpret_cast<const unsigned char*>(bytes);
  for (size_t i = 0; i < length;) {
    const int32_t lead = at[i++];
    const int32_t unit = lead < 0x80 ? lead : FxDecodeUtf8Unit(lead, [&] { return i < length ? at[i++] : -1; });
    out += static_cast<char16_t>(unit);
  }
}

char32_t FxReadUtf16(const char16_t* text, size_t length, size_t& at) {
  const char32_t unit = text[at++];
  if (IsHighSurrogate(unit) && at < length && IsLowSurrogate(text[at]))
    return 0x10000 + ((unit - 0xD800) << 10) + (text[at++] - 0xDC00);
  return unit;
}

void FxAppendUtf16(char32_t point, std::u16string& out) {
  if (point >= 0x10000) {
    point -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (point >> 10));
    out += static_cast<char16_t>(0xDC00 + (point & 0x3FF));
  } else {
    out += static_cast<char16_t>(point);
  }
}
