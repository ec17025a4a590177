// Core strings: cFxString (8-bit) and cFxWString (16-bit code units).
//
// A string is one handle over an immutable, reference-counted buffer in the
// memory manager's string heap; the empty string is the null handle. Copies
// share the buffer. The length is not stored: it comes from the size the
// heap recorded for the buffer (16 bytes of header plus the characters).
//
// A character pointer taken from a string (c_str(), Data()) stays valid only
// until the next allocation from the string heap, which may compact it and
// move buffers. Re-read it after anything that may allocate.
//
// Conversion between the widths uses no code page: narrow to wide widens
// each byte with sign extension (0xE9 -> 0xFFE9), wide to narrow keeps the
// low byte of each unit, so narrow -> wide -> narrow gives the same bytes.
#pragma once

#include <cstdarg>

#include "API/core/FxTypes.h"
#include "API/core/cFxMemoryManager.h"

class cFxWString;

// ---- Operations on raw zero-terminated arrays -----------------------------
uint32_t FxStrLen(const char* text);      // 0 for null
uint32_t FxWStrLen(const wchar16* text);  // 0 for null
// First index i, start <= i < end (end -1 = text length), where the whole
// pattern matches (the match may run past end); -1 when start >= end, the
// pattern is empty, or nothing matches.
int32_t FxStrFind(const char* text, const char* pattern, int32_t start, int32_t end);
int32_t FxWStrFind(const wchar16* text, const wchar16* pattern, int32_t start, int32_t end);
// First index in [start, end) holding `c`, else -1.
int32_t FxStrFindChar(const char* text, char c, int32_t start, int32_t end);
int32_t FxWStrFindChar(const wchar16* text, wchar16 c, int32_t start, int32_t end);
// Compares a and b (lengths -1 = up to the terminator) and answers the
// caller's value for less, greater or equal. Narrow characters compare as
// signed 8-bit values, wide as unsigned 16-bit; a proper prefix is less.
int32_t FxStrCompare(const char* a, const char* b, int32_t ifLess, int32_t ifGreater,
                     int32_t ifEqual, int32_t lengthA, int32_t lengthB);
int32_t FxWStrCompare(const wchar16* a, const wchar16* b, int32_t ifLess, int32_t ifGreater,
                      int32_t ifEqual, int32_t lengthA, int32_t lengthB);

// ---- cFxString -------------------------------------------------------------
class cFxString {
 public:
  cFxString() : mHandle(nullptr) {}
  cFxString(const char* text);                   // copy; null or "" gives null handle
  cFxString(const char* text, uint32_t length);  // copy of `length` bytes
  explicit cFxString(const wchar16* text);       // low byte of each unit
  explicit cFxString(const cFxWString& text);    // low byte of each unit
  cFxString(const cFxString& other);
  cFxString(cFxString&& other) noexcept : mHandle(other.mHandle) { other.mHandle = nullptr; }
  ~cFxString();
  cFxString& operator=(const cFxString& other);
  cFxString& operator=(cFxString&& other) noexcept;
  cFxString& operator=(const char* text);

  const char* c_str() const;  // static "" for the null handle
  uint32_t Length() const;
  bool IsEmpty() const { return mHandle == nullptr; }
  // Copies characters and terminator into `out`, at most `capacity` chars.
  void CopyOut(char* out, uint32_t capacity) const;

  // A new, unshared buffer with the same characters.
  cFxString DeepCopy() const;
  // A new buffer of `length` characters (terminated) for the caller to fill
  // through Data() before the string is shared. Length 0 gives null.
  static cFxString Allocate(uint32_t length);
  char* Data();
  // Interned construction: an existing buffer with identical text is shared
  // (its count incremented); the empty text is interned like any other.
  static cFxString Intern(const char* text, uint32_t length);

  cFxString Substring(int32_t start, int32_t end = -1) const;
  cFxString ToLower() const;  // 'A'..'Z' only
  int32_t Find(const char* pattern, int32_t start = 0, int32_t end = -1) const;
  int32_t FindChar(char c, int32_t start = 0, int32_t end = -1) const;

  static cFxString Concat(const char* a, const char* b, int32_t lengthA = -1, int32_t lengthB = -1);
  // printf-style through the 4096-byte scratch buffer; longer output is cut
  // to 4096 characters.
  static cFxString Format(const char* format, ...);
  static cFxString FormatV(const char* format, va_list args);
  static cFxString FormatW(const wchar16* format, ...);  // wide format, narrowed

  bool operator==(const cFxString& other) const;
  bool operator!=(const cFxString& other) const { return !(*this == other); }
  bool operator==(const char* text) const;
  bool operator!=(const char* text) const { return !(*this == text); }
  bool operator<(const cFxString& other) const;

  // For tests and diagnostics.
  sFxHandleCell* GetHandle() const { return mHandle; }
  int32_t GetRefCount() const;

 private:
  explicit cFxString(sFxHandleCell* handle) : mHandle(handle) {}
  sFxHandleCell* mHandle;
  friend class cFxWString;
};

cFxString operator+(const cFxString& a, const cFxString& b);

// ---- cFxWString ------------------------------------------------------------
class cFxWString {
 public:
  cFxWString() : mHandle(nullptr) {}
  cFxWString(const wchar16* text);                   // copy
  cFxWString(const wchar16* text, uint32_t length);  // copy of `length` units
  explicit cFxWString(const char* text);             // sign-extended bytes
  explicit cFxWString(const char* text, uint32_t length);
  explicit cFxWString(const cFxString& text);        // sign-extended bytes
  cFxWString(const cFxWString& other);
  cFxWString(cFxWString&& other) noexcept : mHandle(other.mHandle) { other.mHandle = nullptr; }
  ~cFxWString();
  cFxWString& operator=(const cFxWString& other);
  cFxWString& operator=(cFxWString&& other) noexcept;
  cFxWString& operator=(const wchar16* text);

  const wchar16* c_str() const;  // static u"" for the null handle
  uint32_t Length() const;
  bool IsEmpty() const { return mHandle == nullptr; }

  cFxWString DeepCopy() const;
  static cFxWString Allocate(uint32_t length);
  wchar16* Data();
  // Replaces the buffer by one of `length` units starting with the old
  // characters and terminator; `length` >= Length().
  void Grow(uint32_t length);
  static cFxWString Intern(const wchar16* text, uint32_t length);

  cFxWString Substring(int32_t start, int32_t end = -1) const;
  cFxWString ToLower() const;  // 'A'..'Z' only
  cFxWString ToUpper() const;  // 'a'..'z' only
  // Every match of `find` from `start`, at most `maxCount` of them, replaced
  // by `replacement`. Text before `start` is not copied into the result.
  cFxWString Replace(const cFxWString& find, const cFxWString& replacement,
                     uint32_t start = 0, uint32_t maxCount = 0xFFFFFFFFu) const;
  int32_t Find(const wchar16* pattern, int32_t start = 0, int32_t end = -1) const;
  int32_t FindChar(wchar16 c, int32_t start = 0, int32_t end = -1) const;
  bool EndsWith(const wchar16* suffix) const;  // exact, case-sensitive

  static cFxWString Concat(const wchar16* a, const wchar16* b, int32_t lengthA = -1,
                           int32_t lengthB = -1);
  static cFxWString Format(const char* format, ...);      // narrow format, widened
  static cFxWString FormatW(const wchar16* format, ...);  // 16-bit format
  static cFxWString FromInt(int64_t value);
  static cFxWString FromUInt(uint64_t value);
  static cFxWString FromDouble(double value);  // "%g"
  static cFxWString FromChar(wchar16 c);       // "%c"
  // Base -1 chooses from the text: "0x"/"0X" 16, "0b"/"0B" 2, other leading
  // "0" 8, else 10. Stops at the first non-digit; `count` gets the number of
  // characters read when given.
  static uint64_t ToUInt(const wchar16* text, uint32_t* count, int32_t base = -1);
  static int64_t ToInt(const wchar16* text, uint32_t* count, int32_t base = -1);

  bool operator==(const cFxWString& other) const;
  bool operator!=(const cFxWString& other) const { return !(*this == other); }
  bool operator==(const wchar16* text) const;
  bool operator!=(const wchar16* text) const { return !(*this == text); }
  bool operator<(const cFxWString& other) const;  // code units, shorter first

  sFxHandleCell* GetHandle() const { return mHandle; }
  int32_t GetRefCount() const;

 private:
  explicit cFxWString(sFxHandleCell* handle) : mHandle(handle) {}
  sFxHandleCell* mHandle;
  friend class cFxString;
};

cFxWString operator+(const cFxWString& a, const cFxWString& b);
cFxWString operator+(const cFxWString& a, const wchar16* b);

// ---- Wide string builder ----------------------------------------------------
// A cFxWString used as a growable buffer plus a count of units in use. The
// buffer doubles (2 x needed) when an append does not fit, and is reused
// across Clear(), so steady-state appends allocate nothing.
class cFxWStringBuilder {
 public:
  void Append(const wchar16* units, uint32_t count);
  void Append(wchar16 unit);
  void Clear() { mCount = 0; }
  uint32_t Count() const { return mCount; }
  const wchar16* Units() const { return mBuffer.c_str(); }  // terminated
  cFxWString ToString() const { return mCount ? cFxWString(Units(), mCount) : cFxWString(); }
  cFxWString Intern() const { return cFxWString::Intern(Units(), mCount); }

 private:
  cFxWString mBuffer;
  uint32_t mCount = 0;
};
