#include "translations/TranslationsLine.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {
using namespace kTranslationsLine;

// First index in [start, stop) holding `unit`, or -1.
int32_t FindUnit(const wchar16* line, wchar16 unit, int32_t start, int32_t stop) {
  if (start >= stop) return -1;
  const size_t at = FindAnyUnit(line, static_cast<size_t>(start), static_cast<size_t>(stop), unit, unit, unit);
  return at == static_cast<size_t>(stop) ? -1 : static_cast<int32_t>(at);
}
}  // namespace

size_t FindAnyUnit(const wchar16* units, size_t from, size_t to, wchar16 a, wchar16 b, wchar16 c) {
  size_t i = from;
#if defined(__SSE2__)
  const __m128i wantA = _mm_set1_epi16(static_cast<short>(a));
  const __m128i wantB = _mm_set1_epi16(static_cast<short>(b));
  const __m128i wantC = _mm_set1_epi16(static_cast<short>(c));
  for (; to - i >= 8; i += 8) {
    const __m128i eight = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + i));
    const __m128i found = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(eight, wantA), _mm_cmpeq_epi16(eight, wantB)),
                                       _mm_cmpeq_epi16(eight, wantC));
    const int mask = _mm_movemask_epi8(found);
    if (mask != 0) return i + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(mask))) / 2;
  }
#endif
  for (; i < to; ++i) {
    if (units[i] == a || units[i] == b || units[i] == c) return i;
  }
  return to;
}

bool LayOutTranslationsLine(const wchar16* line, int32_t length, sTranslationsLineLayout& layout) {
  const int32_t keyEnd = FindUnit(line, cTab, 0, length);
  if (keyEnd <= 0) return false;

  int32_t keyStart = 0;
  int32_t keyStop = keyEnd;
  if (line[keyStart] == cQuote) ++keyStart;
  if (keyStop > keyStart && line[keyStop - 1] == cQuote) --keyStop;
  layout.mKey = {keyStart, keyStop};

  const int32_t firstAt = FindUnit(line, cKeySeparator, keyStart, keyStop);
  const int32_t flavourStart = firstAt < 0 ? keyStart : firstAt + 1;
  const int32_t secondAt = FindUnit(line, cKeySeparator, flavourStart, keyStop);
  layout.mPath = {keyStart, firstAt < 0 ? keyStop : firstAt};
  layout.mFlavour = {flavourStart, secondAt < 0 ? keyStop : secondAt};
  layout.mId = {secondAt < 0 ? keyStart : secondAt + 1, keyStop};

  layout.mTabs.clear();
  for (int32_t i = FindUnit(line, cTab, 1, length); i >= 0; i = FindUnit(line, cTab, i + 1, length))
    layout.mTabs.push_back(i);
  return true;
}

size_t CountTextColumns(const sTranslationsLineLayout& layout) {
  const size_t tabs = layout.mTabs.size();
  return tabs > cFirstTextTab ? tabs - cFirstTextTab : 0;
}

size_t CountReadTexts(const sTranslationsLineLayout& layout) {
  const size_t tabs = layout.mTabs.size();
  return CountTextColumns(layout) + (tabs < cPaddedTabCount ? cPaddedTabCount - tabs : 0);
}

sUnitSpan GetTextColumn(const sTranslationsLineLayout& layout, size_t index, int32_t length) {
  const size_t tab = cFirstTextTab + index;
  const int32_t start = layout.mTabs[tab] + 1;
  // The last column runs up to the line's final LF.
  const int32_t stop = tab + 1 < layout.mTabs.size() ? layout.mTabs[tab + 1] : length - 1;
  return {start, stop};
}

std::u16string GetReadText(const wchar16* line, const sTranslationsLineLayout& layout,
                           size_t index, int32_t length) {
  std::u16string text;
  if (index >= CountTextColumns(layout)) return text;
  const sUnitSpan column = GetTextColumn(layout, index, length);
  for (int32_t i = column.mStart; i < column.mStop; ++i) {
    if (IsTextUnit(line[i])) text.push_back(line[i]);
  }
  return text;
}

void SetTextColumn(std::u16string& line, const sTranslationsLineLayout& layout, size_t index,
                   const std::u16string& text) {
  const int32_t length = static_cast<int32_t>(line.size());
  const std::u16string quoted = u"\"" + text + u"\"";
  // A CRLF line keeps its CR just before the LF, whatever column ends there.
  const bool crBeforeEnd = length >= 2 && line[length - 2] == u'\r';
  const size_t columns = CountTextColumns(layout);
  if (index < columns) {
    sUnitSpan column = GetTextColumn(layout, index, length);
    if (index + 1 == columns && crBeforeEnd && column.mStop > column.mStart) --column.mStop;
    line.replace(column.mStart, column.mStop - column.mStart, quoted);
    return;
  }
  int32_t insertAt = length - 1;
  if (crBeforeEnd && (layout.mTabs.empty() || layout.mTabs.back() < length - 2)) --insertAt;
  std::u16string added;
  for (size_t tab = layout.mTabs.size(); tab < cFirstTextTab + index; ++tab) {
    added += cTab;
    // The columns before the texts are left empty, missing texts get "".
    if (tab >= cFirstTextTab) added += u"\"\"";
  }
  added += cTab;
  added += quoted;
  line.insert(insertAt, added);
}
