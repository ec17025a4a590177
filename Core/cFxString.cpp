// cFxString: the narrow core string. Every operation that yields different
// text builds a new buffer; raw pointers into the string heap are passed as
// anchors so a compaction during the allocation cannot leave them stale.
#include <cstring>

#include "API/core/cFxString.h"
#include "Core/FxStringBuffer.h"

cFxString::cFxString(const char* text) : mHandle(FxStringNewCopy(text, FxStrLen(text))) {}

cFxString::cFxString(const char* text, uint32_t length)
    : mHandle(FxStringNewCopy(text, text ? length : 0)) {}

cFxString::cFxString(const wchar16* text) : mHandle(FxStringNewNarrowed(text, FxWStrLen(text))) {}

cFxString::cFxString(const cFxWString& text) : mHandle(FxStringNewNarrowed(text.c_str(), text.Length())) {}

cFxString& cFxString::operator=(const char* text) {
  sFxHandleCell* old = mHandle;
  mHandle = FxStringNewCopy(text, FxStrLen(text));
  Release(old);
  return *this;
}

cFxString cFxString::DeepCopy() const { return cFxString(FxStringNewCopy(c_str(), Length())); }

cFxString cFxString::Allocate(uint32_t length) {
  return cFxString(length ? FxStringNewBuffer(length, sizeof(char)) : nullptr);
}

cFxString cFxString::Intern(const char* text, uint32_t length) {
  return cFxString(FxStringIntern(text, text ? length : 0));
}

cFxString cFxString::Substring(int32_t start, int32_t end) const {
  int32_t length = static_cast<int32_t>(Length());
  if (end < 0 || end > length) end = length;
  if (start < 0) start = 0;
  if (start >= end) return cFxString();
  return cFxString(FxStringNewCopy(c_str() + start, static_cast<uint32_t>(end - start)));
}

cFxString cFxString::ToLower() const {
  uint32_t length = Length();
  const char* text = c_str();
  uint32_t first = 0;
  while (first < length && !(text[first] >= 'A' && text[first] <= 'Z')) ++first;
  if (first == length) return *this;  // already lower case: share
  cFxString result(FxStringNewCopy(text, length));
  char* out = result.Data();
  for (uint32_t i = first; i < length; ++i)
    if (out[i] >= 'A' && out[i] <= 'Z') out[i] = static_cast<char>(out[i] + 32);
  return result;
}

int32_t cFxString::Find(const char* pattern, int32_t start, int32_t end) const {
  return FxStrFind(c_str(), pattern, start, end);
}

int32_t cFxString::FindChar(char c, int32_t start, int32_t end) const {
  return FxStrFindChar(c_str(), c, start, end);
}

cFxString cFxString::Concat(const char* a, const char* b, int32_t lengthA, int32_t lengthB) {
  return cFxString(FxStringNewConcat(a, FxTextLength(a, lengthA), b, FxTextLength(b, lengthB)));
}

bool cFxString::operator==(const cFxString& other) const {
  if (mHandle == other.mHandle) return true;
  uint32_t length = Length();
  return length == other.Length() && std::memcmp(c_str(), other.c_str(), length) == 0;
}

bool cFxString::operator==(const char* text) const {
  return FxStrCompare(c_str(), text, 1, 1, 0, static_cast<int32_t>(Length()), -1) == 0;
}

bool cFxString::operator<(const cFxString& other) const {
  return FxStrCompare(c_str(), other.c_str(), 1, 0, 0, static_cast<int32_t>(Length()),
                      static_cast<int32_t>(other.Length())) != 0;
}

cFxString operator+(const cFxString& a, const cFxString& b) {
  if (b.IsEmpty()) return a;
  if (a.IsEmpty()) return b;
  return cFxString::Concat(a.c_str(), b.c_str(), static_cast<int32_t>(a.Length()),
                           static_cast<int32_t>(b.Length()));
}
