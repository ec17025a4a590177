// The translations file's lines of one flavour, grouped by the data file
// path of their key, in file order within each path.
//
// Read takes the whole file at once and keeps only the paths and where
// their lines stand; GetRecords indexes a path's lines, which are read again
// from the stream when a string asks for them. So the table costs the paths
// and a few bytes per run of lines, however long the texts are, and the
// stream must stay open and unchanged until the last lookup. The lines are
// read as cTranslationsReader says. A line without a TAB, or starting with
// one (an empty line among them), is malformed: reading stops, the table is
// left empty and Read answers false.
//
// Paths are ordered by their UTF-16 code units, a prefix before the longer
// path, and stored front-coded in that order: each path's units made into
// bytes one by one (FxAppendUnitBytes, which keeps their order), stored as
// the number of bytes it shares with the path before and the bytes that
// follow, so the directories a file lies in cost next to nothing. Every
// sixteenth path is stored whole, where a search for a path starts. Not
// copyable.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "API/core/cFxString.h"
#include "translations/TranslationsColumns.h"
#include "translations/cFileRecords.h"
#include "translations/cTranslationsReader.h"

class cFxFile;

class cTranslationTable {
 public:
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
  unsigned GetFileCount() const { return static_cast<unsigned>(mPathRuns.size()); }
  // Puts the enumeration on the first path.
  void RewindFiles();
  // Copies the next path into `path` and answers true; false after the last.
  bool GetNextFile(cFxWString& path);
  // The lines of `path`, to be found by id; they stay so until the next
  // call. An unknown path has none. Lines the stream no longer gives (a file
  // cut short since Read) are missing.
  cFileRecords& GetRecords(const cFxWString& path);

 private:
  // Consecutive lines of one path: the byte offset of the first line, and
  // how many lines.
  struct sLineRun {
    uint32_t mOffset;
    uint32_t mCount;
  };

  void Clear();
  // Stores `path` (its bytes) after the last stored path: as a path of its
  // own when it differs, the run being its first; else the run is the last
  // path's next.
  void AddRun(std::string_view path, sLineRun run);
  // Appends `path` to mPaths, front-coded against mLastPath.
  void AppendPath(std::string_view path);
  // Puts the paths in order and each path's runs together, in file order:
  // needed only when the file does not list its paths in order.
  void SortPaths();
  // Puts the bytes of the path at byte position `at` of mPaths into `path`,
  // which holds the path before it; `at` moves past it.
  void DecodePath(size_t& at, std::string& path) const;
  // The index of the path of bytes `path` among the stored paths, or -1.
  int64_t FindPath(const std::string& path) const;
  // Whether the line is of the table's flavour.
  bool IsOfFlavour(const std::vector<wchar16>& line, const sTranslationsLineLayout& layout) const;

  cTranslationsReader mReader;
  eFlavour mFlavour;
  // The distinct paths, front-coded, in the order of mPathRuns.
  std::string mPaths;
  // Where every sixteenth path starts in mPaths.
  std::vector<uint32_t> mRestarts;
  // The first run of each path in mRuns, in path order.
  std::vector<uint32_t> mPathRuns;
  // Grouped by path, in file order within a path.
  std::vector<sLineRun> mRuns;
  // The last path stored, to front-code the next one against.
  std::string mLastPath;
  // Whether every path came after the one before in the file.
  bool mInOrder = true;
  // The enumeration: the next path's index, its byte position, and the path
  // before it.
  size_t mFileCursor;
  size_t mCursorAt = 0;
  std::string mCursorPath;
  cFileRecords mRecords;
};
