// UTF-8 and UTF-16 one code point at a time, strict both ways: a byte
// sequence that is not well-formed UTF-8 decodes to nothing, so each caller
// decides what such bytes become (a file name keeps them, an exchange file
// refuses them). The core's only UTF-8 decoder.
#pragma once

#include <cstddef>
#include <string>

// The length of the well-formed UTF-8 sequence at `bytes` (`available`
// bytes there), its code point in `point`; 0 when the bytes there start
// none: a stray continuation byte, a cut sequence, an overlong form, an
// encoded surrogate or a value above U+10FFFF.
size_t FxDecodeUtf8(const char* bytes, size_t available, char32_t& point);
// Appends the UTF-8 form of `point` (up to U+10FFFF; a lone surrogate gets
// its three-byte form, which no decoder here reads back).
void FxAppendUtf8(char32_t point, std::string& out);

// A text's 16-bit units made into bytes one unit at a time, each as UTF-8
// makes a point below U+10000 (a surrogate gets its three-byte form), and
// back. Every unit comes back exactly as it went in, and the bytes compare
// (as unsigned) in the order of the units they hold: names are kept compact
// and in order this way.
void FxAppendUnitBytes(const char16_t* units, size_t length, std::string& out);
// The units of bytes that FxAppendUnitBytes made, appended to `out`.
void FxAppendUnitsOfBytes(const char* bytes, size_t length, std::u16string& out);
// A count stored among such bytes (a length, a shared beginning), seven bits
// a byte, every byte but the last with its top bit set: a small count costs
// one byte. FxReadCount reads one back from `bytes` at `at` and moves `at`
// past it.
void FxAppendCount(size_t count, std::string& out);
size_t FxReadCount(const std::string& bytes, size_t& at);

// The code point at `text[at]` (`at` < `length`), a surrogate pair read as
// one; `at` moves past it. A lone surrogate is answered as itself.
char32_t FxReadUtf16(const char16_t* text, size_t length, size_t& at);
// Appends the UTF-16 units of `point`: a surrogate pair above U+FFFF.
void FxAppendUtf16(char32_t point, std::u16string& out);
// Whether `point` is a surrogate: text that holds one alone is no Unicode.
inline bool FxIsSurrogate(char32_t point) { return point >= 0xD800 && point <= 0xDFFF; }
