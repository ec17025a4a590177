// The translations file in memory: its lines of one flavour, grouped by the
// data file path of their key, in file order within each path.
//
// Read takes the whole file at once. The file is 16-bit little-endian text;
// every U+FEFF is dropped wherever it stands, lines end with LF (a CR before
// it is tolerated), and a last line without LF is never taken. A line
// without a TAB, or starting with one (an empty line among them), is
// malformed: reading stops, the table is left empty and Read answers false.
//
// Paths are ordered by their 16-bit code units, a prefix before the longer
// path. Not copyable.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "API/core/cFxString.h"
#include "localisation/LocalisedStringVocabulary.h"
#include "translations/TranslationsLine.h"
#include "translations/sTranslationRecord.h"

class cFxFile;

class cTranslationTable {
 public:
  typedef std::vector<sTranslationRecord> tRecords;

  cTranslationTable();
  ~cTranslationTable();
  cTranslationTable(const cTranslationTable&) = delete;
  cTranslationTable& operator=(const cTranslationTable&) = delete;

  // The flavour whose lines the table keeps; game until set.
  void SetFlavour(eFlavour flavour) { mFlavour = flavour; }

  // Reads the whole of `stream` (not owned; kept only for the call). True
  // at the end of the file, also for an empty one; false on a malformed
  // line or when the stream is not open, the table then being empty.
  bool Read(cFxFile& stream);

  // Number of distinct data file paths.
  unsigned GetFileCount() const { return static_cast<unsigned>(mFiles.size()); }
  // Puts the enumeration on the first path.
  void RewindFiles() { mFileCursor = mFiles.begin(); }
  // Copies the next path into `path` and answers true; false after the last.
  bool GetNextFile(cFxWString& path);
  // The records of `path`, in file order; for an unknown path an empty list
  // that stays valid for the whole process.
  const tRecords& GetRecords(const cFxWString& path) const;

 private:
  typedef std::map<cFxWString, tRecords> tFiles;

  // Reads one line, LF included, into `line`, dropping every U+FEFF.
  // Answers whether the line counts: false once the end of the file is met.
  bool ReadLine(std::vector<wchar16>& line);
  // Adds the record of one line; false when the line is malformed.
  bool AddLine(const std::vector<wchar16>& line, sTranslationsLineLayout& layout);

  cFxFile* mStream;
  tFiles mFiles;
  tFiles::iterator mFileCursor;
  eFlavour mFlavour;
};
