// Conversion between the translations file's 16-bit units and the UTF-8 of
// the exchange formats. Strict both ways: a lone surrogate or a byte
// sequence that is not UTF-8 is refused, never replaced, so that a text is
// either carried exactly or reported.
#pragma once

#include <string>

// False when `text` holds a lone surrogate; `out` is then incomplete.
bool Utf16ToUtf8(const std::u16string& text, std::string& out);
// False when `text` is not well-formed UTF-8 (overlong forms, surrogates
// and values above U+10FFFF included); `out` is then incomplete.
bool Utf8ToUtf16(const std::string& text, std::u16string& out);
// For messages: a lone surrogate shows as U+FFFD.
std::string Utf16ForDisplay(const std::u16string& text);
// Whether `point` is white space as Unicode has it (the separators of
// Python's str.split, which Translate Toolkit's tools split words and
// references at): TAB to CR, U+001C to U+001F, the space, U+0085, U+00A0,
// U+1680, U+2000 to U+200A, U+2028, U+2029, U+202F, U+205F and U+3000.
bool IsWhiteSpace(char32_t point);
