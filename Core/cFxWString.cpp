// cFxWString: the wide core string (16-bit code units). Every operation that
// yields different text builds a new buffer; raw pointers into the string
// heap are passed as anchors, and strings are re-read through their handles
// after an allocation.
#include <cstring>

#include "API/core/cFxString.h"
#include "Core/FxStringBuffer.h"

cFxWString::cFxWString(const wchar16* text) : mHandle(FxStringNewCopy(text, FxWStrLen(text))) {}

cFxWString::cFxWString(const wchar16* text, uint32_t length)
    : mHandle(FxStringNewCopy(text, text ? length : 0)) {}

cFxWString::cFxWString(const char* text) : mHandle(FxStringNewWidened(text, FxStrLen(text))) {}

cFxWString::cFxWString(const char* text, uint32_t length)
    : mHandle(FxStringNewWidened(text, text ? length : 0)) {}

cFxWString::cFxWString(const cFxString& text) : mHandle(FxStringNewWidened(text.c_str(), text.Length())) {}

cFxWString& cFxWString::operator=(const wchar16* text) {
  sFxHandleCell* old = mHandle;
  mHandle = FxStringNewCopy(text, FxWStrLen(text));
  Release(old);
  return *this;
}

cFxWString cFxWString::DeepCopy() const { return cFxWString(FxStringNewCopy(c_str(), Length())); }

cFxWString cFxWString::Allocate(uint32_t length) {
  return cFxWString(length ? FxStringNewBuffer(length, sizeof(wchar16)) : nullptr);
}

void cFxWString::Grow(uint32_t length) {
  uint32_t old = Length();
  if (length < old) length = old;
  if (length == 0) return;
  sFxHandleCell* handle = FxStringNewBuffer(length, sizeof(wchar16));
  // The old buffer may have moved during the allocation: read it now. Its
  // terminator comes along, so a grown empty string reads as empty too.
  std::memcpy(FxStringChars<wchar16>(handle), c_str(), (old + 1) * sizeof(wchar16));
  Release(mHandle);
  mHandle = handle;
}

cFxWString cFxWString::Intern(const wchar16* text, uint32_t length) {
  return cFxWString(FxWStringIntern(text, text ? length : 0));
}

cFxWString cFxWString::Substring(int32_t start, int32_t end) const {
  int32_t length = static_cast<int32_t>(Length());
  if (end < 0 || end > length) end = length;
  if (start < 0) start = 0;
  if (start >= end) return cFxWString();
  return cFxWString(FxStringNewCopy(c_str() + start, static_cast<uint32_t>(end - start)));
}

namespace {

// A copy of `text` with every unit in [low, high] moved by `delta`; the text
// itself when no unit is in range.
cFxWString MapRange(const cFxWString& text, wchar16 low, wchar16 high, int delta) {
  uint32_t length = text.Length();
  const wchar16* units = text.c_str();
  uint32_t first = 0;
  while (first < length && !(units[first] >= low && units[first] <= high)) ++first;
  if (first == length) return text;
  cFxWString result(units, length);
  wchar16* out = result.Data();
  for (uint32_t i = first; i < length; ++i)
    if (out[i] >= low && out[i] <= high) out[i] = static_cast<wchar16>(out[i] + delta);
  return result;
}

}  // namespace

cFxWString cFxWString::ToLower() const { return MapRange(*this, u'A', u'Z', 32); }

cFxWString cFxWString::Replace(const cFxWString& find, const cFxWString& replacement, uint32_t start,
                               uint32_t maxCount) const {
  uint32_t length = Length();
  uint32_t findLength = find.Length();
  uint32_t replacementLength = replacement.Length();
  if (start >= length) return cFxWString();

  // First pass sizes the result, second pass writes it: one allocation.
  uint64_t total = 0;
  {
    const wchar16* text = c_str();
    uint32_t p = start;
    for (uint32_t left = maxCount; left && findLength; --left) {
      int32_t match = FxWStrFind(text, find.c_str(), static_cast<int32_t>(p), static_cast<int32_t>(length));
      if (match < 0) break;
      total += (static_cast<uint32_t>(match) - p) + replacementLength;
      p = static_cast<uint32_t>(match) + findLength;
    }
    if (p < length) total += length - p;
  }
  if (total == 0) return cFxWString();
  if (total > 0x7FFFFFFF) total = 0x7FFFFFFF;  // beyond any heap: fails as out of memory

  cFxWString result(FxStringNewBuffer(static_cast<uint32_t>(total), sizeof(wchar16)));
  wchar16* out = result.Data();
  const wchar16* text = c_str();
  const wchar16* with = replacement.c_str();
  uint32_t p = start;
  for (uint32_t left = maxCount; left && findLength; --left) {
    int32_t match = FxWStrFind(text, find.c_str(), static_cast<int32_t>(p), static_cast<int32_t>(length));
    if (match < 0) break;
    uint32_t before = static_cast<uint32_t>(match) - p;
    std::memcpy(out, text + p, before * sizeof(wchar16));
    out += before;
    if (replacementLength) std::memcpy(out, with, replacementLength * sizeof(wchar16));
    out += replacementLength;
    p = static_cast<uint32_t>(match) + findLength;
  }
  if (p < length) std::memcpy(out, text + p, (length - p) * sizeof(wchar16));
  return result;
}

int32_t cFxWString::Find(const wchar16* pattern, int32_t start, int32_t end) const {
  return FxWStrFind(c_str(), pattern, start, end);
}

int32_t cFxWString::FindChar(wchar16 c, int32_t start, int32_t end) const {
  return FxWStrFindChar(c_str(), c, start, end);
}

bool cFxWString::EndsWith(const wchar16* suffix) const {
  uint32_t length = Length();
  uint32_t n = FxWStrLen(suffix);
  return n <= length && (n == 0 || std::memcmp(c_str() + (length - n), suffix, n * sizeof(wchar16)) == 0);
}

cFxWString cFxWString::Concat(const wchar16* a, const wchar16* b, int32_t lengthA, int32_t lengthB) {
  return cFxWString(FxStringNewConcat(a, FxTextLength(a, lengthA), b, FxTextLength(b, lengthB)));
}

bool cFxWString::operator==(const cFxWString& other) const {
  if (mHandle == other.mHandle) return true;
  uint32_t length = Length();
  return length == other.Length() && std::memcmp(c_str(), other.c_str(), length * sizeof(wchar16)) == 0;
}

bool cFxWString::operator==(const wchar16* text) const {
  if (text == nullptr) return IsEmpty();
  // Strings are mostly told apart by their first units; the length, which
  // asks the string heap, is needed only once `text` has matched so far.
  // The buffer's terminator differs from every unit of `text`, so a
  // shorter string stops the loop at its end.
  const wchar16* units = c_str();
  uint32_t i = 0;
  for (; text[i] != 0; ++i) {
    if (units[i] != text[i]) return false;
  }
  return Length() == i;
}

bool cFxWString::operator<(const cFxWString& other) const {
  return FxWStrCompare(c_str(), other.c_str(), 1, 0, 0, static_cast<int32_t>(Length()),
                       static_cast<int32_t>(other.Length())) != 0;
}

cFxWString operator+(const cFxWString& a, const cFxWString& b) {
  if (b.IsEmpty()) return a;
  if (a.IsEmpty()) return b;
  return cFxWString::Concat(a.c_str(), b.c_str(), static_cast<int32_t>(a.Length()),
                            static_cast<int32_t>(b.Length()));
}

cFxWString operator+(const cFxWString& a, const wchar16* b) {
  if (!b || !*b) return a;
  return cFxWString::Concat(a.c_str(), b, static_cast<int32_t>(a.Length()), -1);
}
