#include "translations/cFileRecords.h"

#include <algorithm>

#include "translations/cTranslationsReader.h"

namespace {

// FNV-1a over the units of an id.
uint32_t HashId(const wchar16* id, size_t length) {
  uint32_t hash = 2166136261u;
  for (size_t i = 0; i < length; ++i) {
    hash = (hash ^ (id[i] & 0xFF)) * 16777619u;
    hash = (hash ^ (id[i] >> 8)) * 16777619u;
  }
  return hash;
}

bool UnitsEqual(const std::vector<wchar16>& line, sUnitSpan span, const wchar16* text, size_t length) {
  if (static_cast<size_t>(span.mStop - span.mStart) != length) return false;
  return std::equal(line.begin() + span.mStart, line.begin() + span.mStop, text);
}

// The text of a column: its units but the double quotes, CR and LF, made
// straight into the string (the line is no string, so nothing moves it).
cFxWString ColumnText(const wchar16* line, sUnitSpan column) {
  // Nearly every column is its text between two double quotes: taken whole.
  size_t start = static_cast<size_t>(column.mStart);
  size_t stop = static_cast<size_t>(column.mStop);
  if (stop - start >= 2 && line[start] == kTranslationsLine::cQuote && line[stop - 1] == kTranslationsLine::cQuote) {
    ++start;
    --stop;
  }
  if (FindAnyUnit(line, start, stop, kTranslationsLine::cQuote, u'\r', u'\n') == stop)
    return stop > start ? cFxWString(line + start, static_cast<uint32_t>(stop - start)) : cFxWString();
  uint32_t count = 0;
  for (int32_t i = column.mStart; i < column.mStop; ++i) count += IsTextUnit(line[i]) ? 1 : 0;
  if (count == 0) return cFxWString();
  cFxWString text = cFxWString::Allocate(count);
  wchar16* out = text.Data();
  for (int32_t i = column.mStart; i < column.mStop; ++i) {
    if (IsTextUnit(line[i])) *out++ = line[i];
  }
  return text;
}

}  // namespace

void cFileRecords::Reset(cTranslationsReader* reader, eFlavour flavour) {
  mReader = reader;
  mFlavour = flavour;
  mIndex.clear();
  // A long file's index gives its memory back when a short one follows.
  if (mIndex.capacity() > 4096) std::vector<sEntry>().swap(mIndex);
  mRecord = sTranslationRecord();
  mRecord.mFlavour = cFxWString(kTranslationsColumns::FlavourLabel(flavour));
}

void cFileRecords::Reserve(size_t lines) { mIndex.reserve(lines); }

void cFileRecords::Add(const wchar16* id, size_t length, uint32_t offset) {
  mIndex.push_back({HashId(id, length), offset});
}

void cFileRecords::Seal() {
  // Lines of equal hash in file order: a line's offset grows with its place
  // in the file. Sorted in place, so ordering costs no second index.
  std::sort(mIndex.begin(), mIndex.end(), [](const sEntry& a, const sEntry& b) {
    return a.mHash != b.mHash ? a.mHash < b.mHash : a.mOffset < b.mOffset;
  });
}

bool cFileRecords::ReadLineAt(uint32_t offset) {
  int64_t at = 0;
  // The same checks as the table's, for a file changed since it was read.
  return mReader->MoveTo(offset) && mReader->ReadLine(mLine, at) &&
         LayOutTranslationsLine(mLine.data(), static_cast<int32_t>(mLine.size()), mLayout) &&
         UnitsEqual(mLine, mLayout.mFlavour, kTranslationsColumns::FlavourLabel(mFlavour),
                    std::char_traits<char16_t>::length(kTranslationsColumns::FlavourLabel(mFlavour)));
}

const sTranslationRecord* cFileRecords::Find(const cFxWString& id, eDuplicateIds duplicates) {
  // Nothing below allocates from the string heap before the last use of
  // `units`.
  const wchar16* units = id.c_str();
  const size_t length = id.Length();
  const uint32_t hash = HashId(units, length);
  const auto first = std::lower_bound(mIndex.begin(), mIndex.end(), hash,
                                      [](const sEntry& entry, uint32_t h) { return entry.mHash < h; });
  const auto last = std::upper_bound(first, mIndex.end(), hash,
                                     [](uint32_t h, const sEntry& entry) { return h < entry.mHash; });
  const ptrdiff_t count = last - first;
  for (ptrdiff_t k = 0; k < count; ++k) {
    const sEntry& entry = duplicates == eDuplicateIds::FirstWins ? first[k] : last[-1 - k];
    if (!ReadLineAt(entry.mOffset) || !UnitsEqual(mLine, mLayout.mId, units, length)) continue;

    const int32_t lineLength = static_cast<int32_t>(mLine.size());
    mRecord.mId = id;
    mRecord.mTexts.clear();
    const size_t columns = CountTextColumns(mLayout);
    for (size_t c = 0; c < columns; ++c)
      mRecord.mTexts.push_back(ColumnText(mLine.data(), GetTextColumn(mLayout, c, lineLength)));
    mRecord.mTexts.resize(CountReadTexts(mLayout));
    return &mRecord;
  }
  return nullptr;
}
