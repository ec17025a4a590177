// libFuzzer target for the translations-file reader.
//
// Each input is read as a translations file in both flavours, then every
// line of the flavour is looked up by its id as the update does. Whatever
// the bytes, the table must hold together: a failed read leaves it empty,
// the path enumeration gives each path once, every line is found among its
// path's lines, every record carries the flavour asked for, its id and at
// least six texts, and no text keeps a double quote or a line end.
//
// The input is read through a stream with a 1-byte buffer, which hands the
// reader's large reads straight to the file, and through one with the
// program's 64 KiB buffer, which copies them through it. The reader takes
// the file 64 KiB at a time, more than a fuzzer's input holds, so the input
// is also read behind a long line of another path that puts the end of the
// reader's first window halfway through it: its lines are then cut between
// two reads and looked up across that border, as in a file of that size.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "localisation/VisitorHelpers.h"
#include "translations/TranslationsColumns.h"
#include "translations/TranslationsLine.h"
#include "translations/cTranslationTable.h"
#include "xml/cFxFile.h"

namespace {

void Check(bool holds) {
  if (!holds) abort();
}

// The record `id` finds among `path`'s lines, checked as every record must
// read.
void CheckFound(cTranslationTable& table, const cFxWString& path, const cFxWString& id, eFlavour flavour) {
  const wchar16* label = kTranslationsColumns::FlavourLabel(flavour);
  cFileRecords& records = table.GetRecords(path);
  Check(records.Size() != 0);
  for (eDuplicateIds which : {eDuplicateIds::FirstWins, eDuplicateIds::LastWins}) {
    const sTranslationRecord* record = records.Find(id, which);
    Check(record != nullptr);
    Check(TextEquals(record->mFlavour, label) && TextEquals(record->mId, id));
    Check(record->mTexts.size() >= 6);
    for (const cFxWString& text : record->mTexts) {
      for (uint32_t k = 0; k < text.Length(); ++k) {
        const wchar16 unit = text.c_str()[k];
        Check(unit != u'"' && unit != u'\r' && unit != u'\n');
      }
    }
  }
}

// The program's read buffer for a translations file, and the bytes the
// reader takes from the stream at a time.
constexpr int cProgramReadBuffer = 64 * 1024;
constexpr size_t cReaderWindow = 64 * 1024;

// A file of `fileSize` bytes that holds `data` behind a line of another
// path, so that the reader's first window ends halfway through `data`.
const uint8_t* BehindFiller(const uint8_t* data, size_t size, size_t& fileSize) {
  static std::vector<uint8_t> file;
  // An input of a window's size or more crosses the border by itself; a
  // filler line holds at least "f", TAB, "x" and its LF.
  const size_t half = std::min(size / 2 & ~size_t(1), cReaderWindow - 8);
  const size_t filler = cReaderWindow - half;
  file.assign(filler, 0);
  // "f", TAB, "x" up to the LF: well formed, no flavour's key.
  for (size_t i = 0; i < filler; i += 2) file[i] = 'x';
  file[0] = 'f';
  file[2] = '\t';
  file[filler - 2] = '\n';
  file.insert(file.end(), data, data + size);
  fileSize = file.size();
  return file.data();
}

// Reads `file` as a translations file and looks up the lines of `data`, its
// last `size` bytes.
void ReadAndLookUp(const uint8_t* file, size_t fileSize, const uint8_t* data, size_t size, eFlavour flavour,
                   int readBufferSize) {
  cFxFile stream;
  Check(stream.Attach(new fuzz::cMemoryFile(file, fileSize), 0, readBufferSize, 0));
  cTranslationTable table;
  table.SetFlavour(flavour);
  const bool read = table.Read(stream);
  if (!read) Check(table.GetFileCount() == 0);

  std::set<cFxWString> seen;
  cFxWString path;
  table.RewindFiles();
  while (table.GetNextFile(path)) Check(seen.insert(path).second);
  Check(seen.size() == table.GetFileCount());
  if (!read) return;

  // Every finished line of the flavour is found by its id among its path's
  // lines, which the enumeration gave.
  std::vector<wchar16> line;
  sTranslationsLineLayout layout;
  for (size_t i = 0; i + 1 < size; i += 2) {
    const wchar16 unit = static_cast<wchar16>(data[i] | (data[i + 1] << 8));
    if (unit == 0xFEFF) continue;
    line.push_back(unit);
    if (unit != u'\n') continue;
    Check(LayOutTranslationsLine(line.data(), static_cast<int32_t>(line.size()), layout));
    const auto part = [&line](sUnitSpan span) {
      return span.mStop > span.mStart ? cFxWString(line.data() + span.mStart, static_cast<uint32_t>(span.mStop - span.mStart))
                                      : cFxWString();
    };
    if (TextEquals(part(layout.mFlavour), kTranslationsColumns::FlavourLabel(flavour))) {
      Check(seen.count(part(layout.mPath)) == 1);
      CheckFound(table, part(layout.mPath), part(layout.mId), flavour);
    }
    line.clear();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::RejectByThrowing();
  size_t fileSize = 0;
  const uint8_t* file = BehindFiller(data, size, fileSize);
  for (eFlavour flavour : {eFlavour::Source, eFlavour::Game}) {
    for (int bufferSize : {1, cProgramReadBuffer}) ReadAndLookUp(data, size, data, size, flavour, bufferSize);
    ReadAndLookUp(file, fileSize, data, size, flavour, 1);
  }
  return 0;
}
