// Conversions between wide text and integers. (Those of a double and of a
// character go through the wide formatter: FxStringFormatWide.cpp.)
#include "API/core/cFxString.h"
#include "Core/FxStringBuffer.h"

namespace {

// Digits of `value` written backwards from the end of `buffer`.
wchar16* Digits(uint64_t value, wchar16* end) {
  do {
    *--end = static_cast<wchar16>(u'0' + value % 10);
    value /= 10;
  } while (value);
  return end;
}

// -1 for a character that is no digit in any base, the terminator included.
int32_t DigitValue(wchar16 c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'z') return c - u'a' + 10;
  if (c >= u'A' && c <= u'Z') return c - u'A' + 10;
  return -1;
}

}  // namespace

cFxWString cFxWString::FromInt(int64_t value) {
  wchar16 buffer[24];
  wchar16* end = buffer + 24;
  // Negating in unsigned arithmetic also covers the most negative value.
  uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  wchar16* first = Digits(magnitude, end);
  if (value < 0) *--first = u'-';
  return cFxWString(first, static_cast<uint32_t>(end - first));
}

cFxWString cFxWString::FromUInt(uint64_t value) {
  wchar16 buffer[24];
  wchar16* end = buffer + 24;
  wchar16* first = Digits(value, end);
  return cFxWString(first, static_cast<uint32_t>(end - first));
}

uint64_t cFxWString::ToUInt(const wchar16* text, uint32_t* count, int32_t base) {
  uint32_t i = 0;
  uint64_t value = 0;
  if (text) {
    if (base == -1) {
      base = 10;
      if (text[0] == u'0') {
        if (text[1] == u'x' || text[1] == u'X') {
          base = 16;
          i = 2;
        } else if (text[1] == u'b' || text[1] == u'B') {
          base = 2;
          i = 2;
        } else {
          base = 8;
        }
      }
    }
    for (;; ++i) {
      int32_t digit = DigitValue(text[i]);
      if (digit < 0 || digit >= base) break;
      value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
    }
  }
  if (count) *count = i;
  return value;
}

int64_t cFxWString::ToInt(const wchar16* text, uint32_t* count, int32_t base) {
  if (text && text[0] == u'-') {
    uint32_t rest = 0;
    uint64_t value = ToUInt(text + 1, &rest, base);
    if (count) *count = rest + 1;
    return static_cast<int64_t>(0 - value);
  }
  return static_cast<int64_t>(ToUInt(text, count, base));
}
