// Building and releasing the shared buffers of cFxString and cFxWString,
// and the two intern tables. Internal to the core's string sources.
#pragma once

#include "API/core/cFxString.h"

namespace kFxIntern {
constexpr uint32_t cBucketCount = 4096;
constexpr uint32_t cBucketMask = 0xFFF;
}  // namespace kFxIntern

// A handle number is the cell's index in the pool plus one, so that 0 can
// end an intern chain.
inline uint32_t FxHandleNumber(const sFxHandleCell* handle) {
  return static_cast<uint32_t>(handle - FxCellPoolBase()) + 1;
}
inline sFxHandleCell* FxHandleFromNumber(uint32_t number) { return FxCellPoolBase() + (number - 1); }

inline uint32_t& FxStringLink(const sFxHandleCell* handle) {
  return *reinterpret_cast<uint32_t*>(FxStringBuffer(handle) + kFxStringBuffer::cLink);
}
template <typename tChar>
inline tChar* FxStringChars(const sFxHandleCell* handle) {
  return reinterpret_cast<tChar*>(FxStringBuffer(handle) + kFxStringBuffer::cChars);
}
template <typename tChar>
inline uint32_t FxStringCount(const sFxHandleCell* handle) {
  return handle ? FxStringBytes(handle) / static_cast<uint32_t>(sizeof(tChar)) : 0;
}

// One character converted between the widths: a byte widens with sign
// extension (0xE9 -> 0xFFE9), a 16-bit unit narrows to its low byte.
template <typename tTo>
inline tTo FxConvertChar(char c) {
  return static_cast<tTo>(static_cast<int16_t>(static_cast<signed char>(c)));
}
template <typename tTo>
inline tTo FxConvertChar(wchar16 c) {
  return static_cast<tTo>(c & 0xFF);
}

// The number of characters of `text` a caller means: `length`, or up to the
// terminator when it is negative; 0 for a null pointer whatever the length.
inline uint32_t FxTextLength(const char* text, int32_t length) {
  return !text ? 0 : length < 0 ? FxStrLen(text) : static_cast<uint32_t>(length);
}
inline uint32_t FxTextLength(const wchar16* text, int32_t length) {
  return !text ? 0 : length < 0 ? FxWStrLen(text) : static_cast<uint32_t>(length);
}

// Reports that the string heap cannot supply `bytes` and ends the process.
[[noreturn]] void FxStringOutOfMemory(uint64_t bytes);

// The scratch buffer of a formatting variant: `bytes` from the string heap,
// taken by the first call with `handle` null and kept for the rest of the
// process. Reached through its handle: allocating a result may move it.
sFxHandleCell* FxStringScratch(sFxHandleCell*& handle, uint32_t bytes);
namespace kFxFormat {
constexpr uint32_t cScratchChars = 4096;  // longer output is cut to this
}  // namespace kFxFormat

// A new buffer for `count` characters of `charSize` bytes: link = own handle
// number, count 1, reserved word -1, terminator written, characters left for
// the caller. `anchors` are raw pointers the caller reads afterwards; they
// are adjusted if the allocation moves what they point into. Never answers
// null: a string heap that cannot supply the buffer is a fatal error.
sFxHandleCell* FxStringNewBuffer(uint32_t count, uint32_t charSize, const void** anchors = nullptr,
                                 uint32_t anchorCount = 0);

// A new buffer holding a copy of `count` characters at `text` (which may lie
// in the string heap); null for count 0.
sFxHandleCell* FxStringNewCopy(const char* text, uint32_t count);
sFxHandleCell* FxStringNewCopy(const wchar16* text, uint32_t count);
// Converting copies: sign extension to wide, low byte to narrow.
sFxHandleCell* FxStringNewWidened(const char* text, uint32_t count);
sFxHandleCell* FxStringNewNarrowed(const wchar16* text, uint32_t count);
// A new buffer holding `na` characters of `a` then `nb` of `b` (either may
// lie in the string heap); null when both counts are 0.
sFxHandleCell* FxStringNewConcat(const char* a, uint32_t na, const char* b, uint32_t nb);
sFxHandleCell* FxStringNewConcat(const wchar16* a, uint32_t na, const wchar16* b, uint32_t nb);

// Interned buffers: an existing buffer with identical text gets one more
// reference; otherwise a new one heads its bucket's chain.
sFxHandleCell* FxStringIntern(const char* text, uint32_t count);
sFxHandleCell* FxWStringIntern(const wchar16* text, uint32_t count);

// The intern bucket of a text: h = h * 37 + c over the characters (narrow as
// signed bytes, wide as unsigned units), negated when negative, low 12 bits.
uint32_t FxStringInternBucket(const char* text, uint32_t count);
uint32_t FxWStringInternBucket(const wchar16* text, uint32_t count);
// Number of buffers chained in a bucket (diagnostics).
uint32_t FxStringInternChainLength(uint32_t bucket);
