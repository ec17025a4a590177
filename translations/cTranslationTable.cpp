#include "translations/cTranslationTable.h"

#include <algorithm>
#include <cstring>

#include "localisation/LocalisedStringVocabulary.h"
#include "xml/cFxFile.h"

namespace {
// Units taken from the stream at a time.
constexpr size_t cReadUnits = 32 * 1024;
// The enumeration's place until the first rewind: past every path.
constexpr size_t cNoFile = SIZE_MAX;
// The stream's positions are 32-bit.
constexpr int64_t cLastSeekableOffset = 0x7FFFFFFF;

bool UnitsEqual(const std::vector<wchar16>& line, sUnitSpan span, const wchar16* text) {
  for (int32_t i = span.mStart; i < span.mStop; ++i, ++text) {
    if (*text == 0 || line[i] != *text) return false;
  }
  return *text == 0;
}

cFxWString MakeString(const std::vector<wchar16>& line, sUnitSpan span) {
  return span.mStop > span.mStart
             ? cFxWString(line.data() + span.mStart, static_cast<uint32_t>(span.mStop - span.mStart))
             : cFxWString();
}

// A text column without its double quotes, CRs and LFs.
cFxWString MakeText(const std::vector<wchar16>& line, sUnitSpan column,
                    std::vector<wchar16>& scratch) {
  scratch.clear();
  for (int32_t i = column.mStart; i < column.mStop; ++i) {
    if (IsTextUnit(line[i])) scratch.push_back(line[i]);
  }
  return MakeString(scratch, {0, static_cast<int32_t>(scratch.size())});
}

// The record of a line whose flavour is `flavour`: every record shares that
// one string.
sTranslationRecord MakeRecord(const std::vector<wchar16>& line, const sTranslationsLineLayout& layout,
                              const cFxWString& flavour, std::vector<wchar16>& scratch) {
  const int32_t length = static_cast<int32_t>(line.size());
  sTranslationRecord record;
  record.mFlavour = flavour;
  record.mId = MakeString(line, layout.mId);
  const size_t columns = CountTextColumns(layout);
  for (size_t k = 0; k < columns; ++k)
    record.mTexts.push_back(MakeText(line, GetTextColumn(layout, k, length), scratch));
  for (size_t k = columns; k < CountReadTexts(layout); ++k) record.mTexts.push_back(cFxWString());
  return record;
}
}  // namespace

cTranslationTable::cTranslationTable()
    : mStream(nullptr), mFlavour(eFlavour::Game), mFileCursor(cNoFile) {}

cTranslationTable::~cTranslationTable() = default;

void cTranslationTable::Clear() {
  mPathUnits.clear();
  mRuns.clear();
  mFileStarts.clear();
  mFileCursor = cNoFile;
}

bool cTranslationTable::Read(cFxFile& stream) {
  mStream = &stream;
  Clear();
  mUnits.clear();
  mNextUnit = 0;
  int position = 0;
  // A stream that is not open reads as one empty line, which is malformed.
  if (!stream.IsOpen() || !stream.Tell(position)) return false;
  mUnitsOffset = position;

  // Reused from line to line, so reading costs no allocation per unit.
  std::vector<wchar16> line;
  sTranslationsLineLayout layout;
  // Whether the line before was taken, so that one of the same path
  // continues its run.
  bool previousTaken = false;
  int64_t offset = 0;
  while (ReadLine(line, offset)) {
    const bool malformed = !LayOutTranslationsLine(line.data(), static_cast<int32_t>(line.size()), layout);
    if (malformed || offset > cLastSeekableOffset) {
      Clear();
      return false;
    }
    if (!IsOfFlavour(line, layout)) {
      previousTaken = false;
      continue;
    }
    const std::u16string_view path(line.data() + layout.mPath.mStart,
                                   static_cast<size_t>(layout.mPath.mStop - layout.mPath.mStart));
    if (previousTaken && PathOf(mRuns.back()) == path) {
      ++mRuns.back().mCount;
    } else {
      sLineRun run = {static_cast<uint32_t>(mPathUnits.size()), static_cast<uint32_t>(path.size()),
                      static_cast<uint32_t>(offset), 1};
      // The path of the last run is not stored twice.
      if (!mRuns.empty() && PathOf(mRuns.back()) == path) run.mPathStart = mRuns.back().mPathStart;
      else mPathUnits.insert(mPathUnits.end(), path.begin(), path.end());
      mRuns.push_back(run);
    }
    previousTaken = true;
  }
  std::stable_sort(mRuns.begin(), mRuns.end(),
                   [this](const sLineRun& a, const sLineRun& b) { return PathOf(a) < PathOf(b); });
  for (size_t i = 0; i < mRuns.size(); ++i)
    if (i == 0 || PathOf(mRuns[i - 1]) != PathOf(mRuns[i])) mFileStarts.push_back(static_cast<uint32_t>(i));
  return true;
}

std::u16string_view cTranslationTable::PathOf(const sLineRun& run) const {
  return std::u16string_view(mPathUnits.data() + run.mPathStart, run.mPathLength);
}

bool cTranslationTable::GetNextFile(cFxWString& path) {
  if (mFileCursor >= mFileStarts.size()) return false;
  const std::u16string_view units = PathOf(mRuns[mFileStarts[mFileCursor]]);
  path = units.empty() ? cFxWString() : cFxWString(units.data(), static_cast<uint32_t>(units.size()));
  ++mFileCursor;
  return true;
}

const cTranslationTable::tRecords& cTranslationTable::GetRecords(const cFxWString& path) {
  static const tRecords cNoRecords;
  const std::u16string_view wanted(path.c_str(), path.Length());
  const auto first = std::lower_bound(mRuns.begin(), mRuns.end(), wanted,
                                      [this](const sLineRun& run, std::u16string_view text) { return PathOf(run) < text; });
  if (first == mRuns.end() || PathOf(*first) != wanted) return cNoRecords;
  mRecords.clear();
  const cFxWString flavour(kLocalisation::FlavourLabel(mFlavour));
  std::vector<wchar16> line;
  std::vector<wchar16> scratch;
  sTranslationsLineLayout layout;
  int64_t offset = 0;
  for (auto run = first; run != mRuns.end() && PathOf(*run) == wanted; ++run) {
    if (!MoveTo(run->mOffset)) break;
    for (uint32_t i = 0; i < run->mCount; ++i) {
      // The same checks as Read's, for a file changed since.
      if (!ReadLine(line, offset) ||
          !LayOutTranslationsLine(line.data(), static_cast<int32_t>(line.size()), layout) ||
          !IsOfFlavour(line, layout))
        return mRecords;
      mRecords.push_back(MakeRecord(line, layout, flavour, scratch));
    }
  }
  return mRecords;
}

bool cTranslationTable::IsOfFlavour(const std::vector<wchar16>& line,
                                    const sTranslationsLineLayout& layout) const {
  const wchar16* label = kLocalisation::FlavourLabel(mFlavour);
  return UnitsEqual(line, layout.mFlavour, label);
}

bool cTranslationTable::ReadLine(std::vector<wchar16>& line, int64_t& offset) {
  line.clear();
  offset = mUnitsOffset + 2 * static_cast<int64_t>(mNextUnit);
  for (;;) {
    // A line cut short by the end of the file is never taken.
    if (mNextUnit == mUnits.size() && !Refill()) return false;
    const wchar16* const units = mUnits.data();
    const size_t end = mUnits.size();
    size_t i = mNextUnit;
    while (i != end && units[i] != kTranslationsLine::cLineEnd) {
      if (units[i] != kTranslationsLine::cByteOrderMark) line.push_back(units[i]);
      ++i;
    }
    if (i != end) {
      line.push_back(kTranslationsLine::cLineEnd);
      mNextUnit = i + 1;
      return true;
    }
    mNextUnit = end;
  }
}

bool cTranslationTable::Refill() {
  mUnitsOffset += 2 * static_cast<int64_t>(mUnits.size());
  mUnits.clear();
  mNextUnit = 0;
  mBytes.resize(2 * cReadUnits);
  const int count = mStream->Read(mBytes.data(), static_cast<int>(mBytes.size()));
  // A last byte without its partner is no unit.
  const size_t units = count > 0 ? static_cast<size_t>(count) / 2 : 0;
  mUnits.resize(units);
  for (size_t i = 0; i < units; ++i)
    mUnits[i] = static_cast<wchar16>(mBytes[2 * i] | (mBytes[2 * i + 1] << 8));
  return units != 0;
}

bool cTranslationTable::MoveTo(int64_t offset) {
  // Paths are mostly asked for in the order of their lines: the next line
  // is often in the units held, or where the stream stands.
  const int64_t held = 2 * static_cast<int64_t>(mUnits.size());
  if (offset >= mUnitsOffset && offset < mUnitsOffset + held) {
    mNextUnit = static_cast<size_t>((offset - mUnitsOffset) / 2);
    return true;
  }
  const bool atStream = offset == mUnitsOffset + held;
  mUnits.clear();
  mNextUnit = 0;
  mUnitsOffset = offset;
  return atStream || mStream->Seek(static_cast<int>(offset));
}
