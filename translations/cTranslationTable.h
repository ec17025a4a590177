// The translations file's lines of one flavour, grouped by the data file
// path of their key, in file order within each path.
//
// Read takes the whole file at once and keeps only the paths and where
// their lines stand; GetRecords reads a path's lines again from the stream
// when its turn comes. So the table costs the paths and a few bytes per run
// of lines, however long the texts are, and the stream must stay open and
// unchanged until the last GetRecords. The file is 16-bit little-endian
// text; every U+FEFF is dropped wherever it stands, lines end with LF (a CR before
// it is tolerated), and a last line without LF is never taken. A line
// without a TAB, or starting with one (an empty line among them), is
// malformed: reading stops, the table is left empty and Read answers false.
//
// Paths are ordered by their 16-bit code units, a prefix before the longer
// path. Not copyable.
#pragma once

#include <cstdint>
#include <string_view>
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

  // Reads the whole of `stream` (not owned) from where it stands. True at
  // the end of the file, also for an empty one; false on a malformed line,
  // when the stream is not open, or when a line of the flavour starts past
  // the first 2 GiB (the stream seeks no further), the table then being
  // empty.
  bool Read(cFxFile& stream);

  // Number of distinct data file paths.
  unsigned GetFileCount() const { return static_cast<unsigned>(mFileStarts.size()); }
  // Puts the enumeration on the first path.
  void RewindFiles() { mFileCursor = 0; }
  // Copies the next path into `path` and answers true; false after the last.
  bool GetNextFile(cFxWString& path);
  // The records of `path`, in file order, read again from the stream; the
  // list stays valid until the next call. For an unknown path an empty list
  // that stays valid for the whole process. Lines the stream no longer
  // gives (a file cut short since Read) are missing from the list.
  const tRecords& GetRecords(const cFxWString& path);

 private:
  // Consecutive lines of one path: where the path's units stand in
  // mPathUnits, the byte offset of the first line, and how many lines.
  struct sLineRun {
    uint32_t mPathStart;
    uint32_t mPathLength;
    uint32_t mOffset;
    uint32_t mCount;
  };

  void Clear();
  // Reads one line, LF included, into `line`, dropping every U+FEFF, and
  // its offset into `offset`. Answers whether the line counts: false once
  // the end of the file is met.
  bool ReadLine(std::vector<wchar16>& line, int64_t& offset);
  // Takes the next units from the stream into mUnits; false at its end.
  bool Refill();
  // Puts the stream at `offset` unless it stands there.
  bool MoveTo(int64_t offset);
  // Whether the line is of the table's flavour.
  bool IsOfFlavour(const std::vector<wchar16>& line, const sTranslationsLineLayout& layout) const;
  // The path of a run, ordered as cFxWString orders.
  std::u16string_view PathOf(const sLineRun& run) const;

  cFxFile* mStream;
  eFlavour mFlavour;
  // The paths of the runs, one after the other; a path is stored again only
  // where its lines are not consecutive.
  std::vector<wchar16> mPathUnits;
  // Sorted by path, in file order within a path.
  std::vector<sLineRun> mRuns;
  // The first run of each path, in path order, and the enumeration's place.
  std::vector<uint32_t> mFileStarts;
  size_t mFileCursor;
  // Units last read from the stream, the file offset of the first, and the
  // next one to take.
  std::vector<wchar16> mUnits;
  std::vector<uint8_t> mBytes;
  int64_t mUnitsOffset = 0;
  size_t mNextUnit = 0;
  tRecords mRecords;
};
