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
//
// The 16-bit formatter and what is built on it (the wide-format members,
// FromDouble, FromChar) and the wide string builder's Append are defined in
// the core's contract library, which neither program links.
#pragma once

#include <cstdarg>

#include "API/core/FxTypes.h"
#include "API/core/FxMovableBlocks.h"

class cFxWString;

// Lets the compiler check narrow format strings against their arguments.
#if defined(__GNUC__) || defined(__clang__)
#define FX_PRINTF_FORMAT(formatIndex, firstArg) __attribute__((format(printf, formatIndex, firstArg)))
#else
#define FX_PRINTF_FORMAT(formatIndex, firstArg)
#endif

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

// Bounded formatter for 16-bit formats (the wide-format members use it).
// Writes at most `capacity` units to `out`, plus a terminator when there is
// room, and answers the number of units written, or -1 when the output did
// not fit (the first `capacity` units are then in `out`). Arguments are read
// as by the C library's printf family, with these meanings:
//   %s %ls %ws   16-bit string (const wchar16*); null prints "(null)"
//   %S %hs       8-bit string (const char*), widened by sign extension
//   %c %lc %wc   16-bit unit (passed as int); %C %hc 8-bit char, widened
//   %d %i        signed; %u %o %x %X unsigned; length hh h l ll z j t I64 I32
//   %f %F %e %E %g %G %a %A   double (L: long double); %p pointer; %% percent
// Flags - + space # 0, width and precision (digits or *) apply as in printf;
// float precision is capped at 3900 and integer precision at 4096. %n is not
// supported: it consumes its argument and writes nothing. An unknown
// conversion is copied as it stands.
int32_t FxWFormatV(wchar16* out, uint32_t capacity, const wchar16* format, va_list args);

// ---- The shared buffer ------------------------------------------------------
// Layout of a string buffer in the string heap: intern link (32-bit; the
// buffer's own handle number while not interned, else the next handle number
// in its intern bucket, 0 ending the chain), reference count (32-bit signed),
// reserved word (-1), the characters, one zero terminator. A handle number is
// the cell's index in the cell pool plus one. The buffer is requested with
// exactly 16 + N (narrow) or 16 + 2N (wide) bytes; the length comes from the
// size the heap recorded.
namespace kFxStringBuffer {
constexpr uint32_t cLink = 0;
constexpr uint32_t cRefCount = 4;
constexpr uint32_t cReserved = 8;
constexpr uint32_t cChars = 12;
constexpr uint32_t cOverhead = 16;
}  // namespace kFxStringBuffer

inline uint8_t* FxStringBuffer(const sFxHandleCell* handle) { return FxArenaBase() + *handle; }
inline int32_t& FxStringRefCount(const sFxHandleCell* handle) {
  return *reinterpret_cast<int32_t*>(FxStringBuffer(handle) + kFxStringBuffer::cRefCount);
}
inline uint32_t FxStringBytes(const sFxHandleCell* handle) {
  return FxBlockSize(FxStringBuffer(handle)) - kFxStringBuffer::cOverhead;
}
// Frees a buffer whose count reached 0, unlinking it from its intern chain.
void FxStringDestroy(sFxHandleCell* handle);
void FxWStringDestroy(sFxHandleCell* handle);

// ---- cFxString -------------------------------------------------------------
class cFxString {
 public:
  cFxString() : mHandle(nullptr) {}
  cFxString(const char* text);                   // copy; null or "" gives null handle
  cFxString(const char* text, uint32_t length);  // copy of `length` bytes
  explicit cFxString(const wchar16* text);       // low byte of each unit
  explicit cFxString(const cFxWString& text);    // low byte of each unit
  cFxString(const cFxString& other) : mHandle(other.mHandle) {
    if (mHandle) ++FxStringRefCount(mHandle);
  }
  cFxString(cFxString&& other) noexcept : mHandle(other.mHandle) { other.mHandle = nullptr; }
  ~cFxString() { Release(mHandle); }
  // Takes the new reference before dropping the old one: self-assignment is safe.
  cFxString& operator=(const cFxString& other) {
    sFxHandleCell* old = mHandle;
    mHandle = other.mHandle;
    if (mHandle) ++FxStringRefCount(mHandle);
    Release(old);
    return *this;
  }
  cFxString& operator=(cFxString&& other) noexcept {
    if (this != &other) {
      Release(mHandle);
      mHandle = other.mHandle;
      other.mHandle = nullptr;
    }
    return *this;
  }
  cFxString& operator=(const char* text);

  // Static "" for the null handle.
  const char* c_str() const {
    return mHandle ? reinterpret_cast<const char*>(FxStringBuffer(mHandle) + kFxStringBuffer::cChars) : "";
  }
  uint32_t Length() const { return mHandle ? FxStringBytes(mHandle) : 0; }
  // No characters: the null handle, or the shared buffer of an interned
  // empty text.
  bool IsEmpty() const { return mHandle == nullptr || FxStringBytes(mHandle) == 0; }

  // A new, unshared buffer with the same characters.
  cFxString DeepCopy() const;
  // A new buffer of `length` characters (terminated) for the caller to fill
  // through Data() before the string is shared. Length 0 gives null.
  static cFxString Allocate(uint32_t length);
  // Writable characters; only for a buffer this string alone holds (fresh
  // from Allocate). Null for the null handle.
  char* Data() {
    return mHandle ? reinterpret_cast<char*>(FxStringBuffer(mHandle) + kFxStringBuffer::cChars) : nullptr;
  }
  // Interned construction: an existing buffer with identical text is shared
  // (its count incremented); the empty text is interned like any other.
  static cFxString Intern(const char* text, uint32_t length);

  cFxString Substring(int32_t start, int32_t end = -1) const;
  cFxString ToLower() const;  // 'A'..'Z' only
  int32_t Find(const char* pattern, int32_t start = 0, int32_t end = -1) const;
  int32_t FindChar(char c, int32_t start = 0, int32_t end = -1) const;

  static cFxString Concat(const char* a, const char* b, int32_t lengthA = -1, int32_t lengthB = -1);
  // printf-style through the 4096-byte scratch buffer; longer output is cut
  // to 4096 characters. Narrow formats are the C library's (%s is char*);
  // wide formats are described at FxWFormatV.
  static cFxString Format(const char* format, ...) FX_PRINTF_FORMAT(1, 2);
  static cFxString FormatV(const char* format, va_list args);
  static cFxString FormatW(const wchar16* format, ...);  // wide format, narrowed
  static cFxString FormatWV(const wchar16* format, va_list args);

  bool operator==(const cFxString& other) const;
  bool operator!=(const cFxString& other) const { return !(*this == other); }
  bool operator==(const char* text) const;
  bool operator!=(const char* text) const { return !(*this == text); }
  bool operator<(const cFxString& other) const;

  // For tests and diagnostics.
  sFxHandleCell* GetHandle() const { return mHandle; }
  int32_t GetRefCount() const { return mHandle ? FxStringRefCount(mHandle) : 0; }

 private:
  // Takes over one reference the caller holds.
  explicit cFxString(sFxHandleCell* handle) : mHandle(handle) {}
  static void Release(sFxHandleCell* handle) {
    if (handle && --FxStringRefCount(handle) == 0) FxStringDestroy(handle);
  }
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
  cFxWString(const cFxWString& other) : mHandle(other.mHandle) {
    if (mHandle) ++FxStringRefCount(mHandle);
  }
  cFxWString(cFxWString&& other) noexcept : mHandle(other.mHandle) { other.mHandle = nullptr; }
  ~cFxWString() { Release(mHandle); }
  // Takes the new reference before dropping the old one: self-assignment is safe.
  // The same buffer again changes nothing, so its count is left alone: the
  // parser and the walk assign the same interned names over and over.
  cFxWString& operator=(const cFxWString& other) {
    if (mHandle == other.mHandle) return *this;
    sFxHandleCell* old = mHandle;
    mHandle = other.mHandle;
    if (mHandle) ++FxStringRefCount(mHandle);
    Release(old);
    return *this;
  }
  cFxWString& operator=(cFxWString&& other) noexcept {
    if (this != &other) {
      Release(mHandle);
      mHandle = other.mHandle;
      other.mHandle = nullptr;
    }
    return *this;
  }
  cFxWString& operator=(const wchar16* text);

  // Static u"" for the null handle.
  const wchar16* c_str() const {
    return mHandle ? reinterpret_cast<const wchar16*>(FxStringBuffer(mHandle) + kFxStringBuffer::cChars)
                   : u"";
  }
  uint32_t Length() const { return mHandle ? FxStringBytes(mHandle) / 2 : 0; }
  // No characters: the null handle, or an interned empty text.
  bool IsEmpty() const { return mHandle == nullptr || FxStringBytes(mHandle) == 0; }

  cFxWString DeepCopy() const;
  // A new buffer of `length` units (terminated) for the caller to fill
  // through Data() before the string is shared. Length 0 gives null.
  static cFxWString Allocate(uint32_t length);
  // Writable units; only for a buffer this string alone holds. Null for the
  // null handle.
  wchar16* Data() {
    return mHandle ? reinterpret_cast<wchar16*>(FxStringBuffer(mHandle) + kFxStringBuffer::cChars)
                   : nullptr;
  }
  // Replaces the buffer by one of `length` units starting with the old
  // characters and terminator; `length` >= Length().
  void Grow(uint32_t length);
  static cFxWString Intern(const wchar16* text, uint32_t length);

  cFxWString Substring(int32_t start, int32_t end = -1) const;
  cFxWString ToLower() const;  // 'A'..'Z' only
  // Every match of `find` from `start`, at most `maxCount` of them, replaced
  // by `replacement`. Text before `start` is not copied into the result.
  cFxWString Replace(const cFxWString& find, const cFxWString& replacement,
                     uint32_t start = 0, uint32_t maxCount = 0xFFFFFFFFu) const;
  int32_t Find(const wchar16* pattern, int32_t start = 0, int32_t end = -1) const;
  int32_t FindChar(wchar16 c, int32_t start = 0, int32_t end = -1) const;
  bool EndsWith(const wchar16* suffix) const;  // exact, case-sensitive

  static cFxWString Concat(const wchar16* a, const wchar16* b, int32_t lengthA = -1,
                           int32_t lengthB = -1);
  // Narrow format (the C library's), output widened.
  static cFxWString Format(const char* format, ...) FX_PRINTF_FORMAT(1, 2);
  static cFxWString FormatV(const char* format, va_list args);
  // 16-bit format, see FxWFormatV.
  static cFxWString FormatW(const wchar16* format, ...);
  static cFxWString FormatWV(const wchar16* format, va_list args);
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
  int32_t GetRefCount() const { return mHandle ? FxStringRefCount(mHandle) : 0; }
  // Whether the buffer came from interned construction (its intern link is
  // not its own handle number). Two interned strings hold the same text
  // exactly when they share a buffer.
  bool IsInterned() const {
    return mHandle != nullptr &&
           *reinterpret_cast<const uint32_t*>(FxStringBuffer(mHandle) + kFxStringBuffer::cLink) !=
               static_cast<uint32_t>(mHandle - FxCellPoolBase()) + 1;
  }

 private:
  // Takes over one reference the caller holds.
  explicit cFxWString(sFxHandleCell* handle) : mHandle(handle) {}
  static void Release(sFxHandleCell* handle) {
    if (handle && --FxStringRefCount(handle) == 0) FxWStringDestroy(handle);
  }
  sFxHandleCell* mHandle;
  friend class cFxString;
  friend class cFxWStringBuilder;
};

cFxWString operator+(const cFxWString& a, const cFxWString& b);
cFxWString operator+(const cFxWString& a, const wchar16* b);

// ---- Wide string builder ----------------------------------------------------
// A cFxWString used as a growable buffer plus a count of units in use. The
// buffer doubles (2 x needed) when an append does not fit, and is reused
// across Clear(), so steady-state appends allocate nothing.
class cFxWStringBuilder {
 public:
  cFxWStringBuilder() = default;
  // A copy gets its own buffer: two builders never write into one.
  cFxWStringBuilder(const cFxWStringBuilder& other)
      : mBuffer(other.mBuffer.DeepCopy()), mCount(other.mCount), mCapacity(other.mCapacity) {}
  cFxWStringBuilder(cFxWStringBuilder&& other) noexcept
      : mBuffer(static_cast<cFxWString&&>(other.mBuffer)), mCount(other.mCount), mCapacity(other.mCapacity) {
    other.mCount = 0;
    other.mCapacity = 0;
  }
  cFxWStringBuilder& operator=(const cFxWStringBuilder& other) {
    if (this != &other) *this = cFxWStringBuilder(other);
    return *this;
  }
  cFxWStringBuilder& operator=(cFxWStringBuilder&& other) noexcept {
    if (this != &other) {
      mBuffer = static_cast<cFxWString&&>(other.mBuffer);
      mCount = other.mCount;
      mCapacity = other.mCapacity;
      other.mCount = 0;
      other.mCapacity = 0;
    }
    return *this;
  }

  // `units` may point into the string heap (another string's characters).
  void Append(const wchar16* units, uint32_t count);
  void Append(wchar16 unit) {
    if (mCount < mCapacity) {
      wchar16* data = mBuffer.Data();
      data[mCount++] = unit;
      data[mCount] = 0;
    } else {
      Append(&unit, 1);
    }
  }
  // Empties the builder and keeps its buffer.
  void Clear() {
    mCount = 0;
    if (mCapacity) mBuffer.Data()[0] = 0;
  }
  uint32_t Count() const { return mCount; }
  const wchar16* Units() const { return mBuffer.c_str(); }  // terminated
  cFxWString ToString() const { return mCount ? cFxWString(Units(), mCount) : cFxWString(); }
  cFxWString Intern() const { return cFxWString::Intern(Units(), mCount); }

 private:
  cFxWString mBuffer;
  uint32_t mCount = 0;
  uint32_t mCapacity = 0;  // mBuffer.Length(), kept to spare the header read
};
