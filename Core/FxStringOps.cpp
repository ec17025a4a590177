// Operations on raw zero-terminated arrays, shared by both string widths.
#include "API/core/cFxString.h"
#include "Core/FxStringBuffer.h"

namespace {

template <typename tChar>
uint32_t Length(const tChar* text) {
  if (!text) return 0;
  const tChar* p = text;
  while (*p) ++p;
  return static_cast<uint32_t>(p - text);
}

// Scanning stops at the text's terminator even when `end` lies beyond it:
// a non-empty pattern cannot match there.
template <typename tChar>
int32_t Find(const tChar* text, const tChar* pattern, int32_t start, int32_t end) {
  if (!text || !pattern || !*pattern) return -1;
  if (end < 0) end = static_cast<int32_t>(Length(text));
  if (start < 0) start = 0;
  if (start >= end) return -1;
  for (int32_t i = 0; i < start; ++i)
    if (!text[i]) return -1;
  for (int32_t i = start; i < end && text[i]; ++i) {
    if (text[i] != pattern[0]) continue;
    int32_t k = 1;
    while (pattern[k] && text[i + k] == pattern[k]) ++k;
    if (!pattern[k]) return i;
  }
  return -1;
}

template <typename tChar>
int32_t FindChar(const tChar* text, tChar c, int32_t start, int32_t end) {
  if (!text) return -1;
  if (end < 0) end = static_cast<int32_t>(Length(text));
  if (start < 0) start = 0;
  for (int32_t i = 0; i < start && i < end; ++i)
    if (!text[i]) return -1;
  for (int32_t i = start; i < end; ++i) {
    if (text[i] == c) return i;
    if (!text[i]) break;
  }
  return -1;
}

// tValue is the type a character compares as: signed char for narrow text,
// the unsigned unit for wide text.
template <typename tValue, typename tChar>
int32_t Compare(const tChar* a, const tChar* b, int32_t ifLess, int32_t ifGreater, int32_t ifEqual,
                int32_t lengthA, int32_t lengthB) {
  uint32_t na = FxTextLength(a, lengthA);
  uint32_t nb = FxTextLength(b, lengthB);
  uint32_t n = na < nb ? na : nb;
  for (uint32_t i = 0; i < n; ++i) {
    tValue x = static_cast<tValue>(a[i]);
    tValue y = static_cast<tValue>(b[i]);
    if (x != y) return x < y ? ifLess : ifGreater;
  }
  if (na == nb) return ifEqual;
  return na < nb ? ifLess : ifGreater;
}

}  // namespace

uint32_t FxStrLen(const char* text) { return Length(text); }

uint32_t FxWStrLen(const wchar16* text) { return Length(text); }

int32_t FxStrFind(const char* text, const char* pattern, int32_t start, int32_t end) {
  return Find(text, pattern, start, end);
}

int32_t FxWStrFind(const wchar16* text, const wchar16* pattern, int32_t start, int32_t end) {
  return Find(text, pattern, start, end);
}

int32_t FxStrFindChar(const char* text, char c, int32_t start, int32_t end) {
  return FindChar(text, c, start, end);
}

int32_t FxWStrFindChar(const wchar16* text, wchar16 c, int32_t start, int32_t end) {
  return FindChar(text, c, start, end);
}

int32_t FxStrCompare(const char* a, const char* b, int32_t ifLess, int32_t ifGreater, int32_t ifEqual,
                     int32_t lengthA, int32_t lengthB) {
  return Compare<signed char>(a, b, ifLess, ifGreater, ifEqual, lengthA, lengthB);
}

int32_t FxWStrCompare(const wchar16* a, const wchar16* b, int32_t ifLess, int32_t ifGreater,
                      int32_t ifEqual, int32_t lengthA, int32_t lengthB) {
  return Compare<uint16_t>(a, b, ifLess, ifGreater, ifEqual, lengthA, lengthB);
}
