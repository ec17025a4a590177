// libFuzzer target for the translations-file reader.
//
// Each input is read as a translations file in both flavours, then every
// record of every path is looked up by its id as the update does. Whatever
// the bytes, the table must hold together: a failed read leaves it empty,
// the path enumeration gives each path once, every record carries the
// flavour asked for and at least six texts, and no text keeps a double
// quote or a line end.
#include <cstdint>
#include <cstdlib>
#include <set>

#include "fuzz/FuzzSupport.h"
#include "localisation/LocalisedStringVocabulary.h"
#include "localisation/VisitorHelpers.h"
#include "translations/cTranslationTable.h"
#include "xml/cFxFile.h"

namespace {

void Check(bool holds) {
  if (!holds) abort();
}

void ReadAndLookUp(const uint8_t* data, size_t size, eFlavour flavour, int readBufferSize) {
  cFxFile stream;
  Check(stream.Attach(new fuzz::cMemorySource(data, size), 0, readBufferSize, 0));
  cTranslationTable table;
  table.SetFlavour(flavour);
  const bool read = table.Read(stream);
  if (!read) Check(table.GetFileCount() == 0);

  const wchar16* label = kLocalisation::FlavourLabel(flavour);
  std::set<cFxWString> seen;
  cFxWString path;
  table.RewindFiles();
  while (table.GetNextFile(path)) {
    Check(seen.insert(path).second);
    const cTranslationTable::tRecords& records = table.GetRecords(path);
    Check(!records.empty());
    for (size_t i = 0; i < records.size(); ++i) {
      const sTranslationRecord& record = records[i];
      Check(TextEquals(record.mFlavour, label));
      Check(record.mTexts.size() >= 6);
      for (const cFxWString& text : record.mTexts) {
        for (uint32_t k = 0; k < text.Length(); ++k) {
          const wchar16 unit = text.c_str()[k];
          Check(unit != u'"' && unit != u'\r' && unit != u'\n');
        }
      }
      // The first record with this id, as the update finds it.
      size_t found = 0;
      while (!TextEquals(records[found].mId, record.mId)) ++found;
      Check(found <= i);
    }
  }
  Check(seen.size() == table.GetFileCount());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::RejectByThrowing();
  for (eFlavour flavour : {eFlavour::Source, eFlavour::Game})
    for (int bufferSize : {1, 4096}) ReadAndLookUp(data, size, flavour, bufferSize);
  return 0;
}
