// All of the program's UTF-8, in two forms:
//
// - The data files' form: one 16-bit unit at a time, each as one, two or
//   three bytes, a surrogate encoded on its own like any other unit. The
//   parser, the writer and the file stream read and write data files in it;
//   names are kept as compact bytes in it. Decoding is lenient, as the data
//   files have always been read: no check for overlong forms or encoded
//   surrogates, so every unit comes back as it was written.
// - Unicode text, strict both ways, one code point at a time: a byte
//   sequence that is not well-formed UTF-8 decodes to nothing, so each
//   caller decides what such bytes become (a file name keeps them, an
//   exchange file refuses them).
//
// The core's only UTF-8 encoders and decoders.
#pragma once

#include <cstddef>
#include <string>

#include "API/core/FxTypes.h"

// ---- The data files' form: one 16-bit unit ------------------------------------
namespace kFxUtf8 {
constexpr uint32_t cMaxUnitBytes = 3;  // the most bytes one unit takes
}  // namespace kFxUtf8

// Writes `unit` at `out` (room for cMaxUnitBytes) as one byte below 0x80,
// two below 0x800 (0xC0 | unit >> 6, 0x80 | unit & 0x3F), else three (0xE0 |
// unit >> 12, then two continuation bytes); answers the end of what it wrote.
inline uint8_t* FxPutUtf8Unit(uint8_t* out, wchar16 unit) {
  if (unit < 0x80) {
    *out++ = static_cast<uint8_t>(unit);
  } else if (unit < 0x800) {
    *out++ = static_cast<uint8_t>(0xC0 | (unit >> 6));
    *out++ = static_cast<uint8_t>(0x80 | (unit & 0x3F));
  } else {
    *out++ = static_cast<uint8_t>(0xE0 | (unit >> 12));
    *out++ = static_cast<uint8_t>(0x80 | ((unit >> 6) & 0x3F));
    *out++ = static_cast<uint8_t>(0x80 | (unit & 0x3F));
  }
  return out;
}

// The unit of the sequence that the lead byte `first` (from 0x80 up) begins,
// its following bytes taken one at a time from `next()` (a byte, or a value
// below 0 at the end of the input). A lead byte from 0xE0 begins three bytes
// and gives ((first << 12) & 0xFFFF) | (second & 0x3F) << 6 | (third & 0x3F);
// any other, a stray continuation byte included, begins two and gives
// (first & 0x1F) << 6 | (second & 0x3F). Answers -1 for a sequence no unit
// has: a lead byte from 0xF0 (four bytes hold more than a unit), or a
// following byte below 0x80 or missing; no byte is taken after the one that
// breaks the sequence.
template <typename tNextByte>
inline int32_t FxDecodeUtf8Unit(int32_t first, tNextByte&& next) {
  if (first >= 0xE0) {
    if (first >= 0xF0) return -1;
    const int32_t second = next();
    if (second < 0x80) return -1;
    const int32_t third = next();
    if (third < 0x80) return -1;
    return ((first << 12) & 0xFFFF) | ((second & 0x3F) << 6) | (third & 0x3F);
  }
  const int32_t second = next();
  if (second < 0x80) return -1;
  return ((first & 0x1F) << 6) | (second & 0x3F);
}

// A text's units in that form, appended to `out`: every unit comes back
// exactly as it went in, and the bytes compare (as unsigned) in the order of
// the units they hold, so names are kept compact and in order this way.
void FxAppendUnitBytes(const wchar16* units, size_t length, std::string& out);
// The units of bytes that FxAppendUnitBytes made, appended to `out`.
void FxAppendUnitsOfBytes(const char* bytes, size_t length, std::u16string& out);
// A count stored among such bytes (a length, a shared beginning), seven bits
// a byte, every byte but the last with its top bit set: a small count costs
// one byte. FxReadCount reads one back from `bytes` at `at` and moves `at`
// past it.
void FxAppendCount(size_t count, std::string& out);
size_t FxReadCount(const std::string& bytes, size_t& at);

// ---- Unicode text: one code point ------------------------------------------------
// The length of the well-formed UTF-8 sequence at `bytes` (`available`
// bytes there), its code point in `point`; 0 when the bytes there start
// none: a stray continuation byte, a cut sequence, an overlong form, an
// encoded surrogate or a value above U+10FFFF.
size_t FxDecodeUtf8(const char* bytes, size_t available, char32_t& point);
// Appends the UTF-8 form of `point` (up to U+10FFFF; a lone surrogate gets
// its three-byte form, which FxDecodeUtf8 does not read back).
void FxAppendUtf8(char32_t point, std::string& out);

// The code point at `text[at]` (`at` < `length`), a surrogate pair read as
// one; `at` moves past it. A lone surrogate is answered as itself.
char32_t FxReadUtf16(const char16_t* text, size_t length, size_t& at);
// Appends the UTF-16 units of `point`: a surrogate pair above U+FFFF.
void FxAppendUtf16(char32_t point, std::u16string& out);
// Whether `point` is a surrogate: text that holds one alone is no Unicode.
inline bool FxIsSurrogate(char32_t point) { return point >= 0xD800 && point <= 0xDFFF; }
