#include "translations/cTranslationTable.h"

#include "localisation/LocalisedStringVocabulary.h"
#include "xml/cFxFile.h"

namespace {
constexpr wchar16 cByteOrderMark = 0xFEFF;
constexpr wchar16 cTab = u'\t';
constexpr wchar16 cQuote = u'"';
constexpr wchar16 cKeySeparator = u'@';
// The first text column follows this TAB (the columns before it are the
// key, the product, three empty ones and the platform).
constexpr size_t cFirstTextTab = 5;
// Lines with fewer TABs than this are padded with empty texts, one per
// missing TAB.
constexpr size_t cPaddedTabCount = 11;

// First index in [start, end) holding `unit`, or -1.
int32_t FindUnit(const std::vector<wchar16>& line, wchar16 unit, int32_t start, int32_t end) {
  for (int32_t i = start; i < end; ++i) {
    if (line[i] == unit) return i;
  }
  return -1;
}

bool UnitsEqual(const std::vector<wchar16>& line, int32_t start, int32_t end, const wchar16* text) {
  for (int32_t i = start; i < end; ++i, ++text) {
    if (*text == 0 || line[i] != *text) return false;
  }
  return *text == 0;
}

cFxWString MakeString(const std::vector<wchar16>& line, int32_t start, int32_t end) {
  return end > start ? cFxWString(line.data() + start, static_cast<uint32_t>(end - start))
                     : cFxWString();
}

// A text column without its double quotes, CRs and LFs.
cFxWString MakeText(const std::vector<wchar16>& line, int32_t start, int32_t end,
                    std::vector<wchar16>& scratch) {
  scratch.clear();
  for (int32_t i = start; i < end; ++i) {
    const wchar16 unit = line[i];
    if (unit != cQuote && unit != u'\r' && unit != u'\n') scratch.push_back(unit);
  }
  return MakeString(scratch, 0, static_cast<int32_t>(scratch.size()));
}
}  // namespace

cTranslationTable::cTranslationTable()
    : mStream(nullptr), mFileCursor(mFiles.end()), mFlavour(1) {}

cTranslationTable::~cTranslationTable() = default;

bool cTranslationTable::Read(cFxFile& stream) {
  mStream = &stream;
  // Reused from line to line, so reading costs no allocation per unit.
  std::vector<wchar16> line;
  std::vector<int32_t> tabs;
  while (ReadLine(line)) {
    if (!AddLine(line, tabs)) {
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
    if (unit == cByteOrderMark) continue;
    line.push_back(unit);
    if (unit == u'\n') return true;
  }
}

bool cTranslationTable::AddLine(const std::vector<wchar16>& line, std::vector<int32_t>& tabs) {
  const int32_t length = static_cast<int32_t>(line.size());
  const int32_t keyEnd = FindUnit(line, cTab, 0, length);
  if (keyEnd <= 0) return false;

  // The key column may be quoted.
  int32_t keyStart = 0;
  int32_t keyStop = keyEnd;
  if (line[keyStart] == cQuote) ++keyStart;
  if (keyStop > keyStart && line[keyStop - 1] == cQuote) --keyStop;

  // path "@" flavour "@" id. A missing "@" lets the part run to the end of
  // the key, so a key without any gives the whole key for all three.
  const int32_t firstAt = FindUnit(line, cKeySeparator, keyStart, keyStop);
  const int32_t flavourStart = firstAt < 0 ? keyStart : firstAt + 1;
  const int32_t secondAt = FindUnit(line, cKeySeparator, flavourStart, keyStop);
  const int32_t pathStop = firstAt < 0 ? keyStop : firstAt;
  const int32_t flavourStop = secondAt < 0 ? keyStop : secondAt;
  const int32_t idStart = secondAt < 0 ? keyStart : secondAt + 1;

  const wchar16* label = mFlavour == 1 ? kLocalisation::cGameLabel : kLocalisation::cSourceLabel;
  if (!UnitsEqual(line, flavourStart, flavourStop, label)) return true;

  // Every TAB after the first unit; the key's own TAB is thus the first.
  tabs.clear();
  for (int32_t i = 1; i < length; ++i) {
    if (line[i] == cTab) tabs.push_back(i);
  }

  sTranslationRecord record;
  record.mFlavour = MakeString(line, flavourStart, flavourStop);
  record.mId = MakeString(line, idStart, keyStop);
  std::vector<wchar16> text;
  const size_t tabCount = tabs.size();
  for (size_t k = cFirstTextTab; k < tabCount; ++k) {
    // The last text runs up to the line's final LF.
    const int32_t stop = k + 1 < tabCount ? tabs[k + 1] : length - 1;
    record.mTexts.push_back(MakeText(line, tabs[k] + 1, stop, text));
  }
  for (size_t k = tabCount; k < cPaddedTabCount; ++k) record.mTexts.push_back(cFxWString());

  mFiles[MakeString(line, keyStart, pathStop)].push_back(std::move(record));
  return true;
}
