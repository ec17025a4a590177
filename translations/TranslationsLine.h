// The layout of one line of the translations file, shared by everything
// that reads or edits the file, so that each program sees the same columns.
//
// A line as read holds no U+FEFF (readers drop every one) and ends with its
// LF. Its key is the text before the first TAB, without one leading and one
// trailing double quote; the key splits at its first "@" and the next one
// into path, flavour and id (a missing "@" lets a part run to the key's end,
// so a key without any is path, flavour and id at once). The TABs after the
// key's own one separate the product word, three empty columns, the
// platform word and then one column per text; the last column runs up to
// the LF. A text is its column without any double quote, CR or LF.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "API/core/FxTypes.h"

namespace kTranslationsLine {
constexpr wchar16 cByteOrderMark = 0xFEFF;
constexpr wchar16 cTab = u'\t';
constexpr wchar16 cQuote = u'"';
constexpr wchar16 cKeySeparator = u'@';
constexpr wchar16 cLineEnd = u'\n';
// The first text column follows this TAB (counting the key's own as 0).
constexpr size_t cFirstTextTab = 5;
// A line with fewer TABs than this reads as if it had one empty text more
// for each missing TAB.
constexpr size_t cPaddedTabCount = 11;
}  // namespace kTranslationsLine

// The first index in [from, to) holding `a`, `b` or `c` (give one twice to
// look for two), else `to`. Lines are long and these units few, so where
// the processor allows eight units are looked at a time.
size_t FindAnyUnit(const wchar16* units, size_t from, size_t to, wchar16 a, wchar16 b, wchar16 c);

// Units [mStart, mStop) of a line.
struct sUnitSpan {
  int32_t mStart = 0;
  int32_t mStop = 0;
};

struct sTranslationsLineLayout {
  sUnitSpan mKey;      // without its enclosing double quotes
  sUnitSpan mPath;
  sUnitSpan mFlavour;
  sUnitSpan mId;
  // Every TAB after the line's first unit; the key's own TAB is the first.
  std::vector<int32_t> mTabs;
};

// Lays out a line as read (no U+FEFF, LF included). False when the line is
// malformed: no TAB, or a TAB as its first unit. `layout` keeps its
// capacity from call to call.
bool LayOutTranslationsLine(const wchar16* line, int32_t length, sTranslationsLineLayout& layout);

// Number of text columns the line holds.
size_t CountTextColumns(const sTranslationsLineLayout& layout);
// Number of texts the line reads as: its columns, and the empty ones a
// short line is padded with.
size_t CountReadTexts(const sTranslationsLineLayout& layout);
// The units of text column `index` (< CountTextColumns), quotes included.
sUnitSpan GetTextColumn(const sTranslationsLineLayout& layout, size_t index, int32_t length);

// Whether a unit of a column belongs to its text (the double quote, CR and
// LF do not: readers strip them).
inline bool IsTextUnit(wchar16 unit) {
  return unit != kTranslationsLine::cQuote && unit != u'\r' && unit != u'\n';
}

// The text of column `index` as readers take it; empty for a padded or
// missing column.
std::u16string GetReadText(const wchar16* line, const sTranslationsLineLayout& layout,
                           size_t index, int32_t length);

// Puts `text` between double quotes into text column `index` of `line` (as
// read, LF included), touching no other unit: a short line gets empty
// columns ("") up to it, inserted before the line end; a CR before the LF
// stays where it is. `layout` must be the line's and is stale afterwards.
// The text must not hold a TAB, double quote, CR or LF.
void SetTextColumn(std::u16string& line, const sTranslationsLineLayout& layout, size_t index,
                   const std::u16string& text);
