#include "translations/cTranslationTable.h"

#include "localisation/LocalisedStringVocabulary.h"
#include "xml/cFxFile.h"

namespace {
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
}  // namespace

cTranslationTable::cTranslationTable()
    : mStream(nullptr), mFileCursor(mFiles.end()), mFlavour(eFlavour::Game) {}

cTranslationTable::~cTranslationTable() = default;

bool cTranslationTable::Read(cFxFile& stream) {
  mStream = &stream;
  // Reused from line to line, so reading costs no allocation per unit.
  std::vector<wchar16> line;
  sTranslationsLineLayout layout;
  while (ReadLine(line)) {
    if (!AddLine(line, layout)) {
      mFiles.clear();
      mFileCursor = mFiles.end();
      return false;
    }
  }
  return true;
}

bool cTranslationTable::GetNextFile(cFxWString& path) {
  if (mFileCursor == mFiles.end()) return false;
  path = mFileCursor->first;
  ++mFileCursor;
  return true;
}

const cTranslationTable::tRecords& cTranslationTable::GetRecords(const cFxWString& path) const {
  static const tRecords cNoRecords;
  const tFiles::const_iterator found = mFiles.find(path);
  return found == mFiles.end() ? cNoRecords : found->second;
}

bool cTranslationTable::ReadLine(std::vector<wchar16>& line) {
  line.clear();
  // A stream that is not open reads as one empty line, which is malformed.
  if (!mStream->IsOpen()) return true;
  for (;;) {
    bool failed = false;
    const wchar16 unit = mStream->ReadWideChar(failed);
    // A line cut short by the end of the file is never taken.
    if (failed) return false;
    if (unit == kTranslationsLine::cByteOrderMark) continue;
    line.push_back(unit);
    if (unit == u'\n') return true;
  }
}

bool cTranslationTable::AddLine(const std::vector<wchar16>& line,
                                sTranslationsLineLayout& layout) {
  const int32_t length = static_cast<int32_t>(line.size());
  if (!LayOutTranslationsLine(line.data(), length, layout)) return false;

  const wchar16* label = kLocalisation::FlavourLabel(mFlavour);
  if (!UnitsEqual(line, layout.mFlavour, label)) return true;

  sTranslationRecord record;
  record.mFlavour = MakeString(line, layout.mFlavour);
  record.mId = MakeString(line, layout.mId);
  std::vector<wchar16> text;
  const size_t columns = CountTextColumns(layout);
  for (size_t k = 0; k < columns; ++k)
    record.mTexts.push_back(MakeText(line, GetTextColumn(layout, k, length), text));
  for (size_t k = columns; k < CountReadTexts(layout); ++k) record.mTexts.push_back(cFxWString());

  mFiles[MakeString(line, layout.mPath)].push_back(std::move(record));
  return true;
}
